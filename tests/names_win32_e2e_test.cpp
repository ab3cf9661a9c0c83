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
#include <random>
#include <string>
#include <vector>

#include "harness.h"
#include "killed_runs.h"
#include "small_cal_run.h"
#include "tests/support/seed.h"

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

// TerminateProcess, which no handler sees, at random moments of runs that
// write several outputs, each followed by a run into the same folder: that
// run puts the ended run's outputs back, so that they are all old or all
// new, and nothing is left behind. Half the rounds start with earlier
// outputs, half without. Most of a run under wine is its start: the moments
// are taken from the time its folder shows it writing.
TEST(WindowsNames, TerminatedRunsArePutBackByTheNext) {
    const std::vector<OutputsRun>& commands = kOutputsRuns;
    auto start = [](const Sandbox& box, const Args& args) {
        std::string line = "\"" + (program_folder() / "vextal.exe").string() + "\"";
        for (const auto& a : args) line += " " + a;
        SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
        HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                                 OPEN_EXISTING, 0, nullptr);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        si.hStdOutput = nul;
        si.hStdError = nul;
        PROCESS_INFORMATION pi{};
        const std::string dir = box.path().string();
        const bool started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, dir.c_str(), &si, &pi) != 0;
        CloseHandle(nul);
        return started ? pi : PROCESS_INFORMATION{};
    };
    auto writing = [](const Sandbox& box) {
        return !no_leftovers(box.path()) || fs::exists(box.path() / "vextal.lock");
    };
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    auto now_us = [&] {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        return static_cast<long>(t.QuadPart * 1000000 / frequency.QuadPart);
    };
    auto spin_us = [&](long us) {
        for (const long from = now_us(); now_us() - from < us;) {
        }
    };
    // What each command writes when nothing stops it, and how long its folder
    // shows it writing.
    std::vector<std::vector<std::string>> wholly_new;
    std::vector<long> writing_us;
    for (const OutputsRun& c : commands) {
        Sandbox box;
        prepare_outputs_run(box, c, false);
        const PROCESS_INFORMATION run = start(box, c.args);
        ASSERT_NE(run.hProcess, nullptr);
        while (!writing(box) && WaitForSingleObject(run.hProcess, 0) == WAIT_TIMEOUT) {
        }
        const long began = now_us();
        while (writing(box) && WaitForSingleObject(run.hProcess, 0) == WAIT_TIMEOUT) {
        }
        writing_us.push_back(now_us() - began);
        WaitForSingleObject(run.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(run.hProcess, &code);
        CloseHandle(run.hProcess);
        CloseHandle(run.hThread);
        ASSERT_EQ(code, 0u) << c.args[0];
        wholly_new.push_back(outputs_in(box, c));
    }
    const uint32_t seed = test_seed();
    std::mt19937 random(seed);
    int cut = 0;  // rounds ended while the run was writing
    for (int round = 0; round < 100; ++round) {
        const std::size_t which = random() % commands.size();
        const OutputsRun& c = commands[which];
        const bool earlier = random() % 2 == 0;
        Sandbox box;
        const std::vector<std::string> old = prepare_outputs_run(box, c, earlier);
        const PROCESS_INFORMATION run = start(box, c.args);
        ASSERT_NE(run.hProcess, nullptr);
        // Half the rounds end at a moment of the writing, half once the
        // outputs are being put in place, which takes a small part of it.
        const bool putting = random() % 2 == 0;
        auto put_begun = [&] {
            for (std::size_t k = 0; k < c.outputs.size(); ++k) {
                std::error_code ec;
                const auto p = box.path() / c.outputs[k];
                if (fs::exists(p, ec) != earlier || (earlier && read_file(p) != old[k]))
                    return true;
            }
            return false;
        };
        while (!(putting ? put_begun() : writing(box)) &&
               WaitForSingleObject(run.hProcess, 0) == WAIT_TIMEOUT) {
        }
        const long spell = putting ? 200 : writing_us[which];
        spin_us(static_cast<long>(random() % static_cast<uint32_t>(spell + 1)));
        TerminateProcess(run.hProcess, 1);
        WaitForSingleObject(run.hProcess, INFINITE);
        CloseHandle(run.hProcess);
        CloseHandle(run.hThread);
        cut += writing(box);
        const std::string where = "round " + std::to_string(round) + ", " + c.args[0] + "; ";
        ASSERT_EQ(box.run(cal_args("next")).exit_code, 0) << where << replay_with(seed);
        const std::vector<std::string> now = outputs_in(box, c);
        ASSERT_TRUE(now == old || now == wholly_new[which]) << where << replay_with(seed);
        ASSERT_TRUE(no_leftovers(box.path())) << where << replay_with(seed);
        ASSERT_FALSE(fs::exists(box.path() / "vextal.lock")) << where << replay_with(seed);
    }
    std::printf("%d of 100 runs were ended while writing\n", cut);
    EXPECT_GT(cut, 50) << replay_with(seed);
}

}  // namespace
}  // namespace vextal::test
