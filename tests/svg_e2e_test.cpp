// The picture (-svg) end to end: the bundled example's picture byte for byte,
// runs with the picture that are otherwise those without it, well-formed
// pure-ASCII XML whatever the names hold, and a picture that a real SVG
// renderer draws.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "picture/svg_writer.h"
#include "tests/harness.h"
#include "tests/support/msm.h"

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

// A file whose name is given as UTF-8 bytes, on every platform.
void put_utf8_named(const Sandbox& box, const std::string& name, const std::string& bytes) {
    std::ofstream(box.path() / fs::path(std::u8string(name.begin(), name.end())), std::ios::binary)
        << bytes;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// A name and a comment in UTF-8 appear as the characters they stand for,
// bytes that are not UTF-8 as Latin-1 characters, and the picture is
// otherwise that of a plain name: the same bytes on every platform.
TEST(Picture, NamesAndCommentsAsTheirCharacters) {
    const struct {
        const char* what;
        std::string name;
        std::string comment;
        std::string shown_name;
        std::string shown_comment;
    } cases[] = {
        {"UTF-8",
         "Pr\xC3\xBC"
         "fstand_\xC2\xB5",
         "Pr\xC3\xBC"
         "fling Nr. 3, \xC3\x98 12 mm, 23 \xC2\xB0"
         "C",
         "Pr&#252;fstand_&#181;", "Pr&#252;fling Nr. 3, &#216; 12 mm, 23 &#176;C"},
        {"beyond Latin-1",
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA",
         "\xE2\x82\xAC 12", "&#321;&#243;d&#378;", "&#8364; 12"},
#ifndef _WIN32
        // A name of an older Latin-1 system.
        {"not UTF-8", "M\xFCller", "\xD8 12", "M&#252;ller", "&#216; 12"},
#endif
    };
    Sandbox plain;
    plain.write("sensor.msm", kExample);
    ASSERT_EQ(plain.run({"cal", "sensor", "-c", "plain", "-svg", "-f", "p"}).exit_code, 0);
    const std::string reference = read_file(plain.path() / "p.svg");
    for (const auto& c : cases) {
        Sandbox box;
        put_utf8_named(box, c.name + ".msm", kExample);
        RunResult r = box.run({"cal", c.name, "-c", c.comment, "-svg", "-f", "p"});
        EXPECT_EQ(r.exit_code, 0) << c.what << r.err;
        std::string expected =
            replaced(reference, ">sensor - calibration<", ">" + c.shown_name + " - calibration<");
        expected = replaced(expected, ">Comment: plain<", ">Comment: " + c.shown_comment + "<");
        EXPECT_EQ(read_file(box.path() / "p.svg"), expected) << c.what;
    }
}

// ---- reading a picture back ----

struct TextElement {
    double x = 0;
    double y = 0;
    int size = 0;
    std::string anchor;
    bool rotated = false;
    std::size_t characters = 0;  // a reference counts as one
    std::string text;
};

double attribute(const std::string& element, const std::string& name) {
    const std::size_t at = element.find(" " + name + "=\"");
    return at == std::string::npos ? 0.0 : std::stod(element.substr(at + name.size() + 3, 24));
}

std::string text_attribute(const std::string& element, const std::string& name) {
    const std::size_t at = element.find(" " + name + "=\"");
    if (at == std::string::npos) return "";
    const std::size_t from = at + name.size() + 3;
    return element.substr(from, element.find('"', from) - from);
}

std::vector<TextElement> text_elements(const std::string& svg) {
    std::vector<TextElement> out;
    for (std::size_t at = 0; (at = svg.find("<text", at)) != std::string::npos; ++at) {
        const std::size_t open_end = svg.find('>', at);
        const std::size_t close = svg.find("</text>", open_end);
        const std::string attrs = svg.substr(at, open_end - at);
        TextElement t;
        t.x = attribute(attrs, "x");
        t.y = attribute(attrs, "y");
        t.size = static_cast<int>(attribute(attrs, "font-size"));
        t.anchor = text_attribute(attrs, "text-anchor");
        t.rotated = attrs.find("rotate(") != std::string::npos;
        t.text = svg.substr(open_end + 1, close - open_end - 1);
        for (std::size_t i = 0; i < t.text.size(); ++i) {
            if (t.text[i] == '&') i = t.text.find(';', i);
            ++t.characters;
        }
        out.push_back(t);
    }
    return out;
}

// Every coordinate that an element is placed at: the attributes x and y,
// the points of polylines and the absolute moves of paths.
std::vector<std::pair<double, double>> placed_points(const std::string& svg) {
    std::vector<std::pair<double, double>> out;
    for (std::size_t at = 0; (at = svg.find(" x=\"", at)) != std::string::npos; ++at) {
        const std::string rest = svg.substr(at, 64);
        out.emplace_back(attribute(rest, "x"), attribute(rest, "y"));
    }
    for (const char* list : {" points=\"", " d=\""}) {
        for (std::size_t at = 0; (at = svg.find(list, at)) != std::string::npos; ++at) {
            const std::size_t from = at + std::strlen(list);
            const std::string values = svg.substr(from, svg.find('"', from) - from);
            const bool points = list[1] == 'p';
            for (std::size_t i = 0; i < values.size(); ++i) {
                // "x,y" pairs, or "Mx y" moves.
                const bool start = points
                                       ? (i == 0 || values[i - 1] == ' ' || values[i - 1] == '\n')
                                       : values[i] == 'M';
                if (!start) continue;
                const char* p = values.c_str() + i + (points ? 0 : 1);
                char* end = nullptr;
                const double x = std::strtod(p, &end);
                const double y = std::strtod(end + 1, nullptr);
                out.emplace_back(x, y);
            }
        }
    }
    return out;
}

// Pictures of runs far from the usual: tick labels of at most ten
// characters that differ from their neighbours, every value in the title
// apart from its neighbour, and everything placed on the canvas, text
// included (judged at 0.55 of the font size per character, about the
// average of a sans-serif font).
TEST(Picture, ExtremeRunsStayReadable) {
    auto run_of = [](auto stage, auto psd, int count) {
        std::string t = "<Vextal max_range='1e300'>\n";
        for (int i = 0; i < count; ++i) {
            t += "<measurement no='" + std::to_string(i + 1) + "' stage='" + stage(i) + "' psd='" +
                 std::to_string(psd(i)) + "'/>\n";
        }
        return t;
    };
    auto rising = [](int i) { return 20 + 5 * i; };
    const std::string long_folder = std::string(70, 'f') + "/" + std::string(50, 'g');
    const struct {
        const char* what;
        std::string input;
        Args args;
        std::string title_values;  // a part of the stretch line, where checked
    } cases[] = {
        {"positions near 1e300",
         run_of([](int i) { return std::to_string(80 - i) + "e299"; }, rising, 40),
         {"cal", "run", "-svg"},
         "stage 8e300 to 4.1e300"},
        {"positions near 1e-300",
         run_of([](int i) { return std::to_string(80 - i) + "e-301"; }, rising, 40),
         {"cal", "run", "-svg"},
         "stage 8e-300 to 4.1e-300"},
        {"positions 0.00006 to 0.0008",
         run_of(
             [](int i) {
                 return i == 0 ? std::string("0.0008") : "0.0000" + std::to_string(90 - i);
             },
             rising, 31),
         {"cal", "run", "-svg"},
         "stage 0.0008 to 0.0001"},
        {"readings of +-1e9",
         run_of([](int i) { return std::to_string(80 - i); },
                [](int i) { return -1000000000 + 50000000 * i; }, 40),
         {"cal", "run", "-svg"},
         ""},
        {"a span tiny against its values",
         run_of([](int i) { return "1000000000000" + std::to_string(10000000 + 2500 * i); }, rising,
                40),
         {"cal", "run", "-svg"},
         ""},
        {"1000 records, 1000 steps",
         run_of([](int i) { return std::to_string(1000 - i) + ".5"; },
                [](int i) { return i % 509; }, 1000),
         {"cal", "run", "-n", "1000", "-svg"},
         ""},
        {"a long path",
         run_of([](int i) { return std::to_string(80 - i); }, rising, 40),
         {"cal", long_folder + "/run", "-svg", "-f", "run"},
         ""},
        {"check",
         run_of([](int i) { return std::to_string(80 - i) + "e299"; }, rising, 40),
         {"check", "run", "-tol", "1e299", "-svg", "-f", "run"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        const bool nested = c.args[1] != "run";
        box.write(nested ? long_folder + "/run.msm" : "run.msm", c.input);
        box.run(c.args);
        const std::string svg = read_file(box.path() / "run.svg");
        ASSERT_FALSE(svg.empty());
        const double width = 1000;
        const double height = attribute(svg.substr(svg.find("<svg")), "height");
        for (const auto& [x, y] : placed_points(svg)) {
            EXPECT_TRUE(x >= 0 && x <= width && y >= 0 && y <= height) << x << "," << y;
        }
        const std::vector<TextElement> texts = text_elements(svg);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const TextElement& t = texts[i];
            const double extent = 0.55 * t.size * static_cast<double>(t.characters);
            const double left = t.anchor == "start"    ? t.x
                                : t.anchor == "middle" ? t.x - extent / 2
                                                       : t.x - extent;
            if (svg.find("rotate(-90 ") == std::string::npos || t.size != 16 ||
                t.anchor != "middle") {
                EXPECT_GE(left, 0.0) << t.text;
                EXPECT_LE(left + extent, width) << t.text;
            }
            // Tick labels: the x axis's below a plot, the y axis's right-aligned
            // beside it, each differing from the one before.
            const bool tick =
                t.size == 15 && (t.anchor == "end" ? t.x == 122.0 : t.anchor == "middle");
            if (!tick) continue;
            EXPECT_LE(t.characters, 10u) << t.text;
            if (i > 0 && texts[i - 1].size == 15 && texts[i - 1].anchor == t.anchor &&
                (t.anchor == "end" ? texts[i - 1].x == t.x : texts[i - 1].y == t.y)) {
                EXPECT_NE(texts[i - 1].text, t.text);
            }
        }
        if (!c.title_values.empty()) {
            EXPECT_NE(svg.find(c.title_values), std::string::npos) << c.title_values;
        }
        if (nested) {
            // 46 bytes: the first 39 of the name as typed, "...", "/run".
            EXPECT_NE(svg.find(">" + long_folder.substr(0, 39) + ".../run - calibration<"),
                      std::string::npos);
        }
    }
}

// The table panel: a square for each record of the stretch only (not the
// table's leading and closing points), an index axis that ends at the last
// entry, and a unit on every axis in stage units where -unit names one.
TEST(Picture, TablePanelAndUnit) {
    Sandbox box;
    box.write("sensor_10_80.msm", kExample);
    ASSERT_EQ(box.run({"cal", "sensor_10_80", "-svg", "-unit", "mm"}).exit_code, 0);
    const std::string svg = read_file(box.path() / "sensor_10_80.svg");
    std::size_t squares = 0;
    for (std::size_t at = 0; (at = svg.find("h6v6h-6z", at)) != std::string::npos; ++at) ++squares;
    EXPECT_EQ(squares, 149u + 1u);  // records 1 to 149, and the legend's
    std::vector<std::string> index_labels;
    for (const TextElement& t : text_elements(svg)) {
        if (t.y == 1072.0 && t.anchor == "middle" && t.size == 15) index_labels.push_back(t.text);
    }
    EXPECT_EQ(index_labels, (std::vector<std::string>{"0", "20", "40", "60", "80", "100", "120"}));
    for (const char* title : {">stage position (mm)<", ">change per step (mm)<", ">error (mm)<"}) {
        EXPECT_NE(svg.find(title), std::string::npos) << title;
    }
    EXPECT_NE(svg.find(">PSD reading<"), std::string::npos);
}

// A check's title names the table it was made against: the file given, or
// the one that cal writes with the step count, named as the option it takes.
TEST(Picture, CheckTitleNamesItsTable) {
    const struct {
        Args args;
        std::string line;
    } cases[] = {
        {{"check", "sensor_10_80", "-svg", "-f", "out"},
         "against the table that cal writes with -n 128"},
        {{"check", "sensor_10_80", "-n", "300", "-svg", "-f", "out"},
         "against the table that cal writes with -n 300"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("sensor_10_80.msm", kExample);
        box.run(c.args);
        bool found = false;
        for (const TextElement& t : text_elements(read_file(box.path() / "out.svg"))) {
            found = found || t.text == c.line;
        }
        EXPECT_TRUE(found) << c.line;
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

// A run of 159 records from 80 to 1 whose readings rise to a peak at 6 and
// fall again closer; a bump every seventh record cuts the monotone stretch
// short, so that the branch (80 to 6) holds far more than the stretch.
std::vector<MsmPoint> bumpy_run() {
    std::vector<MsmPoint> points;
    for (int i = 0; i < 159; ++i) {
        const double stage = 80 - 0.5 * i;
        const int reading = stage >= 6 ? static_cast<int>(1600 / (stage + 2) + 0.5) + (i % 7 == 3)
                                       : static_cast<int>(200 - 20 * (6 - stage));
        points.emplace_back(std::to_string(stage).substr(0, 4), reading);
    }
    return points;
}

// The markers (dots and crosses) of the error panel's plot, by colour: those
// in the legend stand above the plot's frame and are not counted.
std::map<std::string, int> error_panel_markers(const std::string& svg) {
    const std::size_t panel = svg.find(">Error of the firmware's answer");
    std::map<std::string, int> count;
    if (panel == std::string::npos) return count;
    const std::size_t frame =
        svg.rfind("<rect", svg.find("fill=\"none\" stroke=\"#444444\"", panel));
    const double top = attribute(svg.substr(frame, 120), "y");
    for (std::size_t at = panel; (at = svg.find("<path", at)) != std::string::npos; ++at) {
        const std::string element = svg.substr(at, svg.find("/>", at) - at);
        const std::string colour = text_attribute(element, "stroke");
        const std::string d = text_attribute(element, "d");
        for (std::size_t m = 0; (m = d.find('M', m)) != std::string::npos; ++m) {
            char* end = nullptr;
            std::strtod(d.c_str() + m + 1, &end);
            const double y = std::strtod(end + 1, &end);
            const bool marker =
                std::strncmp(end, "h0", 2) == 0 || std::strncmp(end, "l8 8", 4) == 0;
            if (marker && y >= top - 8) ++count[colour];
        }
    }
    return count;
}

// check draws every record of the run, those it did not judge in grey; cal
// draws every record of the branch (at the peak's stage or farther), however
// short the stretch.
TEST(Picture, EveryRecordIsDrawn) {
    const std::string bumpy = msm_file("<Vextal sn='1'>", bumpy_run());
    int branch = 0;  // records from 80 down to the peak's stage, 6
    for (const MsmPoint& p : bumpy_run()) branch += std::stod(p.stage) >= 6;
    const struct {
        const char* what;
        std::string input;
        Args args;
    } cases[] = {
        {"check of the example", kExample, {"check", "run", "-tol", "1", "-svg", "-f", "out"}},
        {"check of a bumpy run", bumpy, {"check", "run", "-svg", "-f", "out"}},
        {"cal of a bumpy run", bumpy, {"cal", "run", "-svg", "-f", "out"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        box.write("run.msm", c.input);
        const RunResult r = box.run(c.args);
        std::map<std::string, int> markers = error_panel_markers(read_file(box.path() / "out.svg"));
        const int judged = markers["#0072B2"] + markers["#D55E00"];
        if (c.args[0] == "cal") {
            EXPECT_EQ(judged, branch);
            EXPECT_EQ(markers["#999999"], 0);
            continue;
        }
        int checked = -1;
        int outside = -1;
        const std::size_t points = r.out.find("points: ");
        ASSERT_NE(points, std::string::npos);
        ASSERT_EQ(std::sscanf(r.out.c_str() + points, "points: %d checked, %d outside", &checked,
                              &outside),
                  2);
        EXPECT_GT(outside, 0);
        EXPECT_EQ(judged, checked);
        EXPECT_EQ(markers["#999999"], outside);
    }
}

// The texts of a legend row and the figures at its right never overlap, each
// entry's box (its marker and text) measured as the writer lays them out;
// with -unit the figures carry the unit.
TEST(Picture, LegendEntriesNeverOverlap) {
    const std::string bumpy = msm_file("<Vextal sn='1'>", bumpy_run());
    const std::string long_unit(24, 'u');
    const struct {
        const char* what;
        std::string input;
        Args args;
        const char* unit;
    } cases[] = {
        {"check with a tolerance",
         kExample,
         {"check", "run", "-tol", "1", "-svg", "-f", "out"},
         nullptr},
        {"check with a unit",
         kExample,
         {"check", "run", "-tol", "1", "-unit", "mm", "-svg", "-f", "out"},
         "mm"},
        {"cal of a bumpy run with a long unit",
         bumpy,
         {"cal", "run", "-unit", long_unit, "-svg", "-f", "out"},
         long_unit.c_str()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox box;
        box.write("run.msm", c.input);
        box.run(c.args);
        struct Box {
            double left;
            double right;
            std::string text;
        };
        std::map<double, std::vector<Box>> rows;
        int figures = 0;
        for (const TextElement& t : text_elements(read_file(box.path() / "out.svg"))) {
            const double width = kLegendCharWidth * static_cast<double>(t.characters);
            if (t.size != 15) continue;
            if (t.anchor == "start") rows[t.y].push_back({t.x - 34, t.x + width, t.text});
            if (t.anchor != "end" || t.x != 960.0) continue;
            rows[t.y].push_back({t.x - width, t.x, t.text});
            ++figures;
            if (c.unit == nullptr) continue;
            const std::string u = std::string(" ") + c.unit;
            EXPECT_EQ(t.text.substr(t.text.size() - u.size()), u) << t.text;
            EXPECT_NE(t.text.find(u + ", "), std::string::npos) << t.text;
        }
        EXPECT_GE(figures, 1);
        for (auto& [y, boxes] : rows) {
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                    const bool apart =
                        boxes[i].right <= boxes[j].left || boxes[j].right <= boxes[i].left;
                    EXPECT_TRUE(apart) << boxes[i].text << " | " << boxes[j].text << " at y " << y;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vextal::test
