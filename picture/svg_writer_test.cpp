#include "picture/svg_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>
#include <vector>

namespace vextal {
namespace {

std::string escaped(const std::string& text, std::size_t limit) {
    std::string out(escaped_size(limit), '\0');
    out.resize(escape_xml_text(text.c_str(), limit, out.data()));
    return out;
}

TEST(EscapeXmlText, GivesPureAsciiCharacterData) {
    const struct {
        const char* what;
        std::string text;
        std::size_t limit;
        std::string expected;
    } cases[] = {
        {"plain", "sensor_10_80", 60, "sensor_10_80"},
        {"markup characters", "<&>\"'", 60, "&lt;&amp;&gt;&quot;&#39;"},
        {"end of a CDATA section", "]]>", 60, "]]&gt;"},
        {"C0 controls and DEL dropped",
         "a\x01\t\n\rb\x7F"
         "c",
         60, "abc"},
        {"C1 controls dropped",
         "a\x80\x9F"
         "b",
         60, "ab"},
        {"Latin-1 letters as references", "\xF6\xE4\xA0\xFF", 60, "&#246;&#228;&#160;&#255;"},
        {"cut after the limit", "abcdef", 3, "abc..."},
        {"exactly the limit", "abc", 3, "abc"},
        // The limit counts the bytes read, dropped ones included.
        {"cut counts dropped bytes", "\x01\x02\x03xyz", 4, "x..."},
        {"every byte a reference", "\xE9\xE9", 2, "&#233;&#233;"},
        // Well-formed UTF-8 is one character; other bytes stay Latin-1.
        {"UTF-8 name",
         "Pr\xC3\xBC"
         "fstand_\xC2\xB5.msm",
         60, "Pr&#252;fstand_&#181;.msm"},
        {"UTF-8 comment",
         "\xC3\x98 12 mm, 23 \xC2\xB0"
         "C",
         60, "&#216; 12 mm, 23 &#176;C"},
        {"beyond Latin-1", "\xC5\x81\xE2\x82\xAC\xF0\x9F\x98\x80", 60, "&#321;&#8364;&#128512;"},
        {"Latin-1 name", "M\xFCller", 60, "M&#252;ller"},
        {"Latin-1 bytes that only start a UTF-8 character", "\xC3(\xE2\x82", 60, "&#195;(&#226;"},
        {"C1 control as UTF-8 dropped",
         "a\xC2\x85"
         "b",
         60, "ab"},
        {"non-characters dropped",
         "a\xEF\xBF\xBE\xEF\xBF\xBF"
         "b",
         60, "ab"},
        {"no character cut in two", "ab\xC3\xBC", 3, "ab..."},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(c.text, c.limit), c.expected) << c.what;
}

std::string escaped_name(const std::string& name, std::size_t limit) {
    std::string out(escaped_size(limit), '\0');
    out.resize(escape_xml_name(name.c_str(), limit, out.data()));
    return out;
}

// A name too long for the title loses its middle: a path keeps its file
// name, a long file name its start and its end.
TEST(EscapeXmlName, CutInTheMiddle) {
    const struct {
        const char* what;
        std::string name;
        std::size_t limit;
        std::string expected;
    } cases[] = {
        {"short", "data/run.msm", 30, "data/run.msm"},
        // 27 bytes besides "...": the file name's 17, the path's first 10.
        {"path", "/home/someone/measurements/2024/sensor_10_80.msm", 30,
         "/home/some.../sensor_10_80.msm"},
        {"Windows path", "C:\\Users\\someone\\Documents\\sensor_10_80.msm", 30,
         "C:\\Users\\s...\\sensor_10_80.msm"},
        // A file name that leaves no room: 13 bytes of its start, 14 of its end.
        {"long file name", "abcdefghijklmnopqrstuvwxyz0123456789.msm", 30,
         "abcdefghijklm...0123456789.msm"},
        // Whole characters only: the head stops before the two-byte u umlaut.
        {"UTF-8 at the cut",
         "/aaaaaaaa\xC3\xBC"
         "bbbbbbbbbbbbb/sensor_10_80.msm",
         30, "/aaaaaaaa.../sensor_10_80.msm"},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped_name(c.name, c.limit), c.expected) << c.what;
}

bool is_round(double step) {
    double p = 1.0;
    while (p * 10 <= step) p *= 10;
    while (p > step) p /= 10;
    for (double m : {1.0, 2.0, 5.0}) {
        if (step == m * p) return true;
    }
    return false;
}

TEST(MakeAxis, RoundEndsAndSteps) {
    const struct {
        const char* what;
        bool any;
        double min, max;
        double lo, hi, step;
        int decimals;
    } cases[] = {
        // A seventh of the span, taken up to 1, 2 or 5 times a power of ten.
        {"readings 20 to 158", true, 20, 158, 20, 160, 20, 0},
        {"positions 1 to 80", true, 1, 80, 0, 80, 20, 0},
        {"table index 0 to 127", true, 0, 127, 0, 140, 20, 0},
        {"small changes", true, 0.125, 0.6, 0.1, 0.6, 0.1, 1},
        {"negative values", true, -7, 3, -8, 4, 2, 0},
        {"nothing: 0 to 1", false, 0, 0, 0, 1, 0.2, 1},
        // One value: a tenth of it (at least 1) on either side.
        {"one value", true, 21, 21, 18, 24, 1, 0},
        {"one value of 0", true, 0, 0, -1, 1, 0.5, 1},
    };
    for (const auto& c : cases) {
        Range r;
        if (c.any) {
            r.add(c.min);
            r.add(c.max);
        }
        const Axis a = make_axis(r, 0, 700);
        EXPECT_DOUBLE_EQ(a.lo, c.lo) << c.what;
        EXPECT_DOUBLE_EQ(a.hi, c.hi) << c.what;
        EXPECT_DOUBLE_EQ(a.step, c.step) << c.what;
        EXPECT_EQ(a.decimals, c.decimals) << c.what;
        EXPECT_DOUBLE_EQ(a.at(a.lo), 0.0) << c.what;
        EXPECT_DOUBLE_EQ(a.at(a.hi), 700.0) << c.what;
    }
}

TEST(MakeAxis, ExtremeValuesStayFinite) {
    const double values[][2] = {{-DBL_MAX, DBL_MAX}, {DBL_MAX, DBL_MAX}, {-DBL_MAX, -DBL_MAX},
                                {0, DBL_MAX},        {1e-300, 2e-300},   {1e20, 1e20 + 1e5}};
    for (const auto& v : values) {
        Range r;
        r.add(v[0]);
        r.add(v[1]);
        r.add(DBL_MAX * 10);  // not finite: passed over
        const Axis a = make_axis(r, 0, 700);
        EXPECT_LE(a.lo, v[0]) << v[0] << " " << v[1];
        EXPECT_GE(a.hi, v[1]) << v[0] << " " << v[1];
        EXPECT_LT(a.lo, a.hi) << v[0] << " " << v[1];
        EXPECT_TRUE(is_round(a.step)) << a.step;
        EXPECT_GE(a.at(v[0]), 0.0);
        EXPECT_LE(a.at(v[1]), 700.0);
    }
}

// Labels of every tick, lowest first, and the base of offset labels.
std::vector<std::string> labels(const Axis& a) {
    std::vector<std::string> out;
    each_tick(a, [&](double k) {
        char text[kAxisTextSize];
        out.emplace_back(text, tick_label(a, k, text));
    });
    return out;
}

// Tick labels stay within ten characters and tell every tick from its
// neighbours: fixed decimals, exponents where magnitudes need them, offsets
// from a base where even those cannot.
TEST(MakeAxis, TickLabelsShortAndApart) {
    using Labels = std::vector<std::string>;
    const struct {
        const char* what;
        double min, max;
        Labels expected;  // empty: only the length and the difference checked
        std::string base;
        std::string last = "";  // the last label, where checked alone
    } cases[] = {
        {"positions 1 to 80", 1, 80, {"0", "20", "40", "60", "80"}, ""},
        // Powers of ten this large are not exact: the axis may start at 0.
        {"positions near 1e300", 1e300, 8e300, {}, "", "8e300"},
        // Steps of 2e-4 take four decimals.
        {"positions 0.00006 to 0.0008",
         0.00006,
         0.0008,
         {"0.0000", "0.0002", "0.0004", "0.0006", "0.0008"},
         ""},
        // "-1000000000" would take eleven characters.
        {"readings of +-1e9", -1e9, 1.5e9, {"-1e9", "-5e8", "0", "5e8", "1e9", "1.5e9"}, ""},
        {"near 1e-300", 1e-300, 8e-300, {}, ""},
        // A span of 1e5 at 1e20: seventeen digits would not fit.
        {"a span tiny against its values",
         1e20,
         1e20 + 98304,
         {"0", "20000", "40000", "60000", "80000", "100000"},
         "1e20"},
        {"the whole range of doubles", -DBL_MAX, DBL_MAX, {}, ""},
        {"subnormal values", 5e-324, 1e-322, {}, ""},
    };
    for (const auto& c : cases) {
        Range r;
        r.add(c.min);
        r.add(c.max);
        const Axis a = make_axis(r, 0, 700);
        const Labels got = labels(a);
        ASSERT_GE(got.size(), 2u) << c.what;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_LE(got[i].size(), kTickLabelMax) << c.what << ": " << got[i];
            if (i > 0) {
                EXPECT_NE(got[i], got[i - 1]) << c.what;
            }
        }
        if (!c.expected.empty()) {
            EXPECT_EQ(got, c.expected) << c.what;
        }
        if (!c.last.empty()) {
            EXPECT_EQ(got.back(), c.last) << c.what;
        }
        char base[kAxisTextSize];
        EXPECT_EQ(std::string(base, axis_offset_text(a, base)), c.base) << c.what;
    }
}

// The table's index axis ends at its last entry, with round ticks inside.
TEST(MakeAxis, ExactEnds) {
    const Axis a = make_exact_axis(0, 127, 0, 700);
    EXPECT_EQ(a.lo, 0.0);
    EXPECT_EQ(a.hi, 127.0);
    EXPECT_DOUBLE_EQ(a.at(127), 700.0);
    EXPECT_EQ(labels(a), (std::vector<std::string>{"0", "20", "40", "60", "80", "100", "120"}));
}

// The figures beside a legend: the unit after each value, escaped as the
// picture's text; the width estimate counts a reference as one character.
TEST(PairWithUnit, UnitAfterEachValue) {
    const struct {
        const char* unit;
        const char* expected;
        std::size_t shown;
    } cases[] = {
        {nullptr, "-7.00, rms 2.08", 15},
        {"mm", "-7.00 mm, rms 2.08 mm", 21},
        {"a<b", "-7.00 a&lt;b, rms 2.08 a&lt;b", 23},
    };
    for (const auto& c : cases) {
        char out[kPairWithUnitMax];
        const std::size_t n = pair_with_unit(-7.0, ", rms ", 2.08, 2, false, c.unit, out);
        EXPECT_EQ(std::string(out, n), c.expected);
        EXPECT_EQ(shown_characters(out, n), c.shown) << c.expected;
    }
}

}  // namespace
}  // namespace vextal
