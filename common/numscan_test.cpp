#include "common/numscan.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <charconv>
#include <cstring>
#include <random>
#include <string>

namespace vextal {
namespace {

struct IntCase {
    const char* text;
    int32_t expected;
};

TEST(TextToInt, FollowsTheIntegerConversion) {
    const IntCase cases[] = {
        {"7", 7},           {"  12abc", 12},   {"-3", -3},     {"+42", 42},
        {"12.7", 12},       {"", 0},           {"abc", 0},     {"-", 0},
        {"+-3", 0},         {" \t\n\v\f\r5", 5}, {"0x10", 0},  {"1e3", 1},
        {"2147483647", INT32_MAX},            {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MAX},            {"-2147483649", INT32_MIN},
        {"99999999999", INT32_MAX},           {"-99999999999999999999999", INT32_MIN},
        {"000000000000000000000000000042", 42}, {"7'", 7},
    };
    for (const auto& c : cases) EXPECT_EQ(text_to_int(c.text), c.expected) << '"' << c.text << '"';
}

struct DoubleCase {
    const char* text;
    double expected;
};

TEST(TextToDouble, FollowsTheDecimalConversion) {
    const DoubleCase cases[] = {
        {"10.0", 10.0},       {"+1.5e1", 15.0},     {"2.5d1", 25.0},     {"2.5D1", 25.0},
        {"1,5", 1.0},         {"0x10", 0.0},        {"inf", 0.0},        {"nan", 0.0},
        {"-infinity", 0.0},   {"", 0.0},            {"abc", 0.0},        {".5", 0.5},
        {"5.", 5.0},          {".", 0.0},           {"-.", 0.0},         {"1e", 1.0},
        {"1e+", 1.0},         {"1e-", 1.0},         {"1ex", 1.0},        {"1d", 1.0},
        {"1.5e-2", 0.015},    {"1..5", 1.0},        {"1.5.5", 1.5},      {"  -12.5'", -12.5},
        {"\t3.25", 3.25},     {"12.7", 12.7},       {"0.1", 0.1},        {"1E2", 100.0},
        {"0.000123", 0.000123}, {"000123.400", 123.4}, {"1e400", DBL_MAX}, {"-1e400", -DBL_MAX},
        {"1e-400", 0.0},      {"1.7976931348623157e308", DBL_MAX},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},
        {"1e99999999999999999999", DBL_MAX},   {"1e-99999999999999999999", 0.0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text_to_double(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(TextToDouble, ShortNumbersAgreeWithTheGeneralConversion) {
    // Numbers of up to 15 digits take a shorter way; it must give the same
    // double as the general, correctly rounding conversion of the same text.
    std::mt19937_64 random(7);
    for (int i = 0; i < 100000; ++i) {
        int digits = 1 + static_cast<int>(random() % 17);
        std::string mantissa;
        for (int d = 0; d < digits; ++d) mantissa += static_cast<char>('0' + random() % 10);
        int point = static_cast<int>(random() % (digits + 1));
        std::string text = mantissa.substr(0, point) + "." + mantissa.substr(point) + "e" +
                           std::to_string(static_cast<int>(random() % 61) - 30);
        double expected = 0;
        std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_EQ(text_to_double(text.c_str()), expected) << text;
    }
}

TEST(TextToDouble, KeepsTheSignOfZero) {
    EXPECT_TRUE(std::signbit(text_to_double("-0")));
    EXPECT_TRUE(std::signbit(text_to_double("-0.000")));
    EXPECT_TRUE(std::signbit(text_to_double("-1e-999")));
    EXPECT_FALSE(std::signbit(text_to_double("-abc")));
}

TEST(TextToDouble, RoundsLongMantissasCorrectly) {
    // 0.1 written with 1000 further zeros and a final 1 lies just above 0.1,
    // and still rounds to the double nearest 0.1.
    std::string text = "0.1" + std::string(1000, '0') + "1";
    EXPECT_EQ(text_to_double(text.c_str()), 0.1);
    // Halfway between 1 and the next double, plus a tiny bit beyond the 800th
    // digit: must round up.
    std::string half = "1.00000000000000011102230246251565404236316680908203125" +
                       std::string(900, '0') + "1";
    EXPECT_EQ(text_to_double(half.c_str()), 1.0 + DBL_EPSILON);
    // Exactly halfway rounds to even.
    EXPECT_EQ(text_to_double("1.00000000000000011102230246251565404236316680908203125"), 1.0);
    // A million digits before the point overflow to the largest double.
    std::string huge(1000000, '9');
    EXPECT_EQ(text_to_double(huge.c_str()), DBL_MAX);
}

}  // namespace
}  // namespace vextal
