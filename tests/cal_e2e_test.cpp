// The `cal` command end to end: measurement file in, calibration table (.cal)
// and initialiser list (.c) out, compared byte for byte, CR LF included; and
// every failure leaving earlier outputs as they were.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/harness.h"
#include "tests/support/msm.h"
#include "tests/support/six_records.h"

namespace vextal::test {
namespace {

using Records = std::vector<MsmPoint>;

const std::string kIndent = "\r\n" + std::string(20, ' ');

std::string msm(const Records& records) {
    return msm_file("<Vextal max_range='80' avg='10' sn='1234'>", records);
}

std::string repeat(const std::string& text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) all += text;
    return all;
}

// "j\ty" lines for j = from ... to, all with the same y.
std::string flat_lines(int from, int to, const std::string& y) {
    std::string all;
    for (int j = from; j <= to; ++j) all += std::to_string(j) + "\t" + y + "\r\n";
    return all;
}

std::string cal_file(const std::string& original, const std::string& requantized) {
    return "# Original Table:\r\n" + original + "\r\n\r\n# Requantized Table:\r\n" + requantized;
}

const Records kExample = six_record_points();
const std::string kExampleOriginal =
    "0\t25.00\r\n4\t25.00\r\n6\t20.00\r\n10\t10.70\r\n15\t8.00\r\n16\t99.90\r\n255\t99.90\r\n";
// Requantized lines for j = 0 ... 15; from 16 on every entry is 99.90.
const std::string kExampleBelow16 =
    "0\t25.00\r\n1\t25.00\r\n2\t25.00\r\n3\t25.00\r\n4\t25.00\r\n5\t22.50\r\n6\t20.00\r\n"
    "7\t17.67\r\n8\t15.35\r\n9\t13.02\r\n10\t10.70\r\n11\t10.16\r\n12\t9.62\r\n13\t9.08\r\n"
    "14\t8.54\r\n15\t8.00\r\n";
// The first 15 values of the .c file, each written with "%3d, ".
const std::string kExampleFirst15 =
    "{250, 250, 250, 250, 250, 225, 200, 176, 153, 130, 106, 101,  96,  90,  85, ";

struct Golden {
    const char* what;
    Records records;
    Args args;
    std::string output;  // the prefix of both outputs
    std::string cal;
    std::string c;
};

TEST(Cal, WritesBothFilesByteForByte) {
    const std::string long_prefix(200, 'p');
    const Golden cases[] = {
        {"six records, 20 steps",
         kExample,
         {"cal", "demo", "-n", "20"},
         "demo",
         cal_file(kExampleOriginal, kExampleBelow16 + flat_lines(16, 19, "99.90")),
         "// CallParams: cal demo -n 20  \r\n" + kExampleFirst15 + " 80, " + kIndent +
             "999, 999, 999, 999};\r\n\r\n"},
        {"3 steps: one line",
         kExample,
         {"cal", "demo", "-n", "3"},
         "demo",
         cal_file(kExampleOriginal, flat_lines(0, 2, "25.00")),
         "// CallParams: cal demo -n 3  \r\n{250, 250, 250};\r\n\r\n"},
        {"16 steps: the last value unpadded, no break",
         kExample,
         {"cal", "demo", "-n", "16"},
         "demo",
         cal_file(kExampleOriginal, kExampleBelow16),
         "// CallParams: cal demo -n 16  \r\n" + kExampleFirst15 + "80};\r\n\r\n"},
        {"17 steps: the last value alone on the next line",
         kExample,
         {"cal", "demo", "-n", "17"},
         "demo",
         cal_file(kExampleOriginal, kExampleBelow16 + "16\t99.90\r\n"),
         "// CallParams: cal demo -n 17  \r\n" + kExampleFirst15 + " 80, " + kIndent +
             "999};\r\n\r\n"},
        {"300 steps: flat at 99.9 beyond 255",
         kExample,
         {"cal", "demo", "-n", "300"},
         "demo",
         cal_file(kExampleOriginal, kExampleBelow16 + flat_lines(16, 299, "99.90")),
         // 16 values on the first line, 17 full lines, 12 values on the last.
         "// CallParams: cal demo -n 300  \r\n" + kExampleFirst15 + " 80, " +
             repeat(kIndent + repeat("999, ", 16), 17) + kIndent + repeat("999, ", 11) +
             "999};\r\n\r\n"},
        // The range ends at x 254, so both closing points lie at 255; from
        // j = 255 on the lookup meets a segment of one x and gives its second y.
        {"closing points share x 255",
         {{"30", 500}, {"20", 504}, {"10", 508}},
         {"cal", "demo", "-n", "260"},
         "demo",
         cal_file("0\t30.00\r\n250\t30.00\r\n252\t20.00\r\n254\t10.00\r\n255\t99.90\r\n"
                  "255\t99.90\r\n",
                  flat_lines(0, 250, "30.00") +
                      "251\t25.00\r\n252\t20.00\r\n253\t15.00\r\n254\t10.00\r\n" +
                      flat_lines(255, 259, "99.90")),
         "// CallParams: cal demo -n 260  \r\n{" + repeat("300, ", 16) +
             repeat(kIndent + repeat("300, ", 16), 14) + kIndent + repeat("300, ", 11) +
             "250, 200, 150, 100, 999, " + kIndent + "999, 999, 999, 999};\r\n\r\n"},
        // Readings 20 and 21 both give x 10; at j = 10 the later point counts.
        {"two readings halve to the same x",
         {{"40", 20}, {"30", 21}, {"20", 30}},
         {"cal", "demo", "-n", "20"},
         "demo",
         cal_file("0\t40.00\r\n10\t40.00\r\n10\t30.00\r\n15\t20.00\r\n16\t99.90\r\n255\t99.90\r\n",
                  flat_lines(0, 9, "40.00") +
                      "10\t30.00\r\n11\t28.00\r\n12\t26.00\r\n13\t24.00\r\n14\t22.00\r\n"
                      "15\t20.00\r\n" +
                      flat_lines(16, 19, "99.90")),
         "// CallParams: cal demo -n 20  \r\n{" + repeat("400, ", 10) +
             "300, 280, 260, 240, 220, 200, " + kIndent + "999, 999, 999, 999};\r\n\r\n"},
        // -2.55 in single precision is -2.5499999523...: -25 tenths, truncated
        // toward zero; -0.5 gives -5, padded to " -5".
        {"negative positions",
         {{"-2.55", 8}, {"-5", 10}, {"-0.5", 12}},
         {"cal", "demo", "-n", "8"},
         "demo",
         cal_file("0\t-2.55\r\n4\t-2.55\r\n5\t-5.00\r\n6\t-0.50\r\n7\t99.90\r\n255\t99.90\r\n",
                  flat_lines(0, 4, "-2.55") + "5\t-5.00\r\n6\t-0.50\r\n7\t99.90\r\n"),
         "// CallParams: cal demo -n 8  \r\n{-25, -25, -25, -25, -25, -50,  -5, 999};\r\n\r\n"},
        // A first reading of -10 gives x -5, below the leading point's 0: the
        // search runs on the unordered table as on any other. j = 0 and 1 land
        // on the segment (-5, 10)-(2, 20): 20 - 20/7 and 20 - 10/7.
        {"unordered x",
         {{"10", -10}, {"20", 4}, {"30", 6}},
         {"cal", "demo", "-n", "6"},
         "demo",
         cal_file("0\t10.00\r\n-5\t10.00\r\n2\t20.00\r\n3\t30.00\r\n4\t99.90\r\n255\t99.90\r\n",
                  "0\t17.14\r\n1\t18.57\r\n2\t20.00\r\n3\t30.00\r\n4\t99.90\r\n5\t99.90\r\n"),
         "// CallParams: cal demo -n 6  \r\n{171, 185, 200, 300, 999, 999};\r\n\r\n"},
        // -fit on a run from near to far with a fold at 5: the branch 10 to 6
        // reads 4 to 20 on a line, so the curve is stage 11 - reading / 4,
        // and entry j the mean of its stage at 2j and 2j + 1, rounded to the
        // tenth (9.875 gives 99); the peak's 20 alone serves entry 10.
        {"-fit",
         {{"5", 18}, {"6", 20}, {"7", 16}, {"8", 12}, {"9", 8}, {"10", 4}},
         {"cal", "demo", "-fit", "-n", "12"},
         "demo",
         cal_file("0\t10.00\r\n2\t10.00\r\n4\t9.00\r\n6\t8.00\r\n8\t7.00\r\n10\t6.00\r\n"
                  "11\t99.90\r\n255\t99.90\r\n",
                  flat_lines(0, 1, "10.00") +
                      "2\t9.88\r\n3\t9.38\r\n4\t8.88\r\n5\t8.38\r\n6\t7.88\r\n7\t7.38\r\n"
                      "8\t6.88\r\n9\t6.38\r\n10\t6.00\r\n11\t99.90\r\n"),
         "// CallParams: cal demo -fit -n 12  \r\n"
         "{100, 100,  99,  94,  89,  84,  79,  74,  69,  64,  60, 999};\r\n\r\n"},
        {"input name with .msm is the prefix as written",
         kExample,
         {"cal", "demo.msm", "-n", "3"},
         "demo.msm",
         cal_file(kExampleOriginal, flat_lines(0, 2, "25.00")),
         "// CallParams: cal demo.msm -n 3  \r\n{250, 250, 250};\r\n\r\n"},
        // The options of measure and load are taken by cal too; the plot flag
        // has no effect on it and writes no plot file.
        {"-psdplot taken, no plot file",
         kExample,
         {"cal", "demo", "-n", "3", "-psdplot"},
         "demo",
         cal_file(kExampleOriginal, flat_lines(0, 2, "25.00")),
         "// CallParams: cal demo -n 3 -psdplot  \r\n{250, 250, 250};\r\n\r\n"},
        {"long prefix",
         kExample,
         {"cal", "demo", "-n", "3", "-f", long_prefix},
         long_prefix,
         cal_file(kExampleOriginal, flat_lines(0, 2, "25.00")),
         "// CallParams: cal demo -n 3 -f " + long_prefix + "  \r\n{250, 250, 250};\r\n\r\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("demo.msm", msm(c.records));
        RunResult r = box.run(c.args);
        EXPECT_EQ(r.exit_code, 0) << c.what;
        EXPECT_FALSE(r.crashed) << c.what;
        EXPECT_EQ(r.out, kProgress) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        std::map<std::string, std::string> expected = {
            {"demo.msm", msm(c.records)}, {c.output + ".cal", c.cal}, {c.output + ".c", c.c}};
        EXPECT_EQ(box.files(), expected) << c.what;
    }
}

struct Failure {
    const char* what;
    Records records;
    std::map<std::string, std::string> earlier;  // files present before the run
    Args args;
    std::string message;  // what follows "Error: "
};

// A failed run ends with exit code 2 and its message after both progress
// lines, and leaves the folder as it was: no new output, earlier outputs
// untouched, no temporary file.
// A stretch that reaches readings of 510 and more: the table's last point
// lies one step beyond the stretch, so that entries up to the stretch's end
// hold its positions and only those past it 99.90.
TEST(Cal, StretchesBeyondReading509KeepTheirPositions) {
    const struct {
        int reading;  // of the stretch's last record, at stage 15
        int steps;
    } cases[] = {{600, 400}, {1023, 512}, {1999, 1000}};
    for (const auto& c : cases) {
        Sandbox box;
        box.write("r.msm", msm({{"50.0", 100}, {"15.0", c.reading}, {"10.0", c.reading - 100}}));
        ASSERT_EQ(box.run({"cal", "r", "-n", std::to_string(c.steps)}).exit_code, 0);
        const std::string cal = box.files()["r.cal"];
        const std::string table = cal.substr(cal.find("# Requantized Table:\r\n") + 22);
        std::istringstream lines(table);
        const int end = c.reading / 2;
        int j = 0;
        for (std::string line; std::getline(lines, line); ++j) {
            const double y = std::stod(line.substr(line.find('\t') + 1));
            if (j <= 50) {
                EXPECT_EQ(y, 50.0) << c.reading << " at " << j;
            } else if (j < end) {
                EXPECT_TRUE(y > 15.0 && y < 50.0) << c.reading << " at " << j;
            } else {
                EXPECT_EQ(y, j == end ? 15.0 : 99.9) << c.reading << " at " << j;
            }
        }
        EXPECT_EQ(j, c.steps);
    }
}

TEST(Cal, FailuresLeaveEarlierOutputsUntouched) {
    const Records falling = {{"30", 30}, {"20", 20}, {"10", 10}};
    const std::map<std::string, std::string> earlier = {{"demo.cal", "earlier cal\r\n"},
                                                        {"demo.c", "earlier c\r\n"}};
    const Failure cases[] = {
        {"two records",
         {{"30", 10}, {"20", 20}},
         {},
         {"cal", "demo"},
         "File does not contain enough measurements!\n"},
        {"two records, earlier outputs",
         {{"30", 10}, {"20", 20}},
         earlier,
         {"cal", "demo"},
         "File does not contain enough measurements!\n"},
        {"range of one record",
         falling,
         earlier,
         {"cal", "demo"},
         "Monotone PSD range is too small!\n"},
        {"range of one record, no earlier outputs",
         falling,
         {},
         {"cal", "demo"},
         "Monotone PSD range is too small!\n"},
        // Opening is tested before the range.
        {"output name is a folder",
         falling,
         {{"demo.cal", "earlier cal\r\n"}, {"demo.c/inside", "kept"}},
         {"cal", "demo"},
         "Ausgabedateien konnten nicht geoeffnet werden.\n\ndemo.c: Is a directory"},
        {"output folder missing",
         kExample,
         earlier,
         {"cal", "demo", "-f", "nowhere/out"},
         "Ausgabedateien konnten nicht geoeffnet werden.\n\nnowhere/out.cal: No such file or "
         "directory"},
        {"prefix beyond the name buffer",
         kExample,
         earlier,
         {"cal", "demo", "-f", std::string(4092, 'q')},
         "Dateiname zu lang.\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("demo.msm", msm(c.records));
        for (const auto& [name, bytes] : c.earlier) box.write(name, bytes);
        const auto before = box.files();
        RunResult r = box.run(c.args);
        EXPECT_EQ(r.exit_code, 2) << c.what;
        EXPECT_FALSE(r.crashed) << c.what;
        EXPECT_EQ(r.out, kProgress) << c.what;
        EXPECT_EQ(r.err, "Error: " + c.message + "\n") << c.what;
        EXPECT_EQ(box.files(), before) << c.what;
    }
}

// Records at stages from `far` down in steps of 10, one per reading.
Records descending_stages(int far, const std::vector<int>& readings) {
    Records run;
    for (std::size_t i = 0; i < readings.size(); ++i) {
        run.push_back({std::to_string(far - 10 * static_cast<int>(i)) + ".0", readings[i]});
    }
    return run;
}

// cal writes its warnings after its outputs, each a line on standard error,
// and still ends with exit code 0; the lines named are among them.
TEST(Cal, WarnsOnStandardError) {
    const std::string kBranch = " in the branch (from the farthest stage to the peak), at record ";
    const struct {
        const char* what;
        Records records;
        Args options;
        std::vector<std::string> lines;  // each expected as a whole line
    } cases[] = {
        {"a 10-bit run at -n 128",
         {{"50.0", 100}, {"15.0", 600}, {"10.0", 500}},
         {},
         {"the stretch reaches reading 600 (half-reading 300), beyond the table's 128 entries: "
          "readings from 256 up are not in the table; -n 301 covers the whole stretch"}},
        // Records 3 and 4 (60, 61) are the stretch around the middle record.
        {"near to far",
         {{"10.0", 100}, {"20.0", 80}, {"30.0", 60}, {"40.0", 61}, {"50.0", 40}, {"60.0", 20}},
         {},
         {"4 of the run's neighbouring readings fall and 1 rise: the run seems to go from near "
          "to far, while the table needs far to near; write its records from the farthest "
          "position to the nearest",
          "the monotone stretch holds 2 of the branch's 6 records (from the farthest stage to "
          "the peak), so the table leaves the rest unused; -fit uses the whole branch"}},
        {"a stretch cut short",
         descending_stages(80, {20, 30, 40, 35, 50, 60, 70, 80}),
         {},
         {"the stretch was cut short at record 3 (stage 60.00, reading 40, after 30 and before "
          "35): the readings go on falling before it (to 30 at record 2), as after a noisy "
          "reading; correct or measure the readings around it again to use the whole run",
          "the monotone stretch holds 5 of the branch's 8 records (from the farthest stage to "
          "the peak), so the table leaves the rest unused; -fit uses the whole branch"}},
        // A spike at full scale is the peak: the branch ends at it.
        {"a dropout and a spike of a 10-bit sensor",
         descending_stages(90, {100, 0, 200, 0, 1023, 500, 600, 700, 800}),
         {"-n", "512"},
         {"2 readings of 0 in the branch (from the farthest stage to the peak), at records 2 "
          "and 4: the sensor dropped out there; measure them again",
          "1 reading of 1023" + kBranch +
              "5: the full scale of 10-bit readings, a spike or an overload; measure it again"}},
        {"a spike of an 8-bit sensor, with -fit",
         descending_stages(60, {20, 40, 255, 60, 80, 100}),
         {"-fit"},
         {"1 reading of 255" + kBranch +
          "3: the full scale of 8-bit readings, a spike or an overload; measure it again"}},
        {"a stage read twice",
         {{"40.0", 20}, {"30.0", 30}, {"20.0", 40}, {"20.0", 42}, {"10.0", 50}},
         {},
         {"1 stage holds several records (the first: records 3 and 4, stage 20.00): repeated "
          "readings; import -mean makes one record of their mean at each position"}},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("demo.msm", msm(c.records));
        Args args = {"cal", "demo"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        // Into a pipe, without one of the new options, standard error stays
        // as it always was.
        const bool fit = !c.options.empty() && c.options[0] == "-fit";
        if (!fit) {
            const RunResult quiet = box.run(args);
            EXPECT_EQ(quiet.exit_code, 0) << c.what;
            EXPECT_EQ(quiet.err, "") << c.what;
            args.push_back("-warn");
        }
        const RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 0) << c.what;
        EXPECT_EQ(r.out, kProgress) << c.what;
        EXPECT_EQ(without_warnings(r.err), "") << c.what;
        for (const std::string& line : c.lines) {
            EXPECT_NE(r.err.find("Warning: " + line + "\n"), std::string::npos) << c.what << "\n"
                                                                                << r.err;
        }
        EXPECT_EQ(box.files().count("demo.c"), 1u) << c.what;
    }
}

// A person at a terminal sees the warnings without asking for them.
TEST(Cal, WarnsWhereAPersonReads) {
    if (!kCanAttach) GTEST_SKIP() << "no pseudo-terminals here";
    Sandbox box;
    box.write("demo.msm", msm({{"50.0", 100}, {"15.0", 600}, {"10.0", 500}}));
    const RunResult seen = box.run_attached(Attach::terminal, {"cal", "demo"}, {});
    EXPECT_NE(seen.out.find("Warning: the stretch reaches reading 600"), std::string::npos)
        << seen.out;
    const RunResult piped = box.run_attached(Attach::pipe, {"cal", "demo"}, {});
    EXPECT_EQ(piped.out, kProgress);
}

// -strict makes a warning an error: exit code 1, the warnings, then the
// error, and every earlier output as it was; without a warning it writes.
TEST(Cal, StrictRefusesATableWithWarnings) {
    const std::map<std::string, std::string> earlier = {{"demo.cal", "earlier cal\r\n"},
                                                        {"demo.c", "earlier c\r\n"},
                                                        {"demo.svg", "earlier svg\r\n"}};
    Sandbox box;
    box.write("demo.msm", msm({{"50.0", 100}, {"15.0", 600}, {"10.0", 500}}));
    for (const auto& [name, bytes] : earlier) box.write(name, bytes);
    const auto before = box.files();
    const RunResult r = box.run({"cal", "demo", "-strict", "-svg"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err.substr(0, 9), "Warning: ");
    EXPECT_EQ(without_warnings(r.err), "Error: 1 warning with -strict: no file was written\n");
    EXPECT_EQ(box.files(), before);

    const RunResult fine = box.run({"cal", "demo", "-strict", "-n", "301"});
    EXPECT_EQ(fine.exit_code, 0);
    EXPECT_EQ(fine.err, "");
    EXPECT_NE(box.files()["demo.c"], earlier.at("demo.c"));
}

// The comment line of the ".c" file holds the command line and must stay one
// line whatever the arguments hold, so that the file compiles: control
// characters become blanks, and a backslash (or the trigraph of two question marks and a slash)
// that would end the line gets a '.' after it. The file is compiled as firmware would include it,
// with a check that it has exactly `steps` entries.
TEST(Cal, FirmwareCommentStaysOneLine) {
    struct CommentCase {
        const char* what;
        std::string comment;  // the -c argument
        std::string line;     // the whole comment line expected
    };
    const std::string cut(241, 'a');
    const CommentCase cases[] = {
        {"line feed", "a\nint injected = 1;", "cal demo -n 20 -c a int injected = 1;  "},
        {"tab and carriage return", "a\tb\rc", "cal demo -n 20 -c a b c  "},
        {"Windows folder", "C:\\sensors\\", "cal demo -n 20 -c C:\\sensors\\.  "},
        {"trigraph", "x?\?/", "cal demo -n 20 -c x?\?/.  "},
        {"cut on a backslash", cut.substr(0, 232) + "\\" + std::string(20, 'b'),
         "cal demo -n 20 -c " + cut.substr(0, 232) + "\\. "},
        {"backslash inside", "a\\b", "cal demo -n 20 -c a\\b  "},
    };
    for (const CommentCase& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        box.write("demo.msm", msm(kExample));
        RunResult r = box.run({"cal", "demo", "-n", "20", "-c", c.comment});
        ASSERT_EQ(r.exit_code, 0);
        const std::string file = box.files()["demo.c"];
        EXPECT_EQ(file.substr(0, file.find("\r\n")), "// CallParams: " + c.line);
#ifndef _WIN32
        box.write("firmware.c",
                  "#include <stdint.h>\n"
                  "static const int16_t table[] =\n"
                  "#include \"demo.c\"\n"
                  "typedef char steps_check[sizeof table / sizeof table[0] == 20 ? 1 : -1];\n"
                  "int first(void) { return table[0]; }\n");
        const std::string compile = "cd '" + box.path().string() +
                                    "' && cc -std=c99 -Wall -Wextra -Werror -pedantic -trigraphs"
                                    " -c firmware.c -o firmware.o";
        EXPECT_EQ(std::system(compile.c_str()), 0);
#endif
    }
}

// The bundled example at the default step count, against the files that
// tests/golden/make_golden.py derives from the rules.
TEST(Example, CalibratesTheBundledSensorFile) {
    namespace fs = std::filesystem;
    const std::string file = read_file(fs::path(VEXTAL_EXAMPLES_DIR) / "sensor_10_80.msm");
    ASSERT_FALSE(file.empty());
    Sandbox box;
    box.write("sensor_10_80.msm", file);
    RunResult r = box.run({"cal", "sensor_10_80"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, "");
    const fs::path golden = VEXTAL_GOLDEN_DIR;
    EXPECT_EQ(box.files(), (std::map<std::string, std::string>{
                               {"sensor_10_80.msm", file},
                               {"sensor_10_80.cal", read_file(golden / "sensor_10_80.cal")},
                               {"sensor_10_80.c", read_file(golden / "sensor_10_80.c")}}));
}

}  // namespace
}  // namespace vextal::test
