// The `load` command end to end: the measurement file's rules, every message
// of the reader and of the plot file writer, and the plot file's bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/support/msm.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

// `text` padded with blanks to `width` characters.
std::string padded(const std::string& text, std::size_t width) {
    return text + std::string(width - text.size(), ' ');
}

TEST(Load, WritesThePlotFileOfAMeasurementFile) {
    Sandbox box;
    const std::string file =
        "<Vextal max_range='80' avg='10' sn='1234'>\n"
        "<measurement no='1' stage='10.0' psd='612'/>\n"
        "<measurement no='2' stage='12.5' psd='540'/>\n"
        "<measurement no='3' stage='15.0' psd='481'/>\n"
        "</Vextal>\n";
    box.write("data.msm", file);
    RunResult r = box.run({"load", "data", "-psdplot"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(box.files(),
              (Files{{"data.msm", file}, {"data.psd", "10.0\t612\r\n12.5\t540\r\n15.0\t481\r\n"}}));
}

struct BodyCase {
    const char* what;
    std::vector<std::string> lines;
    std::string plot;
};

// Which lines become records, and how their values are written. Every file is
// read once with LF and once with CR LF line ends, with the same outcome.
TEST(Load, TakesTheMeasurementLinesByTheirRules) {
    const std::string m1 = msm_line(1, "1", "10");
    const std::string p1 = "1.0\t10\r\n";
    const std::string long_header = padded("<Vextal>", 249);
    const std::string dbl_max = "17976931348623157" + std::string(292, '0') + ".0";
    const BodyCase cases[] = {
        {"only the header", {"<Vextal>"}, ""},
        {"header and end tag", {"<Vextal>", "</Vextal>"}, ""},
        {"no end tag", {"<Vextal>", m1, msm_line(2, "2", "20")}, p1 + "2.0\t20\r\n"},
        {"end tag ends the data",
         {"<Vextal>", m1, "</Vextal>", msm_line(2, "2", "2"), "garbage<measurement"},
         p1},
        {"measurement beside the end tag",
         {"<Vextal>", m1, msm_line(2, "2", "20") + "</Vextal>"},
         p1},
        {"end tag inside other text", {"<Vextal>", m1, "x</Vextal  "}, p1},
        {"ignored lines do not count",
         {"<Vextal>", "", "<!-- run 1 -->", m1, "  ", "<note/>", msm_line(2, "2", "20"),
          "<measure/>"},
         p1 + "2.0\t20\r\n"},
        {"two elements on one line: the first values",
         {"<Vextal>", m1 + msm_line(2, "5", "50"), msm_line(2, "2", "20")},
         p1 + "2.0\t20\r\n"},
        {"measurement on line 1 is no record", {"<Vextal>" + msm_line(1, "9", "9"), m1}, p1},
        {"any order, other attributes, either quote, blanks",
         {"<Vextal>", "<measurement psd = \"10\" t='x' stage=\"1\"   no='1'>"},
         p1},
        {"closing quote and element end are not needed",
         {"<Vextal>", "<measurement no='1 stage='1 psd='10"},
         p1},
        {"other text around the header", {"  <?x?> <Vextal sn='1'>", m1}, p1},
        {"fixed-point rounding of the stage",
         {"<Vextal>", msm_line(1, "12.25", "1"), msm_line(2, "12.75", "2"), msm_line(3, "7", "3"),
          msm_line(4, "0.35", "4"), msm_line(5, "-1.25", "5"), msm_line(6, "-0.04", "6"),
          msm_line(7, "+1.5e1", "7"), msm_line(8, "2.5d1", "8")},
         "12.3\t1\r\n12.8\t2\r\n7.0\t3\r\n0.3\t4\r\n-1.3\t5\r\n-0.0\t6\r\n15.0\t7\r\n25.0\t8\r\n"},
        {"odd values in the written form read as anywhere else",
         {"<Vextal>", msm_line(1, "1.2.3", "007"), msm_line(2, "--5", "2x"), msm_line(3, ".", "-0"),
          msm_line(4, "-.5", "2147483648")},
         "1.2\t7\r\n0.0\t2\r\n0.0\t0\r\n-0.5\t2147483647\r\n"},
        {"values that are no numbers store 0",
         {"<Vextal>", msm_line(1, "abc", ""), msm_line(2, "1,5", "12.7"),
          msm_line(3, "0x10", " -5x")},
         "0.0\t0\r\n1.0\t12\r\n0.0\t-5\r\n"},
        {"numbers beyond their range saturate",
         {"<Vextal>", msm_line(1, "1e400", "99999999999"), msm_line(2, "-1e-400", "-99999999999")},
         dbl_max + "\t2147483647\r\n-0.0\t-2147483648\r\n"},
        // 249-character pieces: each piece is a line of its own.
        {"a measurement line of exactly 249 characters",
         {"<Vextal>", padded(m1, 249), msm_line(2, "2", "20")},
         p1 + "2.0\t20\r\n"},
        {"a value cut at the 249th character",
         {"<Vextal>", padded("<measurement no='1' stage='1'", 242) + "psd='1234'/>"},
         "1.0\t12\r\n"},
        {"the second piece of a long line is a line of its own",
         {"<Vextal>", padded(m1, 249) + msm_line(2, "2", "20")},
         p1 + "2.0\t20\r\n"},
        {"the second piece of line 1 is a body line", {long_header + m1}, p1},
        {"the root tag ending at the 249th character", {std::string(242, ' ') + "<Vextal", m1}, p1},
    };
    for (const auto& c : cases) {
        for (const char* eol : {"\n", "\r\n"}) {
            const std::string file = msm_file(c.lines, eol);
            Sandbox box;
            box.write("data.msm", file);
            RunResult r = box.run({"load", "data", "-psdplot"});
            const std::string shown = std::string(c.what) + (eol[1] ? " (CR LF)" : " (LF)");
            EXPECT_EQ(r.exit_code, 0) << shown;
            EXPECT_EQ(r.out, kProgress) << shown;
            EXPECT_EQ(r.err, "") << shown;
            EXPECT_EQ(box.files(), (Files{{"data.msm", file}, {"data.psd", c.plot}})) << shown;
        }
    }
}

struct FailureCase {
    const char* what;
    std::string file;
    std::string message;  // what follows "Error: "
};

// A file the reader refuses: the loading line, the message, exit code 2, and
// no plot file.
TEST(Load, RefusedFilesEndWithTheirMessage) {
    const std::string not_vextal = "File does not start with <Vextal ...>\n";
    const std::string incomplete = "Measurement line not complete.\n";
    const std::string missing = "Measurement missing.\n";
    const std::string m1 = msm_line(1, "1", "10");
    const FailureCase cases[] = {
        {"empty file", "", not_vextal},
        {"XML declaration first", msm_file({"<?xml version='1.0'?>", "<Vextal>", m1}), not_vextal},
        {"empty line 1", msm_file({"", "<Vextal>"}), not_vextal},
        {"lower-case root tag", msm_file({"<vextal>", m1}), not_vextal},
        {"root tag beyond the 249th character", msm_file({std::string(249, ' ') + "<Vextal>"}),
         not_vextal},
        {"root tag across the 249th character", msm_file({std::string(243, ' ') + "<Vextal>"}),
         not_vextal},
        {"no psd", msm_file({"<Vextal>", "<measurement no='1' stage='1'/>"}), incomplete},
        {"no stage", msm_file({"<Vextal>", "<measurement no='1' psd='1'/>"}), incomplete},
        {"no no", msm_file({"<Vextal>", "<measurement stage='1' psd='1'/>"}), incomplete},
        {"unquoted no", msm_file({"<Vextal>", "<measurement no=1 stage='1' psd='1'/>"}),
         incomplete},
        {"tab before the equals sign",
         msm_file({"<Vextal>", "<measurement no\t='1' stage='1' psd='1'/>"}), incomplete},
        {"a measurements element", msm_file({"<Vextal>", "<measurements>", m1}), incomplete},
        {"attribute beyond the 249th character",
         msm_file({"<Vextal>", padded("<measurement no='1' stage='1'", 249) + " psd='1'/>"}),
         incomplete},
        {"incomplete after good lines", msm_file({"<Vextal>", m1, "<measurement no='2'/>"}),
         incomplete},
        {"incomplete comes before misnumbered",
         msm_file({"<Vextal>", "<measurement no='5' stage='1'/>"}), incomplete},
        {"first numbered 0", msm_file({"<Vextal>", msm_line(0, "1", "1")}), missing},
        {"second numbered 3", msm_file({"<Vextal>", m1, msm_line(3, "1", "1")}), missing},
        {"number repeated", msm_file({"<Vextal>", m1, m1}), missing},
        {"ignored lines leave no gap", msm_file({"<Vextal>", "<!-- 2 -->", msm_line(2, "1", "1")}),
         missing},
        {"number beyond the int range",
         msm_file({"<Vextal>", msm_line(1, "1", "1").replace(17, 1, "4294967297")}), missing},
        {"number with decimals",
         msm_file({"<Vextal>", "<measurement no='1.9' stage='1' psd='1'/>",
                   "<measurement no='2.0' stage='1' psd='1'/>",
                   "<measurement no='2' stage='1' psd='1'/>"}),
         missing},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("data.msm", c.file);
        RunResult r = box.run({"load", "data", "-psdplot"});
        EXPECT_EQ(r.exit_code, 2) << c.what;
        EXPECT_FALSE(r.crashed) << c.what;
        EXPECT_EQ(r.out, kLoading) << c.what;
        EXPECT_EQ(r.err, "Error: " + c.message + "\n") << c.what;
        EXPECT_EQ(box.files(), (Files{{"data.msm", c.file}})) << c.what;
    }
}

struct NameCase {
    Args args;
    std::string input;  // the file that exists
    std::string plot;   // the plot file expected
};

// Where file names ignore case (Windows), so does the test for ".msm".
#ifdef _WIN32
const std::string kUpperInput = "data.MSM";
#else
const std::string kUpperInput = "data.MSM.msm";
#endif

// ".msm" is appended unless the name holds it anywhere; the plot file is the
// prefix, by default the name as typed, and ".psd".
TEST(Load, FindsTheInputAndNamesThePlotFile) {
    const NameCase cases[] = {
        {{"load", "data", "-psdplot"}, "data.msm", "data.psd"},
        {{"load", "data.msm", "-psdplot"}, "data.msm", "data.msm.psd"},
        {{"load", "x.msm.old", "-psdplot"}, "x.msm.old", "x.msm.old.psd"},
        {{"load", ".msmdata", "-psdplot"}, ".msmdata", ".msmdata.psd"},
        {{"load", "data.MSM", "-psdplot"}, kUpperInput, "data.MSM.psd"},
        {{"load", "sub/data", "-psdplot"}, "sub/data.msm", "sub/data.psd"},
        {{"load", "data", "-psdplot", "-f", "plot"}, "data.msm", "plot.psd"},
        {{"load", "data", "-f", "plot.psd", "-psdplot"}, "data.msm", "plot.psd.psd"},
    };
    const std::string file = msm_file({"<Vextal>", msm_line(1, "3", "4")});
    for (const auto& c : cases) {
        Sandbox box;
        box.write(c.input, file);
        RunResult r = box.run(c.args);
        EXPECT_EQ(r.exit_code, 0) << c.input;
        EXPECT_EQ(r.out, kProgress) << c.input;
        EXPECT_EQ(r.err, "") << c.input;
        EXPECT_EQ(box.files(), (Files{{c.input, file}, {c.plot, "3.0\t4\r\n"}})) << c.input;
    }
}

TEST(Load, WithoutPsdplotWritesNoFile) {
    Sandbox box;
    const std::string file = msm_file({"<Vextal>", msm_line(1, "3", "4")});
    box.write("data.msm", file);
    RunResult r = box.run({"load", "data", "-f", "plot"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(box.files(), (Files{{"data.msm", file}}));
}

struct OpenCase {
    std::string arg;
    std::string existing;  // a file of another name, or "" for none
    std::string folder;    // a folder in the place of the input, or ""
    std::string tried;
    std::string reason;  // the system's, after the name on the error's second line
};

constexpr char kNoSuchFile[] = "No such file or directory";

// The name as tried goes to standard output before the error, and with the
// reason after it.
TEST(Load, AnInputThatCannotBeOpenedIsNamed) {
    const OpenCase cases[] = {
        {"data", "", "", "data.msm", kNoSuchFile},
        {"data", "data", "", "data.msm", kNoSuchFile},
#ifndef _WIN32
        {"data.MSM", "data.MSM", "", "data.MSM.msm", kNoSuchFile},
#endif
        {"data.msm", "", "data.msm", "data.msm", "Is a directory"},
        {"a%sb", "", "", "a%sb.msm", kNoSuchFile},
    };
    for (const auto& c : cases) {
        Sandbox box;
        if (!c.existing.empty()) box.write(c.existing, msm_file({"<Vextal>"}));
        if (!c.folder.empty()) fs::create_directory(box.path() / c.folder);
        RunResult r = box.run({"load", c.arg, "-psdplot"});
        EXPECT_EQ(r.exit_code, 2) << c.arg;
        EXPECT_EQ(r.out, kLoading + c.tried + "\n") << c.arg;
        EXPECT_EQ(r.err, "Error: Eingabedatei konnte nicht geoeffnet werden.\n\n" + c.tried + ": " +
                             c.reason + "\n")
            << c.arg;
        Files left;
        if (!c.existing.empty()) left[c.existing] = msm_file({"<Vextal>"});
        EXPECT_EQ(box.files(), left) << c.arg;
    }
}

// The table holds 1000 records: a 1001st measurement line is refused, also
// when it would fail another test.
TEST(Load, TakesAtMost1000Measurements) {
    std::vector<std::string> lines{"<Vextal>"};
    std::string plot;
    for (int i = 1; i <= 1000; ++i) {
        lines.push_back(msm_line(i, std::to_string(i), std::to_string(2000 - i)));
        plot += std::to_string(i) + ".0\t" + std::to_string(2000 - i) + "\r\n";
    }
    // Long enough to be read in several pieces: lines run across their ends.
    for (const char* eol : {"\n", "\r\n"}) {
        Sandbox box;
        const std::string file = msm_file(lines, eol);
        box.write("data.msm", file);
        RunResult r = box.run({"load", "data", "-psdplot"});
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, kProgress);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(box.files(), (Files{{"data.msm", file}, {"data.psd", plot}}));
    }
    for (const std::string& extra : {msm_line(1001, "1", "1"), std::string("<measurement/>")}) {
        Sandbox box;
        const std::string file = msm_file(lines) + extra + "\n";
        box.write("data.msm", file);
        RunResult r = box.run({"load", "data", "-psdplot"});
        EXPECT_EQ(r.exit_code, 2) << extra;
        EXPECT_EQ(r.out, kLoading) << extra;
        EXPECT_EQ(r.err, "Error: Zu viele Messwerte (maximal 1000).\n\n") << extra;
        EXPECT_EQ(box.files(), (Files{{"data.msm", file}})) << extra;
    }
}

// Names are bounded by the platform's path length (4095 characters), not by
// a short fixed buffer.
TEST(Load, LongNamesWorkUpToThePathLimit) {
    // Well beyond 75 characters for the prefix, in folders of ordinary
    // length; beyond 249 for the input where the platform allows paths that
    // long (Windows stops at 260 characters for the whole path).
    const bool windows = std::string(kConsoleLineEnd) == "\r\n";
    std::string folder;
    for (int i = 0; i < (windows ? 12 : 30); ++i)
        folder += "folder" + std::to_string(i % 10) + "x/";
    const std::string input = folder + "data";  // 278 characters with ".msm" (116 on Windows)
    const std::string prefix = folder + "plot";
    const std::string file = msm_file({"<Vextal>", msm_line(1, "3", "4")});
    Sandbox box;
    box.write(input + ".msm", file);
    RunResult r = box.run({"load", input, "-psdplot", "-f", prefix});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(box.files(), (Files{{input + ".msm", file}, {prefix + ".psd", "3.0\t4\r\n"}}));
}

struct LongCase {
    Args args;
    std::string out;
    std::string message;
    std::string file;  // named with its reason on the second line, or ""
};

TEST(Load, NamesBeyondThePathLimitAreRefused) {
    const std::string name_4091(4091, 'n');  // 4095 with ".msm": may be tried
    const std::string name_4092(4092, 'n');  // 4096 with ".msm": too long
    const std::string has_msm_4095 = ".msm" + std::string(4091, 'n');
    const std::string has_msm_4096 = ".msm" + std::string(4092, 'n');
    const std::string too_long = "Dateiname zu lang.\n";
    // A single name part of that length cannot be opened on any platform.
    const std::string no_input = "Eingabedatei konnte nicht geoeffnet werden.\n";
    const std::string no_plot = "PlotFile kann nicht geoeffnet werden.\n";
    const LongCase cases[] = {
        {{"load", name_4091}, kLoading + name_4091 + ".msm\n", no_input, name_4091 + ".msm"},
        {{"load", name_4092}, kLoading, too_long, ""},
        {{"load", has_msm_4095}, kLoading + has_msm_4095 + "\n", no_input, has_msm_4095},
        {{"load", has_msm_4096}, kLoading, too_long, ""},
        {{"load", "data", "-psdplot", "-f", name_4091}, kProgress, no_plot, name_4091 + ".psd"},
        {{"load", "data", "-psdplot", "-f", name_4092}, kProgress, too_long, ""},
    };
    const std::string file = msm_file({"<Vextal>", msm_line(1, "3", "4")});
    for (const auto& c : cases) {
        Sandbox box;
        box.write("data.msm", file);
        RunResult r = box.run(c.args);
        const std::string shown =
            std::to_string(c.args[1].size()) + " " + c.args.back().substr(0, 8);
        EXPECT_EQ(r.exit_code, 2) << shown;
        EXPECT_FALSE(r.crashed) << shown;
        EXPECT_EQ(r.out, c.out) << shown;
        const std::string detail = c.file.empty() ? "" : c.file + ": File name too long\n";
        EXPECT_EQ(r.err, "Error: " + c.message + "\n" + detail) << shown;
        EXPECT_EQ(box.files(), (Files{{"data.msm", file}})) << shown;
    }
}

TEST(PlotFile, ReplacesAnEarlierPlotFile) {
    Sandbox box;
    const std::string file = msm_file({"<Vextal>", msm_line(1, "3", "4")});
    box.write("data.msm", file);
    box.write("data.psd", "an older and longer plot\r\n1.0\t1\r\n");
    RunResult r = box.run({"load", "data", "-psdplot"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(box.files(), (Files{{"data.msm", file}, {"data.psd", "3.0\t4\r\n"}}));
}

// A plot file that cannot be created: the data was read, nothing is written.
TEST(PlotFile, ATargetThatCannotBeOpenedIsRefused) {
    const std::pair<std::string, std::string> cases[] = {{"folder", "Is a directory"},
                                                         {"missing/plot", kNoSuchFile}};
    for (const auto& [prefix, reason] : cases) {
        Sandbox box;
        const std::string file = msm_file({"<Vextal>", msm_line(1, "3", "4")});
        box.write("data.msm", file);
        fs::create_directory(box.path() / "folder.psd");
        RunResult r = box.run({"load", "data", "-psdplot", "-f", prefix});
        EXPECT_EQ(r.exit_code, 2) << prefix;
        EXPECT_EQ(r.out, kProgress) << prefix;
        EXPECT_EQ(r.err, "Error: PlotFile kann nicht geoeffnet werden.\n\n" + prefix +
                             ".psd: " + reason + "\n")
            << prefix;
        EXPECT_EQ(box.files(), (Files{{"data.msm", file}})) << prefix;
        EXPECT_TRUE(fs::is_directory(box.path() / "folder.psd")) << prefix;
    }
}

// A write that fails as on a full disk leaves the earlier plot file as it
// was and no temporary file.
TEST(PlotFile, AFailedWriteKeepsTheEarlierPlotFile) {
    if (!kCanLimitFileSize) GTEST_SKIP() << "no file size limit on this platform";
    std::vector<std::string> lines{"<Vextal>"};
    for (int i = 1; i <= 50; ++i) lines.push_back(msm_line(i, std::to_string(i), "100"));
    const std::string file = msm_file(lines);  // a plot of about 450 bytes
    Sandbox box;
    box.write("data.msm", file);
    box.write("data.psd", "old\r\n");
    RunResult r = box.run({"load", "data", "-psdplot"}, {file_size_limit(200)});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err,
              "Error: PlotFile konnte nicht geschrieben werden.\n\ndata.psd: File too large\n");
    EXPECT_EQ(box.files(), (Files{{"data.msm", file}, {"data.psd", "old\r\n"}}));
}

// The bundled example: 80 cm down to 1 cm in 0.5 cm steps, readings of an
// 8-bit converter at 5 V, round(V / 5 * 255).
TEST(Example, LoadsAndPlotsTheBundledSensorFile) {
    const std::string file = read_file(fs::path(VEXTAL_EXAMPLES_DIR) / "sensor_10_80.msm");
    ASSERT_FALSE(file.empty());
    Sandbox box;
    box.write("sensor_10_80.msm", file);
    RunResult r = box.run({"load", "sensor_10_80", "-psdplot"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kProgress);
    EXPECT_EQ(r.err, "");
    const std::string plot = box.files()["sensor_10_80.psd"];
    std::vector<std::string> rows;
    for (std::size_t at = 0, end; (end = plot.find("\r\n", at)) != std::string::npos;
         at = end + 2) {
        rows.push_back(plot.substr(at, end - at));
    }
    ASSERT_EQ(rows.size(), 159u);
    // Points of the curve itself, where no interpolation is involved:
    // 0.40 V -> 20.4, 2.30 V -> 117.3, 3.10 V -> 158.1, 0.90 V -> 45.9.
    EXPECT_EQ(rows[0], "80.0\t20");
    EXPECT_EQ(rows[140], "10.0\t117");
    EXPECT_EQ(rows[148], "6.0\t158");
    EXPECT_EQ(rows[158], "1.0\t46");
    // Halfway between 45 cm (0.66 V) and 40 cm (0.75 V): 0.705 V -> 35.955.
    EXPECT_EQ(rows[75], "42.5\t36");
    // Every line as tests/golden/make_golden.py derives it from the rules.
    EXPECT_EQ(plot, read_file(fs::path(VEXTAL_GOLDEN_DIR) / "sensor_10_80.psd"));
}

}  // namespace
}  // namespace vextal::test
