#include "data/attribute.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace vextal {
namespace {

// A target value that no case below produces, to see that a miss leaves the
// target alone.
constexpr int32_t kUntouched = -12345;

struct IntCase {
    const char* line;
    const char* name;
    bool found;
    int32_t value;  // kUntouched when not found
};

TEST(IntAttribute, FindsTheFirstUsableOccurrence) {
    const IntCase cases[] = {
        // Blanks around the equals sign, either quote.
        {"no='7'", "no", true, 7},
        {"no = '7'", "no", true, 7},
        {"no  =  '7'", "no", true, 7},
        {"no=\"7\"", "no", true, 7},
        {"no = \"7\"", "no", true, 7},
        // No quote, or a tab beside the equals sign: that occurrence fails.
        {"no=7", "no", false, kUntouched},
        {"no\t='7'", "no", false, kUntouched},
        {"no=\t'7'", "no", false, kUntouched},
        {"no=7 no='8'", "no", true, 8},
        {"no\t='7' no='8'", "no", true, 8},
        // The letter test: only ASCII letters before the name reject it.
        {"xno='7'", "no", false, kUntouched},
        {"Xno='7'", "no", false, kUntouched},
        {"_no='7'", "no", true, 7},
        {"1no='7'", "no", true, 7},
        {"\xE9no='7'", "no", true, 7},
        {"<m no='7'", "no", true, 7},
        {"annotation='x' no='2'", "no", true, 2},
        {"note='x' no='2'", "no", true, 2},
        {" note='x' no='2'", "no", true, 2},
        // Restart exactly at the second occurrence, which skips the letter test.
        {"nono='5'", "no", true, 5},
        {"nonono='6'", "no", true, 6},
        // Restart after the equals sign: the value itself is searched.
        {"no=no='4'", "no", true, 4},
        {"no= no='4'", "no", true, 4},
        // The first of two wins; values of other attributes are not skipped.
        {"no='1' no='2'", "no", true, 1},
        {"comment=\"no='9'\" no='2'", "no", true, 9},
        {"comment='xno=\"9\"' no='2'", "no", true, 2},
        // Case-sensitive names.
        {"NO='3'", "no", false, kUntouched},
        {"No='3' no='4'", "no", true, 4},
        // The value ends where the integer conversion stops.
        {"no='  12abc'", "no", true, 12},
        {"no='-3'", "no", true, -3},
        {"no='+3'", "no", true, 3},
        {"no='12.7'", "no", true, 12},
        {"no=''", "no", true, 0},
        {"no='abc'", "no", true, 0},
        {"no='9", "no", true, 9},
        {"no='9\n", "no", true, 9},
        {"no='", "no", true, 0},
        {"no='99999999999'", "no", true, INT32_MAX},
        {"no='-99999999999'", "no", true, INT32_MIN},
        // The line ends before a value could start.
        {"no", "no", false, kUntouched},
        {"no=", "no", false, kUntouched},
        {"no =  ", "no", false, kUntouched},
        {"", "no", false, kUntouched},
        {"psd='5'", "psd", true, 5},
        {"<measurement no='1' stage='2.5' psd='612'/>", "psd", true, 612},
    };
    for (const auto& c : cases) {
        int32_t target = kUntouched;
        EXPECT_EQ(read_int_attribute(c.line, c.name, target), c.found) << c.line;
        EXPECT_EQ(target, c.value) << c.line;
        int32_t long_target = kUntouched;
        EXPECT_EQ(read_long_attribute(c.line, c.name, long_target), c.found) << c.line;
        EXPECT_EQ(long_target, c.value) << c.line;
    }
}

struct DoubleCase {
    const char* line;
    bool found;
    double value;
};

TEST(DoubleAttribute, ConvertsTheValueAsADecimalNumber) {
    constexpr double kStart = -777.0;
    const DoubleCase cases[] = {
        {"stage='10.0'", true, 10.0},  {"stage='+1.5e1'", true, 15.0},
        {"stage='2.5d1'", true, 25.0}, {"stage='1,5'", true, 1.0},
        {"stage='0x10'", true, 0.0},   {"stage='abc'", true, 0.0},
        {"stage=''", true, 0.0},       {"stage=\" -12.25\"", true, -12.25},
        {"stage='1e'", true, 1.0},     {"stage='7", true, 7.0},
        {"stage=7", false, kStart},    {"backstage='3' stage='4'", true, 4.0},
        {"stages='3'", false, kStart},
    };
    for (const auto& c : cases) {
        double target = kStart;
        EXPECT_EQ(read_double_attribute(c.line, "stage", target), c.found) << c.line;
        EXPECT_EQ(target, c.value) << c.line;
    }
}

struct PositionCase {
    const char* line;
    const char* name;
    std::ptrdiff_t offset;  // of the value in the line; -1 when not found
};

// The result points just behind the opening quote, whatever follows it.
TEST(FindAttribute, PointsJustBehindTheOpeningQuote) {
    const PositionCase cases[] = {
        {"no='7'", "no", 4},   {"a no = \"x", "no", 8},    {"no='", "no", 4},
        {"nono='5'", "no", 6}, {"x no=' no='3'", "no", 6}, {"no=7", "no", -1},
        {"anything", "", -1},
    };
    for (const auto& c : cases) {
        const char* p = find_attribute(c.line, c.name);
        std::ptrdiff_t offset = p == nullptr ? -1 : p - c.line;
        EXPECT_EQ(offset, c.offset) << c.line;
    }
}

}  // namespace
}  // namespace vextal
