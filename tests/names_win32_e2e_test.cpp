// Names on Windows, end to end: every name a user can type reaches the file
// system unchanged (no look-alike of the ANSI code page is read or written),
// paths longer than the plain form allows work, and an output held open by
// another program leaves every output as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "small_cal_run.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

const std::string kCannotWrite = "Error: Ausgabedateien konnten nicht geschrieben werden.\n\n";
const std::string kCannotRead = "Error: Eingabedatei konnte nicht geoeffnet werden.\n\n";

// A path from UTF-8 bytes.
fs::path u8(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

void put(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

bool no_leftovers(const fs::path& dir) {
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.path().filename().wstring().rfind(L"vextal-", 0) == 0) return false;
    }
    return true;
}

TEST(WindowsNames, NamesOutsideTheCodePage) {
    // Polish, Greek, Chinese and an emoji (a surrogate pair in UTF-16).
    for (const std::string name : {"\xC5\x81\xC3\xB3"
                                   "d\xC5\xBA",
                                   "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1",
                                   "\xE4\xBC\xA0\xE6\x84\x9F\xE5\x99\xA8", "\xF0\x9F\x98\x80"}) {
        Sandbox box;
        put(box.path() / u8(name + ".msm"), kInput);
        RunResult r = box.run({"cal", name, "-n", "3"});
        EXPECT_EQ(r.exit_code, 0) << name << r.err;
        EXPECT_EQ(read_file(box.path() / u8(name + ".cal")), kCal) << name;
        // Beyond Latin-1, the name stands in the comment as its UTF-8 bytes.
        EXPECT_EQ(read_file(box.path() / u8(name + ".c")),
                  "// CallParams: cal " + name + " -n 3  \r\n" + kCValues)
            << name;
        EXPECT_TRUE(no_leftovers(box.path())) << name;
    }
}

TEST(WindowsNames, NoLookAlikeIsRead) {
    // "Lodz" with the accents of code page 1252 that the Polish name's
    // letters fall back to.
    const std::string look_alike =
        "L\xC3\xB3"
        "dz";
    const std::string polish =
        "\xC5\x81\xC3\xB3"
        "d\xC5\xBA";
    Sandbox box;
    put(box.path() / u8(look_alike + ".msm"), kInput);
    RunResult r = box.run({"cal", polish, "-n", "3"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, kLoading + polish + ".msm\n");
    EXPECT_EQ(r.err, kCannotRead + polish + ".msm: No such file or directory\n");
    EXPECT_FALSE(fs::exists(box.path() / u8(look_alike + ".cal")));

    // A name within Latin-1 is printed in Latin-1, as before.
    r = box.run({"cal", "M\xC3\xBCller", "-n", "3"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, kLoading + "M\xFCller.msm\n");
}

TEST(WindowsNames, PathsLongerThanThePlainForm) {
    Sandbox box;
    const std::string folder = std::string(120, 'a') + "\\" + std::string(120, 'b');
    const std::string prefix = folder + "\\" + std::string(40, 'c');
    ASSERT_GT((box.path() / prefix).wstring().size() + 4, 260u);
    put(box.path() / folder / "d.msm", kInput);
    RunResult r = box.run({"cal", folder + "\\d", "-f", prefix, "-n", "3"});
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(read_file(box.path() / (prefix + ".cal")), kCal);
    const std::string c = read_file(box.path() / (prefix + ".c"));
    EXPECT_EQ(c.substr(c.size() - std::min(c.size(), kCValues.size())), kCValues);
    // The folder iterators of the test's own library stop at the plain form.
    const std::wstring pattern = L"\\\\?\\" + (box.path() / folder).wstring() + L"\\vextal-*";
    WIN32_FIND_DATAW found;
    EXPECT_EQ(FindFirstFileW(pattern.c_str(), &found), INVALID_HANDLE_VALUE);
}

TEST(WindowsNames, LockedOutputLeavesEveryOutputAsItWas) {
    Sandbox box;
    box.write("d.msm", kInput);
    box.write("out.cal", "earlier table\r\n");
    box.write("out.c", "{1, 2, 3};\r\n");

    // The helper holds out.c until its standard input ends.
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE in_read, in_write, out_read, out_write;
    ASSERT_TRUE(CreatePipe(&in_read, &in_write, &sa, 0));
    ASSERT_TRUE(CreatePipe(&out_read, &out_write, &sa, 0));
    SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = in_read;
    si.hStdOutput = out_write;
    si.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string line = "\"" + (program_folder() / "hold_lock.exe").string() + "\" \"" +
                       (box.path() / "out.c").string() + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                               &si, &pi));
    CloseHandle(in_read);
    CloseHandle(out_write);
    char said[8] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(out_read, said, 6, &got, nullptr));
    ASSERT_EQ(std::string(said, got), "locked");

    RunResult r = box.run(cal_args("out"));
    CloseHandle(in_write);
    WaitForSingleObject(pi.hProcess, INFINITE);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    CloseHandle(out_read);

    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err.substr(0, kCannotWrite.size() + 7), kCannotWrite + "out.c: ");
    EXPECT_EQ(box.files(), (std::map<std::string, std::string>{{"d.msm", kInput},
                                                               {"out.cal", "earlier table\r\n"},
                                                               {"out.c", "{1, 2, 3};\r\n"}}));
}

// A file with a second name is written over, as on POSIX: both names hold
// the new table, and a run that fails gives it its earlier bytes back.
TEST(WindowsNames, HardLinkedOutputsKeepTheirLinks) {
    for (const bool fails : {false, true}) {
        Sandbox box;
        box.write("d.msm", kInput);
        box.write("out.cal", "earlier table\r\n");
        fs::create_hard_link(box.path() / "out.cal", box.path() / "other.cal");
        // The .c file cannot be written where a folder has its name.
        if (fails) fs::create_directories(box.path() / "out.c");
        RunResult r = box.run(cal_args("out"));
        EXPECT_EQ(r.exit_code, fails ? 2 : 0);
        const std::string cal = fails ? "earlier table\r\n" : kCal;
        EXPECT_EQ(read_file(box.path() / "out.cal"), cal) << fails;
        EXPECT_EQ(read_file(box.path() / "other.cal"), cal) << fails;
        EXPECT_TRUE(no_leftovers(box.path())) << fails;
    }
}

// Device names open a device in every folder and with every extension: as
// an input they are refused at once instead of read for ever.
TEST(WindowsNames, DeviceNamesAreNoInput) {
    for (const std::string name : {"COM1", "aux", "NUL.msm", "con .msm", "LPT2"}) {
        Sandbox box;
        RunResult r = box.run({"cal", name});
        const std::string tried = name.find(".msm") == std::string::npos ? name + ".msm" : name;
        EXPECT_EQ(r.exit_code, 2) << name;
        EXPECT_EQ(r.err, kCannotRead + tried + ": a device, not a file\n") << name;
    }
}

// A name the system refuses as an output, whether it gives an error code or
// not: the report always says why.
TEST(WindowsNames, RefusedOutputNamesHaveAReason) {
    for (const std::string prefix : {"COM1:", "a<b", "x|y"}) {
        Sandbox box;
        box.write("d.msm", kInput);
        RunResult r = box.run(cal_args(prefix));
        EXPECT_EQ(r.exit_code, 2) << prefix;
        const std::string head =
            "Error: Ausgabedateien konnten nicht geoeffnet werden.\n\n" + prefix + ".cal: ";
        ASSERT_EQ(r.err.substr(0, head.size()), head) << prefix;
        EXPECT_GT(r.err.size(), head.size() + 1) << prefix << ": " << r.err;
        EXPECT_TRUE(no_leftovers(box.path())) << prefix;
    }
}

}  // namespace
}  // namespace vextal::test
