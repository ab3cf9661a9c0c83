// Bad inputs and failing file systems, end to end: whatever happens, the run
// ends with its specified result or a clear error and exit code 2, never a
// signal; files of the target names are untouched on failure and no
// temporary file is left.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/support/msm.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

const std::string kCannotOpenOutputs = "Ausgabedateien konnten nicht geoeffnet werden.\n";
const std::string kCannotWriteOutputs = "Ausgabedateien konnten nicht geschrieben werden.\n";
const std::string kCannotWritePicture = "SVG file could not be written.\n";

template <typename No>
std::string measurement(No no, const std::string& stage, const std::string& psd) {
    return msm_line(no, stage, psd) + "\n";
}

// A small valid run: readings rise with the index, positions fall.
std::string small_run(int count = 3) {
    std::string text = "<Vextal avg='10'>\n";
    for (int i = 1; i <= count; ++i) {
        text += measurement(i, std::to_string(40 - i) + ".0", std::to_string(10 + 2 * i));
    }
    return text + "</Vextal>\n";
}

bool running_on_linux() {
#ifdef __linux__
    return true;
#else
    return false;
#endif
}

struct FaultCase {
    std::string what;
    Files inputs;  // written into the sandbox before the run
    Args args;
    std::vector<std::string> env;
    std::string out;
    std::string message;      // what follows "Error: "; empty for a run that succeeds
    std::string detail = {};  // the line naming the file and the reason, or ""
    bool linux_only = false;
    // Standard error is a file in the harness: a file size limit cuts it too.
    std::size_t err_limit = std::string::npos;
};

void check(const FaultCase& c) {
    Sandbox box;
    for (const auto& [name, bytes] : c.inputs) box.write(name, bytes);
    RunResult r = box.run(c.args, c.env);
    EXPECT_FALSE(r.crashed) << c.what;
    EXPECT_EQ(r.exit_code, c.message.empty() ? 0 : 2) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
    const std::string err = c.message.empty() ? ""
                                              : "Error: " + c.message + "\n" +
                                                    (c.detail.empty() ? "" : c.detail + "\n");
    EXPECT_EQ(r.err, err.substr(0, c.err_limit)) << c.what;
    if (!c.message.empty()) {
        EXPECT_EQ(box.files(), c.inputs) << c.what;
    }
}

TEST(Faults, OutputsThatCannotBeWritten) {
    const Files run{{"data.msm", small_run()}};
    Files earlier{{"data.msm", small_run(10)}};
    earlier["out.cal"] = "earlier table\r\n";
    earlier["out.c"] = "{1, 2, 3};\r\n";
    earlier["out.psd"] = "1.0\t2\r\n";
    Files with_picture_folder = earlier;
    with_picture_folder["out.svg/kept"] = "kept";
    std::vector<FaultCase> cases = {
        {"output folder does not exist",
         run,
         {"cal", "data", "-f", "no/such/out"},
         {},
         kProgress,
         kCannotOpenOutputs,
         "no/such/out.cal: No such file or directory"},
        {"plot folder does not exist",
         run,
         {"load", "data", "-psdplot", "-f", "no/out"},
         {},
         kProgress,
         "PlotFile kann nicht geoeffnet werden.\n",
         "no/out.psd: No such file or directory"},
        // One name part of 300 characters is beyond every platform's limit.
        {"300-character prefix",
         run,
         {"cal", "data", "-f", std::string(300, 'p')},
         {},
         kProgress,
         kCannotOpenOutputs,
         std::string(300, 'p') + ".cal: File name too long"},
        // A folder no one may write to, root included.
        {"output folder not writable",
         run,
         {"cal", "data", "-f", "/proc/vextal/out"},
         {},
         kProgress,
         kCannotOpenOutputs,
         "/proc/vextal/out.cal: No such file or directory",
         true},
        {"plot folder not writable",
         run,
         {"load", "data", "-psdplot", "-f", "/sys/out"},
         {},
         kProgress,
         "PlotFile kann nicht geoeffnet werden.\n",
         "/sys/out.psd: Permission denied",
         true},
        // The picture is written before any output is put in place: all stay.
        {"picture name is a folder (cal)",
         with_picture_folder,
         {"cal", "data", "-svg", "-f", "out"},
         {},
         kProgress,
         kCannotWritePicture,
         "out.svg: Is a directory"},
        {"picture name is a folder (load)",
         with_picture_folder,
         {"load", "data", "-psdplot", "-svg", "-f", "out"},
         {},
         kProgress,
         kCannotWritePicture,
         "out.svg: Is a directory"},
        // The calibration's own failures come first, as without the picture.
        {"cal files and picture cannot be opened",
         run,
         {"cal", "data", "-svg", "-f", "no/out"},
         {},
         kProgress,
         kCannotOpenOutputs,
         "no/out.cal: No such file or directory"},
    };
    if (kCanLimitFileSize) {
        // The disk fills up: each file may grow to 64 bytes only (enough for
        // the messages, which the harness captures in files too).
        cases.push_back({"disk full while writing the .cal file",
                         earlier,
                         {"cal", "data", "-f", "out"},
                         {file_size_limit(64)},
                         kProgress,
                         kCannotWriteOutputs,
                         "out.cal: File too large",
                         false,
                         64});
        cases.push_back({"disk full while writing the .psd file",
                         earlier,
                         {"load", "data", "-psdplot", "-f", "out"},
                         {file_size_limit(64)},
                         kProgress,
                         "PlotFile konnte nicht geschrieben werden.\n",
                         "out.psd: File too large",
                         false,
                         64});
        // 1024 bytes hold the .cal and .c files of three steps, not the picture.
        cases.push_back({"disk full while writing the picture",
                         earlier,
                         {"cal", "data", "-n", "3", "-svg", "-f", "out"},
                         {file_size_limit(1024)},
                         kProgress,
                         kCannotWritePicture,
                         "out.svg: File too large"});
        cases.push_back({"disk full while writing the picture (load)",
                         earlier,
                         {"load", "data", "-psdplot", "-svg", "-f", "out"},
                         {file_size_limit(1024)},
                         kProgress,
                         kCannotWritePicture,
                         "out.svg: File too large"});
    }
    for (const auto& c : cases) {
        if (c.linux_only && !running_on_linux()) continue;
        check(c);
    }
}

TEST(Faults, InputsThatCannotBeRead) {
    Sandbox box;
    fs::create_directories(box.path() / "folder.msm");
    RunResult r = box.run({"cal", "folder.msm"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, kLoading + "folder.msm\n");
    EXPECT_EQ(r.err,
              "Error: Eingabedatei konnte nicht geoeffnet werden.\n\nfolder.msm: Is a directory\n");

    if (!running_on_linux()) return;
    // A device would be read for ever: it is refused, not opened.
    fs::create_symlink("/dev/zero", box.path() / "zero.msm");
    r = box.run({"load", "zero"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.err,
              "Error: Eingabedatei konnte nicht geoeffnet werden.\n\nzero.msm: a device, not "
              "a file\n");
    // A file that opens but fails on reading: a failing read counts as the
    // end of the file, so the file has no first line.
    fs::create_symlink("/proc/self/mem", box.path() / "mem.msm");
    r = box.run({"load", "mem.msm"});
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, kLoading);
    EXPECT_EQ(r.err, "Error: File does not start with <Vextal ...>\n\n");
}

TEST(Faults, HostileMeasurementFiles) {
    const std::string header = "<Vextal>\n";
    // 100,000 lines: 1000 measurements, each followed by 99 comment lines.
    std::string many_lines = header;
    for (int i = 1; i <= 1000; ++i) {
        many_lines += measurement(i, "5.0", "7");
        for (int k = 0; k < 99; ++k) many_lines += "<!-- comment -->\n";
    }
    std::string too_many = header;
    for (int i = 1; i <= 100000; ++i) too_many += measurement(i, "5.0", "7");
    const std::string ten_mb(10 * 1024 * 1024, 'x');

    const std::vector<FaultCase> cases = {
        // Bytes after a NUL are invisible to the line's tests, as the rest of
        // a C string is.
        {"NUL before the attributes",
         {{"d.msm",
           header + "<measurement no='1'" + std::string(1, '\0') + " stage='1' psd='2'/>\n"}},
         {"load", "d"},
         {},
         kLoading,
         "Measurement line not complete.\n"},
        {"NUL hides the root tag",
         {{"d.msm", std::string("<Vex\0tal>\n", 10)}},
         {"load", "d"},
         {},
         kLoading,
         "File does not start with <Vextal ...>\n"},
        {"NUL in an ignored line",
         {{"d.msm", small_run() + std::string("\0\0\0\n", 4)}},
         {"load", "d"},
         {},
         kProgress,
         ""},
        {"100,000 lines with 1000 measurements",
         {{"d.msm", many_lines}},
         {"load", "d"},
         {},
         kProgress,
         ""},
        {"100,000 measurements",
         {{"d.msm", too_many}},
         {"load", "d"},
         {},
         kLoading,
         "Zu viele Messwerte (maximal 1000).\n"},
        // A 10 MB line is read in 249-character pieces, none of them a
        // measurement: the file holds no record.
        {"a single 10 MB body line",
         {{"d.msm", header + ten_mb + "\n"}},
         {"cal", "d"},
         {},
         kProgress,
         "File does not contain enough measurements!\n"},
        {"a single 10 MB header line",
         {{"d.msm", "<Vextal " + ten_mb}},
         {"cal", "d"},
         {},
         kProgress,
         "File does not contain enough measurements!\n"},
        {"a number too large for no",
         {{"d.msm", header + measurement("99999999999", "1", "1")}},
         {"load", "d"},
         {},
         kLoading,
         "Measurement missing.\n"},
    };
    for (const auto& c : cases) check(c);
}

TEST(Faults, NumbersBeyondTheirRangeSaturate) {
    // The largest double has 309 integer digits, of which the first 17 are
    // significant and the rest are written as 0.
    const std::string dbl_max = "17976931348623157" + std::string(292, '0') + ".0";
    Sandbox box;
    const std::string file = "<Vextal>\n" + measurement(1, "1e400", "99999999999") +
                             measurement(2, "-1e400", "-99999999999") +
                             measurement(3, "1e-400", "-0") + measurement(4, "-1e-400", "0x10");
    box.write("big.msm", file);
    RunResult r = box.run({"load", "big", "-psdplot"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(box.files(), (Files{{"big.msm", file},
                                  {"big.psd", dbl_max + "\t2147483647\r\n-" + dbl_max +
                                                  "\t-2147483648\r\n0.0\t0\r\n-0.0\t0\r\n"}}));
}

TEST(Faults, PositionsBeyondSinglePrecisionSaturate) {
    // A position beyond the float range becomes the largest float in the
    // tables, and its tenths the largest int in the initialiser list.
    const std::string flt_max = "340282346638528860000000000000000000000.00";
    Sandbox box;
    const std::string file = "<Vextal>\n" + measurement(1, "1e400", "10") +
                             measurement(2, "20.0", "12") + measurement(3, "10.0", "14");
    box.write("big.msm", file);
    RunResult r = box.run({"cal", "big", "-n", "3"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    const std::string cal = "# Original Table:\r\n0\t" + flt_max + "\r\n5\t" + flt_max +
                            "\r\n6\t20.00\r\n7\t10.00\r\n8\t99.90\r\n255\t99.90\r\n\r\n\r\n"
                            "# Requantized Table:\r\n0\t" +
                            flt_max + "\r\n1\t" + flt_max + "\r\n2\t" + flt_max + "\r\n";
    const std::string c =
        "// CallParams: cal big -n 3  \r\n"
        "{2147483647, 2147483647, 2147483647};\r\n\r\n";
    EXPECT_EQ(box.files(), (Files{{"big.msm", file}, {"big.cal", cal}, {"big.c", c}}));
}

}  // namespace
}  // namespace vextal::test

namespace vextal::test {
namespace {

// Readings up to 509 put the range's last point at x 254, so both closing
// points stand at x 255; with 1000 steps the entries from 255 upward meet a
// segment whose two points share an x, and take its second point's y.
TEST(Faults, ClosingPointsSharingTheirX) {
    Sandbox box;
    box.write("edge.msm", "<Vextal>\n" + measurement(1, "10.0", "500") +
                              measurement(2, "20.0", "504") + measurement(3, "30.0", "509"));
    RunResult r = box.run({"cal", "edge", "-n", "1000"});
    ASSERT_EQ(r.exit_code, 0);
    Files files = box.files();
    const std::string& cal = files["edge.cal"];
    EXPECT_NE(cal.find("254\t30.00\r\n255\t99.90\r\n255\t99.90\r\n"), std::string::npos);
    for (int j = 255; j < 1000; ++j) {
        const std::string line = "\r\n" + std::to_string(j) + "\t99.90\r\n";
        ASSERT_NE(cal.find(line, cal.find("# Requantized Table:")), std::string::npos) << j;
    }
    // The .c values: 250 entries of 10.0 before the range, 999 from 255 on.
    std::vector<int> values;
    const std::string& c = files["edge.c"];
    for (std::size_t p = c.find('{') + 1; p < c.size() && c[p] != '}';) {
        if (c[p] == '-' || (c[p] >= '0' && c[p] <= '9')) {
            std::size_t used = 0;
            values.push_back(std::stoi(c.substr(p), &used));
            p += used;
        } else {
            ++p;
        }
    }
    ASSERT_EQ(values.size(), 1000u);
    for (int j = 0; j < 250; ++j) EXPECT_EQ(values[static_cast<std::size_t>(j)], 100) << j;
    for (int j = 255; j < 1000; ++j) EXPECT_EQ(values[static_cast<std::size_t>(j)], 999) << j;
}

// What a run that died where no handler runs leaves in a folder: its list in
// the lock file and its staging and backup files, at each step of its puts.
// The next run into the folder puts the folder back (all new where the list
// says every output was in place, all old otherwise), says so, and leaves
// nothing behind. The same on every platform.
TEST(Faults, KilledRunsLeftBehindArePutBack) {
    using namespace std::string_literals;
    const std::string back =
        "A run that was killed left outputs here; they are back as they were before it.\n";
    const std::string all_new =
        "A run that was killed left outputs here; all of them are its new ones now.\n";
    const std::string cal =
        "o\0vextal-7-0.tmp\0vextal-7-0.bak\0"
        "1\0out.cal\0"s;
    const std::string c =
        "o\0vextal-7-1.tmp\0vextal-7-1.bak\0"
        "1\0out.c\0"s;
    const std::string new_cal =
        "o\0vextal-7-0.tmp\0vextal-7-0.bak\0"
        "0\0out.cal\0"s;
    const std::string written =
        "w\0vextal-7-0.tmp\0vextal-7-0.bak\0"
        "1\0out.cal\0"s;
    const std::string kept = "k\0vextal-7-0.bak\0"s;
    const std::string placed = "p\0"s;
    const struct {
        std::string what;
        Files left;  // besides d.msm
        Files after;
        std::string err;
    } cases[] = {
        {"staged, not yet put",
         {{"vextal.lock", cal}, {"out.cal", "old"}, {"vextal-7-0.tmp", "new"}},
         {{"out.cal", "old"}},
         back},
        {"the first of two put, the second staged",
         {{"vextal.lock", cal + c},
          {"out.cal", "new"},
          {"vextal-7-0.bak", "old"},
          {"out.c", "old c"},
          {"vextal-7-1.tmp", "new c"}},
         {{"out.cal", "old"}, {"out.c", "old c"}},
         back},
        {"both put, not yet said so",
         {{"vextal.lock", cal + c},
          {"out.cal", "new"},
          {"vextal-7-0.bak", "old"},
          {"out.c", "new c"},
          {"vextal-7-1.bak", "old c"}},
         {{"out.cal", "old"}, {"out.c", "old c"}},
         back},
        {"both put and said so",
         {{"vextal.lock", cal + c + placed},
          {"out.cal", "new"},
          {"vextal-7-0.bak", "old"},
          {"out.c", "new c"},
          {"vextal-7-1.bak", "old c"}},
         {{"out.cal", "new"}, {"out.c", "new c"}},
         all_new},
        {"a new output put", {{"vextal.lock", new_cal}, {"out.cal", "new"}}, {}, back},
        {"a new output staged, its name since taken by another program",
         {{"vextal.lock", new_cal}, {"vextal-7-0.tmp", "new"}, {"out.cal", "theirs"}},
         {{"out.cal", "theirs"}},
         back},
        {"written over, its earlier bytes kept",
         {{"vextal.lock", written + kept}, {"out.cal", "ne"}, {"vextal-7-0.bak", "old"}},
         {{"out.cal", "old"}},
         back},
        {"written over, its earlier bytes not kept whole",
         {{"vextal.lock", written}, {"out.cal", "old"}, {"vextal-7-0.bak", "ol"}},
         {{"out.cal", "old"}},
         back},
        {"a list cut short names nothing",
         {{"vextal.lock", cal.substr(0, 20)}, {"out.cal", "old"}},
         {{"out.cal", "old"}},
         ""},
    };
    for (const auto& k : cases) {
        Sandbox box;
        box.write("d.msm", small_run());
        for (const auto& [name, bytes] : k.left) box.write(name, bytes);
        const RunResult r = box.run({"cal", "d", "-f", "next"});
        EXPECT_EQ(r.exit_code, 0) << k.what;
        EXPECT_EQ(r.err, k.err) << k.what;
        Files now = box.files();
        EXPECT_EQ(now.erase("d.msm") + now.erase("next.cal") + now.erase("next.c"), 3u) << k.what;
        EXPECT_EQ(now, k.after) << k.what;
    }
}

}  // namespace
}  // namespace vextal::test
