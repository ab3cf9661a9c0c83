// The `check` command end to end: the firmware's answer table[r / 2] / 10 at
// each record of a run, the summary, the warnings, the tolerance's exit code,
// the CSV and the tables it takes from a file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness.h"
#include "tests/support/msm.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

using Records = std::vector<MsmPoint>;

std::string msm(const Records& records) {
    return msm_file("<Vextal>", records, "\r\n");
}

const std::string kExample = read_file(fs::path(VEXTAL_EXAMPLES_DIR) / "sensor_10_80.msm");

// The example's self-check, as its rules give it: the answer at stage 75.5
// (reading 22) is entry 11, 68.5, an error of -7.
const std::string kExampleSummary =
    "points: 149 checked, 10 outside the table's range\n"
    "no answer: 0\n"
    "max error: -7.00 at stage 75.50 (reading 22)\n"
    "mean error: -1.35\n"
    "rms error: 2.08\n";

// Calibration run: stages 30 to 10 at readings 20 to 60, so that with -n 40
// the entries at half-readings 10, 15, ... 30 are 300, 250, ... 100, the
// line between them, and 999 from 31 on.
const Records kCalibrationRun = {
    {"30.0", 20}, {"25.0", 30}, {"20.0", 40}, {"15.0", 50}, {"10.0", 60}};
// A second run: answers 30.0, 25.0, 20.0 and 13.0 (entry 27, on the line
// from 15 at 25 to 10 at 30), errors +1, +1, -0.5 and +1; reading 90 has no
// entry (index 45 of 40); stage 5 lies below the table's smallest answer.
const Records kValidationRun = {{"29.0", 20}, {"24.0", 31}, {"20.5", 41},
                                {"12.0", 55}, {"15.0", 90}, {"5.0", 70}};
const std::string kValidationSummary =
    "points: 5 checked, 1 outside the table's range\n"
    "no answer: 1\n"
    "max error: 1.00 at stage 29.00 (reading 20)\n"
    "mean error: 0.63\n"
    "rms error: 0.90\n";

TEST(Check, SummaryToleranceAndExitCode) {
    Sandbox box;
    box.write("sensor_10_80.msm", kExample);
    box.write("cal.msm", msm(kCalibrationRun));
    box.write("run.msm", msm(kValidationRun));
    ASSERT_EQ(box.run({"cal", "sensor_10_80", "-f", "ex"}).exit_code, 0);
    ASSERT_EQ(box.run({"cal", "cal", "-n", "40", "-f", "t"}).exit_code, 0);
    const struct {
        const char* what;
        Args args;
        std::string out;
        int exit_code;
    } cases[] = {
        {"the example against its own table", {"check", "sensor_10_80"}, kExampleSummary, 0},
        {"the example against its .c file",
         {"check", "sensor_10_80", "-t", "ex"},
         kExampleSummary,
         0},
        {"the .c file named with its extension",
         {"check", "sensor_10_80", "-t", "ex.c"},
         kExampleSummary,
         0},
        {"within the tolerance",
         {"check", "sensor_10_80", "-tol", "7"},
         kExampleSummary + "result: pass\n",
         0},
        {"beyond it",
         {"check", "sensor_10_80.msm", "-tol", "6.99"},
         kExampleSummary + "result: FAIL: 1 point off by more than 6.99\n",
         1},
        {"a second run", {"check", "run", "-t", "t"}, kValidationSummary, 0},
        {"a second run and a tolerance",
         {"check", "run", "-t", "t", "-tol", "0.75"},
         kValidationSummary +
             "result: FAIL: 3 points off by more than 0.75, 1 point without an answer\n",
         1},
        {"no answer fails any tolerance",
         {"check", "run", "-t", "t", "-tol", "1"},
         kValidationSummary + "result: FAIL: 1 point without an answer\n",
         1},
    };
    for (const auto& c : cases) {
        const RunResult r = box.run(c.args);
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(r.exit_code, c.exit_code) << c.what;
    }
    // Without -f nothing is written.
    EXPECT_EQ(box.files().size(), 7u);
}

// 1000 records at readings 2, 4, ... 2000 and stages 999 down to 0: entry i
// of -n 1000 holds the stage of reading 2i exactly, and the last reading
// halves to 1000, one past the table.
TEST(Check, ARunOf1000Records) {
    Records run;
    for (int i = 1; i <= 1000; ++i) run.push_back({std::to_string(1000 - i), 2 * i});
    Sandbox box;
    box.write("run.msm", msm(run));
    const RunResult r = box.run({"check", "run", "-n", "1000"});
    EXPECT_EQ(r.out,
              "points: 1000 checked, 0 outside the table's range\n"
              "no answer: 1\n"
              "max error: 0.00 at stage 999.00 (reading 2)\n"
              "mean error: 0.00\n"
              "rms error: 0.00\n"
              "warning: the stretch reaches reading 2000 (half-reading 1000), beyond the "
              "table's 1000 entries: readings from 2000 up are not in the table; the largest "
              "table, -n 1000, covers readings up to 1999 only\n");
    EXPECT_EQ(r.exit_code, 0);
}

// Splits CSV lines into fields (the check writes no quotes).
std::vector<std::vector<std::string>> csv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        std::vector<std::string> fields(1);
        for (char ch : line) {
            if (ch == ',') {
                fields.emplace_back();
            } else {
                fields.back().push_back(ch);
            }
        }
        rows.push_back(fields);
    }
    return rows;
}

TEST(Check, CsvAgreesWithTheSummary) {
    Sandbox box;
    box.write("sensor_10_80.msm", kExample);
    const RunResult r = box.run({"check", "sensor_10_80", "-tol", "3", "-f", "out"});
    EXPECT_EQ(r.exit_code, 1);
    const auto rows = csv_rows(box.files()["out.csv"]);
    ASSERT_EQ(rows.size(), 160u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"no", "stage", "psd", "index", "answer", "error",
                                                 "status"}));
    std::map<std::string, int> status;
    double worst = 0.0;
    std::string worst_stage;
    double sum = 0.0;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        ASSERT_EQ(row.size(), 7u) << i;
        EXPECT_EQ(row[0], std::to_string(i));
        EXPECT_EQ(std::stoi(row[3]), std::stoi(row[2]) / 2);
        ++status[row[6]];
        if (row[6] == "outside") {
            EXPECT_EQ(row[4] + row[5], "");
            continue;
        }
        const double error = std::stod(row[5]);
        EXPECT_NEAR(std::stod(row[4]) - std::stod(row[1]), error, 0.005) << i;
        EXPECT_EQ(row[6], std::fabs(error) > 3 ? "over" : "ok") << i;
        if (std::fabs(error) > std::fabs(worst)) {
            worst = error;
            worst_stage = row[1];
        }
        sum += error;
    }
    EXPECT_EQ(status["ok"] + status["over"], 149);
    EXPECT_EQ(status["outside"], 10);
    EXPECT_EQ(worst, -7.0);
    EXPECT_EQ(worst_stage, "75.5");
    EXPECT_NEAR(sum / 149, -1.35, 0.005);
    EXPECT_NE(r.out.find("result: FAIL: " + std::to_string(status["over"]) + " points"),
              std::string::npos);
}

TEST(Check, WarnsWhereTheTableOrTheRunIsUnfit) {
    // Stages in mm: entries 0 to 10 hold 40000, 11 to 14 the line down to
    // 34000 at 3400, and 15 holds 32500.
    Records far_stages;
    for (int i = 0; i < 10; ++i) far_stages.push_back({std::to_string(4000 - 300 * i), 20 + 4 * i});
    Records noisy;  // from 150 to 101, one reading too high at 112
    for (int s = 150; s > 100; --s) noisy.push_back({std::to_string(s), s == 112 ? 121 : 230 - s});
    Records near_to_far;
    for (int i = 0; i < 10; ++i) near_to_far.push_back({std::to_string(10 + i), 200 - 9 * i});
    const struct {
        const char* what;
        Records run;
        Args options;
        std::string warning;  // the start of the one warning expected
        int exit_code;
    } cases[] = {
        {"readings 600 in a table of 128",
         {{"50", 100}, {"15", 600}, {"10", 500}},
         {},
         "warning: the stretch reaches reading 600 (half-reading 300), beyond the table's 128 "
         "entries: readings from 256 up are not in the table; -n 301 covers the whole stretch\n",
         0},
        {"entries beyond int16_t",
         far_stages,
         {},
         "warning: 15 entries lie outside -32768 to 32767 (entry 0 is 40000)",
         0},
        {"a measured 99.95",
         {{"99.95", 20}, {"80", 30}, {"60", 40}},
         {},
         "warning: 1 entry of the stretch holds 999 as a measured distance (entry 10, 99.95)",
         0},
        {"a noisy reading",
         noisy,
         {},
         "warning: the stretch was cut short at record 40 (stage 111.00, reading 119, after 121 "
         "and before 120): the readings go on rising after it (to 122 at record 43)",
         0},
        {"near to far, then cal's message",
         near_to_far,
         {},
         "warning: 9 of the run's neighbouring readings fall and 0 rise",
         2},
        {"near to far against a table",
         near_to_far,
         {"-t", "t"},
         "warning: 9 of the run's neighbouring readings fall and 0 rise",
         0},
        // The -fit table takes the whole branch in either order: no order warning.
        {"near to far with -fit", near_to_far, {"-fit"}, "", 0},
        {"a stage read twice",
         {{"40", 20}, {"30", 30}, {"20", 40}, {"20", 42}, {"10", 50}},
         {},
         "warning: 1 stage holds several records (the first: records 3 and 4, stage 20.00): "
         "repeated readings; import -mean makes one record of their mean at each position\n",
         0},
        {"a warning with -strict",
         {{"50", 100}, {"15", 600}, {"10", 500}},
         {"-strict"},
         "warning: the stretch reaches reading 600 (half-reading 300)",
         1},
        {"-strict without a warning",
         {{"50", 100}, {"15", 600}, {"10", 500}},
         {"-strict", "-n", "301"},
         "",
         0},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("run.msm", msm(c.run));
        box.write("t.c", "{100, 200};\n");
        Args args = {"check", "run"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult r = box.run(args);
        const std::size_t at = r.out.find("warning: ");
        if (c.warning.empty()) {
            EXPECT_EQ(at, std::string::npos) << c.what << "\n" << r.out;
        } else {
            ASSERT_NE(at, std::string::npos) << c.what << "\n" << r.out;
            EXPECT_EQ(r.out.substr(at, c.warning.size()), c.warning) << c.what;
            EXPECT_EQ(r.out.find("warning: ", at + 1), std::string::npos) << c.what;
        }
        EXPECT_EQ(r.exit_code, c.exit_code) << c.what;
        const char* error = c.exit_code == 2   ? "Error: Monotone PSD range is too small!\n\n"
                            : c.exit_code == 1 ? "Error: 1 warning with -strict: the check fails\n"
                                               : "";
        EXPECT_EQ(r.err, error) << c.what;
    }
}

TEST(Check, TablesAsTheFirmwareReadsThem) {
    const std::string run = msm(kValidationRun);
    const struct {
        const char* what;
        std::string c_file;
        std::string expected;  // the first summary line, or the error message
    } cases[] = {
        // Edited by hand: comments, a line break, a sign and a trailing comma.
        // Its answers reach from 13.0 to 30.0, so stages 12 and 5 lie
        // outside, and no reading of the run halves to below 4.
        {"edited", "// CallParams: by hand \r\n{ 300, /* was 250 */ 240,\n +200, 130, };\n",
         "points: 4 checked, 2 outside the table's range\nno answer: 4\n"},
        {"no braces", "// CallParams: x\r\n300, 250\r\n",
         "t.c, line 2: expected the '{' that opens the table"},
        {"not closed", "{300, 250", "t.c, line 1: the table is not closed by '}'"},
        {"a word", "{300, abc}", "t.c, line 1: expected an integer"},
        {"text after it", "{300};\nint x;", "t.c, line 2: text after the table's closing '}'"},
        {"empty", "{}", "t.c, line 1: the table holds no entries"},
        {"nothing", "// only a comment\n",
         "t.c, line 2: no table: expected a list of integers in braces"},
        {"too large", "{2147483648}", "t.c, line 1: an entry beyond the 32-bit integers"},
        // Octal, as the firmware holds it: 320, 256, 192, 128 answer 32.0 to
        // 12.8 (stages 12 to 30 of the run lie within them).
        {"octal", "{0500, 0400, 0300, 0200, 999};",
         "points: 4 checked, 2 outside the table's range\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("run.msm", run);
        box.write("t.c", c.c_file);
        const RunResult r = box.run({"check", "run", "-t", "t"});
        if (c.expected.rfind("points:", 0) == 0) {
            EXPECT_EQ(r.out.substr(0, c.expected.size()), c.expected) << c.what;
            EXPECT_EQ(r.exit_code, 0) << c.what;
        } else {
            EXPECT_EQ(r.err, "Error: " + c.expected + "\n") << c.what;
            EXPECT_EQ(r.exit_code, 2) << c.what;
        }
    }
}

TEST(Check, RefusedOptions) {
    Sandbox box;
    box.write("run.msm", msm(kValidationRun));
    const struct {
        Args args;
        std::string err;
    } cases[] = {
        {{"check", "run", "-t", "t", "-n", "40"},
         "Error: -n cannot be given with -t: the table file's entries are checked\n"},
        {{"check", "run", "-t", "t", "-fit"},
         "Error: -fit cannot be given with -t: the table file's entries are checked\n"},
        {{"load", "run", "-fit"}, "Error: Unbekannte Option: -fit\n\n"},
        {{"check", "run", "-tol", "-1"}, "Error: -tol requires a tolerance of 0 or more\n"},
        {{"check", "run", "-tol"}, "Error: -tol requires the largest error allowed\n"},
        {{"check", "run", "-psdplot"}, "Error: Unbekannte Option: -psdplot\n\n"},
        {{"cal", "run", "-t", "t"}, "Error: Unbekannte Option: -t\n\n"},
        {{"check"}, "Error: 'check' requires a file name\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = box.run(c.args);
        EXPECT_EQ(r.err, c.err) << c.args.back();
        EXPECT_EQ(r.exit_code, 2) << c.args.back();
    }
}

}  // namespace
}  // namespace vextal::test
