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
    "points: 149 checked, 10 outside the working range 6 to 80\n"
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
// from 15 at 25 to 10 at 30), errors +1, +1, -0.5 and +1; the peak, reading
// 90 at stage 10, has no entry (index 45 of 40); stage 5 lies nearer than the
// peak, outside the working range.
const Records kValidationRun = {{"29.0", 20}, {"24.0", 31}, {"20.5", 41},
                                {"12.0", 55}, {"10.0", 90}, {"5.0", 70}};
const std::string kValidationSummary =
    "points: 5 checked, 1 outside the working range 10 to 29\n"
    "no answer: 1\n"
    "max error: 1.00 at stage 29.00 (reading 20)\n"
    "mean error: 0.63\n"
    "rms error: 0.90\n"
    "warning: 1 reading of the run lies past the table's 40 entries (the highest, 90, has "
    "index 45): readings from 80 up have no answer; a table of -n 46 covers them\n";

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
         kExampleSummary +
             "result: FAIL: 1 point off by more than 6.99, 0 points without an answer\n",
         1},
        {"a second run", {"check", "run", "-t", "t"}, kValidationSummary, 0},
        {"a second run and a tolerance",
         {"check", "run", "-t", "t", "-tol", "0.75"},
         kValidationSummary +
             "result: FAIL: 3 points off by more than 0.75, 1 point without an answer\n",
         1},
        {"no answer fails any tolerance",
         {"check", "run", "-t", "t", "-tol", "1"},
         kValidationSummary +
             "result: FAIL: 0 points off by more than 1.00, 1 point without an answer\n",
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

// Every record of the working range is judged, also where the table gives no
// answer; -tol fails where any of them has none, or where none is judged.
TEST(Check, JudgesTheWorkingRange) {
    Sandbox box;
    box.write("sensor_10_80.msm", kExample);
    box.write("cal.msm", msm(kCalibrationRun));
    // The calibration run's stretch answers stages 30 to 10 exactly; the peak,
    // reading 70 at stage 5, indexes entry 35, which holds 999.
    box.write("run.msm", msm({{"30", 20}, {"20", 40}, {"10", 60}, {"5", 70}}));
    box.write("other.c", "{5000, 5000, 5000, 5000};\n");
    box.write("empty.msm", msm({}));
    ASSERT_EQ(box.run({"cal", "cal", "-n", "40", "-f", "t"}).exit_code, 0);
    const std::string exact =
        "no answer: 0\nmax error: 0.00 at stage 30.00 (reading 20)\nmean error: 0.00\n"
        "rms error: 0.00\n";
    const struct {
        const char* what;
        Args args;
        std::string out;
        int exit_code;
    } cases[] = {
        {"a table that does not reach the peak",
         {"check", "run", "-t", "t", "-tol", "1"},
         "points: 4 checked, 0 outside the working range 5 to 30\nno answer: 1\n"
         "max error: 0.00 at stage 30.00 (reading 20)\nmean error: 0.00\nrms error: 0.00\n"
         "result: FAIL: 0 points off by more than 1.00, 1 point without an answer\n",
         1},
        {"a working range it covers, either order",
         {"check", "run", "-t", "t", "-tol", "1", "-range", "30,10"},
         "points: 3 checked, 1 outside the working range 10 to 30\n" + exact + "result: pass\n",
         0},
        {"both ends included, with the unit",
         {"check", "run", "-t", "t", "-range", "10.5,30.", "-unit", "mm"},
         "points: 2 checked, 2 outside the working range 10.5 mm to 30 mm\nno answer: 0\n"
         "max error: 0.00 mm at stage 30.00 mm (reading 20)\nmean error: 0.00 mm\n"
         "rms error: 0.00 mm\n",
         0},
        // Every reading of the example indexes past its four entries.
        {"a table of another sensor",
         {"check", "sensor_10_80", "-t", "other", "-tol", "2"},
         "points: 149 checked, 10 outside the working range 6 to 80\nno answer: 149\n"
         "max error: none\nmean error: none\nrms error: none\n"
         "warning: 159 readings of the run lie past the table's 4 entries (the highest, 158, "
         "has index 79): readings from 8 up have no answer; a table of -n 80 covers them\n"
         "result: FAIL: 0 points off by more than 2.00, 149 points without an answer\n",
         1},
        {"nothing judged",
         {"check", "sensor_10_80", "-range", "100,200", "-tol", "2"},
         "points: 0 checked, 159 outside the working range 100 to 200\nno answer: 0\n"
         "max error: none\nmean error: none\nrms error: none\n"
         "result: FAIL: no record was judged: 0 points off by more than 2.00, 0 points "
         "without an answer\n",
         1},
        {"an empty run",
         {"check", "empty", "-t", "t", "-tol", "1"},
         "points: 0 checked, 0 outside the working range, which a run without records lacks\n"
         "no answer: 0\nmax error: none\nmean error: none\nrms error: none\n"
         "result: FAIL: no record was judged: 0 points off by more than 1.00, 0 points "
         "without an answer\n",
         1},
    };
    for (const auto& c : cases) {
        const RunResult r = box.run(c.args);
        EXPECT_EQ(r.out, c.out) << c.what;
        EXPECT_EQ(r.exit_code, c.exit_code) << c.what;
    }
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
              "points: 1000 checked, 0 outside the working range 0 to 999\n"
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
        const char* c_file = "{100, 200};\n";  // the table of -t
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
        // With -t only the table's own faults, none of the run's order.
        {"near to far against a table",
         near_to_far,
         {"-t", "t"},
         "warning: 10 readings of the run lie past the table's 2 entries (the highest, 200, has "
         "index 100): readings from 4 up have no answer; a table of -n 101 covers them\n",
         0},
        {"a table file's entries beyond int16_t",
         {{"10", 6}, {"20", 4}, {"30", 2}},
         {"-t", "t"},
         "warning: 3 entries lie outside -32768 to 32767 (entry 0 is 40000)",
         0,
         "{40000, 35000, 33000, 999};"},
        {"a 999 between two distances",
         {{"80", 0}, {"60", 4}, {"50", 6}},
         {"-t", "t"},
         "warning: 1 entry of 999 lies between two distances (entry 1, readings 2 and 3): the "
         "firmware answers \"out of range\" inside the table's range\n",
         0,
         "{800, 999, 600, 500};"},
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
        box.write("t.c", c.c_file);
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
    std::string octal_table = "{0500";
    for (int i = 1; i < 46; ++i) octal_table += ", 0500";
    octal_table += "};";
    const struct {
        const char* what;
        std::string c_file;
        std::string expected;  // the first summary line, or the error message
    } cases[] = {
        // Edited by hand: comments, a line break, a sign and a trailing comma.
        // No reading of the run halves to below 4: every record of the
        // working range is judged and none has an answer.
        {"edited", "// CallParams: by hand \r\n{ 300, /* was 250 */ 240,\n +200, 130, };\n",
         "points: 5 checked, 1 outside the working range 10 to 29\nno answer: 5\n"},
        {"no braces", "// CallParams: x\r\n300, 250\r\n",
         "t.c, line 2: expected the '{' that opens the table"},
        {"not closed", "{300, 250", "t.c, line 1: the table is not closed by '}'"},
        {"a word", "{300, abc}", "t.c, line 1: expected an integer"},
        {"text after it", "{300};\nint x;", "t.c, line 2: text after the table's closing '}'"},
        {"empty", "{}", "t.c, line 1: the table holds no entries"},
        {"nothing", "// only a comment\n",
         "t.c, line 2: no table: expected a list of integers in braces"},
        {"too large", "{2147483648}", "t.c, line 1: an entry beyond the 32-bit integers"},
        // Octal, as the firmware holds it: 46 entries of 0500, that is 320,
        // answer 32.0 at every reading of the run (read as 500 it would be
        // 50.0): the largest error is 32.0 - 10 at the peak's stage.
        {"octal", octal_table,
         "points: 5 checked, 1 outside the working range 10 to 29\nno answer: 0\n"
         "max error: 22.00 at stage 10.00 (reading 90)\n"},
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
        {{"check", "run", "-tol"}, "Error: -tol requires the largest error allowed\n"},
        {{"check", "run", "-range"},
         "Error: -range requires the working range, two stage positions (-range 10,80)\n"},
        {{"check", "run", "-psdplot"}, "Error: Unbekannte Option: -psdplot\n\n"},
        {{"cal", "run", "-t", "t"}, "Error: Unbekannte Option: -t\n\n"},
        {{"check"}, "Error: 'check' requires a file name\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = box.run(c.args);
        EXPECT_EQ(r.err, c.err) << c.args.back();
        EXPECT_EQ(r.exit_code, 2) << c.args.back();
    }
    // check's numbers are read strictly: a decimal number with a point, and
    // nothing after it.
    const std::string tol_refused =
        "Error: -tol requires a tolerance of 0 or more, a decimal number with a point (-tol "
        "1.5)\n";
    const std::string range_refused =
        "Error: -range requires two stage positions separated by a comma, each a decimal "
        "number with a point (-range 10,80)\n";
    for (const char* tol : {"-1", "1,5", "abc", "nan", "inf", "0x10", "2 ", "1.5.0", ""}) {
        EXPECT_EQ(box.run({"check", "run", "-tol", tol}).err, tol_refused) << tol;
    }
    for (const char* range : {"10", "10,", ",10", "10;20", "10 20", "nan,20", "10,inf", "0x10,20",
                              "10,20x", "10,20,30", "10,5,5", " 10,20", ""}) {
        const RunResult r = box.run({"check", "run", "-range", range});
        EXPECT_EQ(r.err, range_refused) << range;
        EXPECT_EQ(r.exit_code, 2) << range;
    }
}

}  // namespace
}  // namespace vextal::test
