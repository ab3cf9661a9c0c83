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
    int found;
    int32_t value;  // kUntouched when not found
};

TEST(IntAttribute, FindsTheFirstUsableOccurrence) {
    const IntCase cases[] = {
        // Blanks around the equals sign, either quote.
        {"no='7'", "no", 1, 7},
        {"no = '7'", "no", 1, 7},
        {"no  =  '7'", "no", 1, 7},
        {"no=\"7\"", "no", 1, 7},
        {"no = \"7\"", "no", 1, 7},
        // No quote, or a tab beside the equals sign: that occurrence fails.
        {"no=7", "no", 0, kUntouched},
        {"no\t='7'", "no", 0, kUntouched},
        {"no=\t'7'", "no", 0, kUntouched},
        {"no=7 no='8'", "no", 1, 8},
        {"no\t='7' no='8'", "no", 1, 8},
        // The letter test: only ASCII letters before the name reject it.
        {"xno='7'", "no", 0, kUntouched},
        {"Xno='7'", "no", 0, kUntouched},
        {"_no='7'", "no", 1, 7},
        {"1no='7'", "no", 1, 7},
        {"\xE9no='7'", "no", 1, 7},
        {"<m no='7'", "no", 1, 7},
        {"annotation='x' no='2'", "no", 1, 2},
        {"note='x' no='2'", "no", 1, 2},
        {" note='x' no='2'", "no", 1, 2},
        // Restart exactly at the second occurrence, which skips the letter test.
        {"nono='5'", "no", 1, 5},
        {"nonono='6'", "no", 1, 6},
        // Restart after the equals sign: the value itself is searched.
        {"no=no='4'", "no", 1, 4},
        {"no= no='4'", "no", 1, 4},
        // The first of two wins; values of other attributes are not skipped.
        {"no='1' no='2'", "no", 1, 1},
        {"comment=\"no='9'\" no='2'", "no", 1, 9},
        {"comment='xno=\"9\"' no='2'", "no", 1, 2},
        // Case-sensitive names.
        {"NO='3'", "no", 0, kUntouched},
        {"No='3' no='4'", "no", 1, 4},
        // The value ends where the integer conversion stops.
        {"no='  12abc'", "no", 1, 12},
        {"no='-3'", "no", 1, -3},
        {"no='+3'", "no", 1, 3},
        {"no='12.7'", "no", 1, 12},
        {"no=''", "no", 1, 0},
        {"no='abc'", "no", 1, 0},
        {"no='9", "no", 1, 9},
        {"no='9\n", "no", 1, 9},
        {"no='", "no", 1, 0},
        {"no='99999999999'", "no", 1, INT32_MAX},
        {"no='-99999999999'", "no", 1, INT32_MIN},
        // The line ends before a value could start.
        {"no", "no", 0, kUntouched},
        {"no=", "no", 0, kUntouched},
        {"no =  ", "no", 0, kUntouched},
        {"", "no", 0, kUntouched},
        {"psd='5'", "psd", 1, 5},
        {"<measurement no='1' stage='2.5' psd='612'/>", "psd", 1, 612},
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
    int found;
    double value;
};

TEST(DoubleAttribute, ConvertsTheValueAsADecimalNumber) {
    constexpr double kStart = -777.0;
    const DoubleCase cases[] = {
        {"stage='10.0'", 1, 10.0},  {"stage='+1.5e1'", 1, 15.0},
        {"stage='2.5d1'", 1, 25.0}, {"stage='1,5'", 1, 1.0},
        {"stage='0x10'", 1, 0.0},   {"stage='abc'", 1, 0.0},
        {"stage=''", 1, 0.0},       {"stage=\" -12.25\"", 1, -12.25},
        {"stage='1e'", 1, 1.0},     {"stage='7", 1, 7.0},
        {"stage=7", 0, kStart},     {"backstage='3' stage='4'", 1, 4.0},
        {"stages='3'", 0, kStart},
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
