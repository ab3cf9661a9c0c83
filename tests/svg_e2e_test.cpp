// The picture (-svg) end to end: the bundled example's picture byte for byte,
// runs with the picture that are otherwise those without it, well-formed
// pure-ASCII XML whatever the names hold, and a picture that a real SVG
// renderer draws.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

const std::string kExample = read_file(fs::path(VEXTAL_EXAMPLES_DIR) / "sensor_10_80.msm");
const std::string kFalling = read_file(fs::path(VEXTAL_TEST_DATA_DIR) / "falling.msm");
const std::string kTwoRecords = read_file(fs::path(VEXTAL_TEST_DATA_DIR) / "two_records.msm");

// The program of that name on the search path; empty if there is none.
fs::path find_tool(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
#ifdef _WIN32
    const char separator = ';';
#else
    const char separator = ':';
#endif
    std::string all = path;
    for (std::size_t start = 0; start <= all.size();) {
        std::size_t end = all.find(separator, start);
        if (end == std::string::npos) end = all.size();
        fs::path candidate = fs::path(all.substr(start, end - start)) / name;
        std::error_code ec;
        if (end > start && fs::is_regular_file(candidate, ec)) return candidate;
        start = end + 1;
    }
    return {};
}

// Every byte printable ASCII, or the CR LF that ends each line.
bool pure_ascii(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const bool line_end = (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ||
                              (c == '\n' && i > 0 && bytes[i - 1] == '\r');
        if (!line_end && (c < 0x20 || c > 0x7E)) return false;
    }
    return true;
}

TEST(Picture, TheExampleCalibrationPicture) {
    const std::string golden = read_file(fs::path(VEXTAL_GOLDEN_DIR) / "sensor_10_80.svg");
    ASSERT_FALSE(golden.empty());
    Sandbox box;
    box.write("sensor_10_80.msm", kExample);
    RunResult r = box.run({"cal", "sensor_10_80", "-svg"});
    EXPECT_EQ(r.exit_code, 0);
    Files files = box.files();
    EXPECT_EQ(files["sensor_10_80.svg"], golden);
    // The README shows the same picture.
    EXPECT_EQ(read_file(fs::path(VEXTAL_DOCS_DIR) / "sensor_10_80.svg"), golden);
    EXPECT_TRUE(pure_ascii(golden));
}

struct SameCase {
    const char* what;
    Files inputs;
    Args args;
    std::string picture;  // the picture's name; empty when none is written
};

// With -svg everything but the picture is what the same run without it
// leaves: console, exit code and every other file, the .c file's command
// line included.
TEST(Picture, RunsWithThePictureAreOtherwiseUnchanged) {
    const Files example{{"sensor_10_80.msm", kExample}};
    const Files earlier{{"falling.msm", kFalling},
                        {"falling.cal", "earlier cal\r\n"},
                        {"falling.c", "earlier c\r\n"}};
    const SameCase cases[] = {
        {"cal", example, {"cal", "sensor_10_80"}, "sensor_10_80.svg"},
        {"cal with -f and -n",
         example,
         {"cal", "sensor_10_80", "-n", "1000", "-f", "out"},
         "out.svg"},
        {"load with the plot file",
         example,
         {"load", "sensor_10_80", "-psdplot"},
         "sensor_10_80.svg"},
        {"load alone", example, {"load", "sensor_10_80.msm"}, "sensor_10_80.msm.svg"},
        // A failed calibration still gets its picture; earlier outputs stay.
        {"range too small", earlier, {"cal", "falling"}, "falling.svg"},
        {"two records",
         {{"two_records.msm", kTwoRecords}},
         {"cal", "two_records"},
         "two_records.svg"},
        // Failures before the outputs: no picture.
        {"missing input", example, {"cal", "absent"}, ""},
        {"steps out of range", example, {"cal", "sensor_10_80", "-n", "2"}, ""},
    };
    for (const auto& c : cases) {
        Sandbox plain;
        Sandbox pictured;
        for (const auto& [name, bytes] : c.inputs) {
            plain.write(name, bytes);
            pictured.write(name, bytes);
        }
        Args with = c.args;
        with.push_back("-svg");
        const RunResult a = plain.run(c.args);
        const RunResult b = pictured.run(with);
        EXPECT_EQ(b.exit_code, a.exit_code) << c.what;
        EXPECT_EQ(b.out, a.out) << c.what;
        EXPECT_EQ(b.err, a.err) << c.what;
        Files files = pictured.files();
        if (!c.picture.empty()) {
            EXPECT_NE(files[c.picture].find("</svg>"), std::string::npos) << c.what;
            files.erase(c.picture);
        }
        EXPECT_EQ(files, plain.files()) << c.what;
    }
}

// Names and comments holding markup characters, a CDATA end, Latin-1 bytes
// and control characters give a well-formed, pure-ASCII picture.
TEST(Picture, WellFormedWhateverTheNamesHold) {
    const fs::path xmllint = find_tool("xmllint");
    if (xmllint.empty()) GTEST_SKIP() << "xmllint not found (Debian: libxml2-utils)";
    const std::string hostile = "a<&>\"' ]]> \xE4\xF6\xFF\x01\x1B\x7F\x85 z";
    const struct {
        const char* what;
        Files inputs;
        Args args;
        std::string picture;
    } cases[] = {
        {"the example",
         {{"sensor_10_80.msm", kExample}},
         {"cal", "sensor_10_80", "-svg"},
         "sensor_10_80.svg"},
        {"range too small", {{"falling.msm", kFalling}}, {"cal", "falling", "-svg"}, "falling.svg"},
        {"no record", {{"empty.msm", "<Vextal>\n"}}, {"load", "empty", "-svg"}, "empty.svg"},
#ifndef _WIN32
        {"hostile input name",
         {{hostile + ".msm", kExample}},
         {"cal", hostile, "-svg", "-f", "p"},
         "p.svg"},
#endif
        {"hostile comment",
         {{"sensor_10_80.msm", kExample}},
         {"cal", "sensor_10_80", "-svg", "-c", hostile},
         "sensor_10_80.svg"},
        {"1000 measurements",
         {{"big.msm",
           [] {
               std::string t = "<Vextal sn='1'>\n";
               for (int i = 1; i <= 1000; ++i) {
                   t += "<measurement no='" + std::to_string(i) + "' stage='" +
                        std::to_string(1000 - i) + ".5' psd='" + std::to_string(i % 509) + "'/>\n";
               }
               return t;
           }()}},
         {"cal", "big", "-n", "1000", "-svg"},
         "big.svg"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        for (const auto& [name, bytes] : c.inputs) box.write(name, bytes);
        RunResult r = box.run(c.args);
        EXPECT_FALSE(r.crashed) << c.what;
        const std::string svg = read_file(box.path() / c.picture);
        ASSERT_FALSE(svg.empty()) << c.what;
        EXPECT_LT(svg.size(), 400u * 1024u) << c.what;
        EXPECT_TRUE(pure_ascii(svg)) << c.what;
        RunResult lint = box.run(Program{{xmllint.string()}, "\n"}, {"--noout", c.picture});
        EXPECT_EQ(lint.exit_code, 0) << c.what << "\n" << lint.err;
        EXPECT_EQ(lint.err, "") << c.what;
    }
}

// A real SVG renderer draws the example's picture: a PNG of the picture's
// size that is far from the blank page of that size.
TEST(Picture, ARendererDrawsIt) {
    const fs::path rsvg = find_tool("rsvg-convert");
    if (rsvg.empty()) GTEST_SKIP() << "rsvg-convert not found (Debian: librsvg2-bin)";
    Sandbox box;
    box.write("sensor_10_80.msm", kExample);
    ASSERT_EQ(box.run({"cal", "sensor_10_80", "-svg"}).exit_code, 0);
    box.write("blank.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1000\" height=\"1786\">"
              "<rect width=\"1000\" height=\"1786\" fill=\"#FFFFFF\"/></svg>\n");
    const Program renderer{{rsvg.string()}, "\n"};
    for (const char* name : {"sensor_10_80", "blank"}) {
        RunResult r =
            box.run(renderer, {std::string(name) + ".svg", "-o", std::string(name) + ".png"});
        ASSERT_EQ(r.exit_code, 0) << name << "\n" << r.err;
    }
    const std::string png = read_file(box.path() / "sensor_10_80.png");
    const std::string blank = read_file(box.path() / "blank.png");
    ASSERT_GT(png.size(), 24u);
    // The IHDR chunk: width and height, big-endian, from byte 16.
    auto be32 = [&](std::size_t at) {
        unsigned long v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
        return v;
    };
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(be32(16), 1000u);
    EXPECT_EQ(be32(20), 1786u);
    // A blank page compresses to almost nothing; curves, text and markers do not.
    EXPECT_GT(png.size(), 10 * blank.size());
}

}  // namespace
}  // namespace vextal::test
