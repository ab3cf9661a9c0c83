#include "picture/svg_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <string>

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
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(c.text, c.limit), c.expected) << c.what;
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

}  // namespace
}  // namespace vextal
