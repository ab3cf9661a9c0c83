#include "text/numscan.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
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
        {"7", 7},
        {"  12abc", 12},
        {"-3", -3},
        {"+42", 42},
        {"12.7", 12},
        {"", 0},
        {"abc", 0},
        {"-", 0},
        {"+-3", 0},
        {" \t\n\v\f\r5", 5},
        {"0x10", 0},
        {"1e3", 1},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483648", INT32_MAX},
        {"-2147483649", INT32_MIN},
        {"99999999999", INT32_MAX},
        {"-99999999999999999999999", INT32_MIN},
        {"000000000000000000000000000042", 42},
        {"7'", 7},
    };
    for (const auto& c : cases) EXPECT_EQ(text_to_int(c.text), c.expected) << '"' << c.text << '"';
}

struct DoubleCase {
    const char* text;
    double expected;
};

TEST(TextToDouble, FollowsTheDecimalConversion) {
    const DoubleCase cases[] = {
        {"10.0", 10.0},
        {"+1.5e1", 15.0},
        {"2.5d1", 25.0},
        {"2.5D1", 25.0},
        {"1,5", 1.0},
        {"0x10", 0.0},
        {"inf", 0.0},
        {"nan", 0.0},
        {"-infinity", 0.0},
        {"", 0.0},
        {"abc", 0.0},
        {".5", 0.5},
        {"5.", 5.0},
        {".", 0.0},
        {"-.", 0.0},
        {"1e", 1.0},
        {"1e+", 1.0},
        {"1e-", 1.0},
        {"1ex", 1.0},
        {"1d", 1.0},
        {"1.5e-2", 0.015},
        {"1..5", 1.0},
        {"1.5.5", 1.5},
        {"  -12.5'", -12.5},
        {"\t3.25", 3.25},
        {"12.7", 12.7},
        {"0.1", 0.1},
        {"1E2", 100.0},
        {"0.000123", 0.000123},
        {"000123.400", 123.4},
        {"1e400", DBL_MAX},
        {"-1e400", -DBL_MAX},
        {"1e-400", 0.0},
        {"1.7976931348623157e308", DBL_MAX},
        {"4.9406564584124654e-324", 4.9406564584124654e-324},
        {"1e99999999999999999999", DBL_MAX},
        {"1e-99999999999999999999", 0.0},
        {"123456789012345678901234567890", 1.2345678901234568e29},
    // Hard cases of the exact conversion, each expected as the compiler
    // reads the same literal: subnormal and normal boundaries, the
    // largest doubles, halfway points and long runs of nines.
#define VEXTAL_LITERAL(x) {#x, x}
        VEXTAL_LITERAL(2.4703282292062328e-324),
        VEXTAL_LITERAL(7.4109846876186982e-324),
        VEXTAL_LITERAL(2.2250738585072011e-308),
        VEXTAL_LITERAL(2.2250738585072012e-308),
        VEXTAL_LITERAL(2.2250738585072014e-308),
        VEXTAL_LITERAL(1.7976931348623155e308),
        VEXTAL_LITERAL(1.7976931348623157e308),
        VEXTAL_LITERAL(9007199254740993.0),
        VEXTAL_LITERAL(9007199254740992.9999999999999999999999),
        VEXTAL_LITERAL(0.99999999999999999999999999999999999999999999),
        VEXTAL_LITERAL(99999999999999999999999999999999999999.9e-30),
        VEXTAL_LITERAL(8.98846567431158053e307),
        VEXTAL_LITERAL(1e23),
        VEXTAL_LITERAL(4.35679719856e-320),
        VEXTAL_LITERAL(1.00000005960464477550e0),
#undef VEXTAL_LITERAL
        {"2.4703282292062327e-324", 0.0},  // just below half the smallest double
        {"1.7976931348623158e308", DBL_MAX},
        {"1.7976931348623159e308", DBL_MAX},
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
        // The same digits without the exponent, as attribute values mostly
        // are; the one-pass reader, where it takes the text, agrees and ends
        // right after it.
        const std::string plain = text.substr(0, text.find('e'));
        if (plain != ".") {
            std::from_chars(plain.data(), plain.data() + plain.size(), expected);
            const std::string quoted = plain + "'";
            ASSERT_EQ(text_to_double(quoted.c_str()), expected) << plain;
            double scanned = -1.0;
            const char* end = scan_plain_decimal(quoted.c_str(), scanned);
            if (digits <= 15) {
                ASSERT_EQ(end, quoted.c_str() + plain.size()) << plain;
                ASSERT_EQ(scanned, expected) << plain;
            } else {
                ASSERT_EQ(end, nullptr) << plain;
            }
        }
    }
}

// The exact decimal text of (2 m + 1) * 2^(k - 1), the point halfway between
// the doubles m * 2^k and (m + 1) * 2^k, worked out digit by digit.
std::string halfway_text(uint64_t m, int k) {
    std::string digits = std::to_string(2 * m + 1);  // most significant first
    auto multiply = [&digits](uint64_t factor) {
        uint64_t carry = 0;
        for (std::size_t i = digits.size(); i-- > 0;) {
            const uint64_t v = static_cast<uint64_t>(digits[i] - '0') * factor + carry;
            digits[i] = static_cast<char>('0' + v % 10);
            carry = v / 10;
        }
        for (; carry > 0; carry /= 10)
            digits.insert(digits.begin(), static_cast<char>('0' + carry % 10));
    };
    // By 2^k or 5^k in steps that keep the carry within 64 bits.
    auto multiply_power = [&multiply](uint64_t base, int count, int step) {
        uint64_t big = 1;
        for (int i = 0; i < step; ++i) big *= base;
        for (; count >= step; count -= step) multiply(big);
        for (; count > 0; --count) multiply(base);
    };
    const int power = k - 1;
    if (power >= 0) multiply_power(2, power, 30);
    if (power < 0) multiply_power(5, -power, 13);  // 2^-j = 5^j * 10^-j
    return power >= 0 ? digits : digits + "e" + std::to_string(power);
}

TEST(TextToDouble, DecidesHalfwayPointsExactly) {
    // Halfway between two neighbouring doubles the tie goes to the even one;
    // a digit more, however far behind, or a little less decides it. The texts
    // run to about 770 digits for the smallest doubles, past 800 with the
    // extra digit.
    std::mt19937_64 random(11);
    auto check = [](uint64_t m, int k) {
        const std::string half = halfway_text(m, k);
        const std::string mantissa = half.substr(0, half.find('e'));
        const std::string exponent = half.substr(mantissa.size());
        const double low = std::ldexp(static_cast<double>(m), k);
        const double high = std::ldexp(static_cast<double>(m + 1), k);
        const double even = (m % 2 == 0) ? low : high;
        ASSERT_EQ(text_to_double(half.c_str()), even) << half;
        const std::string above = mantissa + "." + std::string(900, '0') + "1" + exponent;
        ASSERT_EQ(text_to_double(above.c_str()), high) << above;
        std::string below = mantissa;  // one unit less in the last place, and nines after it
        std::size_t i = below.size() - 1;
        for (; below[i] == '0'; --i) below[i] = '9';
        --below[i];
        below += ".999999999999999999999" + exponent;
        ASSERT_EQ(text_to_double(below.c_str()), low) << below;
    };
    // Subnormals (k = -1074), the normal boundary and the top of the range.
    for (uint64_t m : {uint64_t{0}, uint64_t{1}, uint64_t{2}, (uint64_t{1} << 52) - 1})
        check(m, -1074);
    check((uint64_t{1} << 53) - 2, 971);
    for (int i = 0; i < 300; ++i) {
        const uint64_t m = (uint64_t{1} << 52) | (random() & ((uint64_t{1} << 52) - 1));
        check(m, static_cast<int>(random() % 2020) - 1074);
        check(random() & ((uint64_t{1} << 52) - 1), -1074);
    }
}

TEST(TextToDouble, LongNumbersAgreeWithTheGeneralConversion) {
    // Beyond 15 digits or 10^22 the exact integer conversion decides: random
    // mantissas of 16 to 60 digits over the whole range of exponents, runs of
    // nines and zeros among them.
    std::mt19937_64 random(8);
    for (int i = 0; i < 20000; ++i) {
        const int digits = 16 + static_cast<int>(random() % 45);
        std::string mantissa(1, static_cast<char>('1' + random() % 9));
        const char run = (random() % 2 == 0) ? '9' : '0';
        for (int d = 1; d < digits; ++d) {
            mantissa += (random() % 3 == 0) ? static_cast<char>('0' + random() % 10) : run;
        }
        const std::string text =
            mantissa + "e" + std::to_string(static_cast<int>(random() % 680) - 360);
        double expected = 0;
        auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
        if (r.ec == std::errc::result_out_of_range)
            expected = text.find("e-") != std::string::npos ? 0.0 : DBL_MAX;
        ASSERT_EQ(text_to_double(text.c_str()), expected) << text;
    }
}

TEST(ScanPlain, TakesOnlyTheShortFormsAndAgreesWithTheFullReaders) {
    // Where a text is taken, the value is the full reader's and the end is
    // right after the number; the short forms leave anything else to the
    // full readers, and scan_decimal takes what text_to_double reads, with
    // no white space skipped.
    struct Case {
        const char* text;
        int int_length;      // characters taken by scan_plain_int, -1 none
        int decimal_length;  // characters taken by scan_plain_decimal, -1 none
        int full_length;     // characters taken by scan_decimal, -1 none
    };
    const Case cases[] = {
        {"7'", 1, 1, 1},
        {"123456789'", 9, 9, 9},
        {"1234567890", -1, 10, 10},
        {"0x10", 1, 1, 1},
        {"-5", -1, 2, 2},
        {"-0", -1, 2, 2},
        {"+5", -1, -1, 2},
        {" 5", -1, -1, -1},
        {"", -1, -1, -1},
        {"-", -1, -1, -1},
        {".", -1, -1, -1},
        {"-.5'", -1, 3, 3},
        {"5.'", 1, 2, 2},
        {"12.50/", 2, 5, 5},
        {"1.5.5", 1, -1, 3},
        {"1e5", 1, -1, 3},
        {"2.5d1", 1, -1, 5},
        {"123456789012345", -1, 15, 15},
        {"1234567890123456", -1, -1, 16},
        {"0.00000000000001", 1, 16, 16},
        {"0.000000000000001", 1, -1, 17},
        {"1e", 1, -1, 1},
        {"1e+", 1, -1, 1},
        {"1e-5x", 1, -1, 4},
        {"nan", -1, -1, -1},
        {"inf", -1, -1, -1},
    };
    for (const auto& c : cases) {
        int32_t i = -1;
        const char* end = scan_plain_int(c.text, i);
        if (c.int_length < 0) {
            EXPECT_EQ(end, nullptr) << c.text;
        } else {
            EXPECT_EQ(end, c.text + c.int_length) << c.text;
            EXPECT_EQ(i, text_to_int(c.text)) << c.text;
        }
        double d = -1.0;
        end = scan_plain_decimal(c.text, d);
        if (c.decimal_length < 0) {
            EXPECT_EQ(end, nullptr) << c.text;
        } else {
            EXPECT_EQ(end, c.text + c.decimal_length) << c.text;
            EXPECT_EQ(d, text_to_double(c.text)) << c.text;
            EXPECT_EQ(std::signbit(d), std::signbit(text_to_double(c.text))) << c.text;
        }
        d = -1.0;
        end = scan_decimal(c.text, d);
        if (c.full_length < 0) {
            EXPECT_EQ(end, nullptr) << c.text;
            EXPECT_EQ(d, -1.0) << c.text;
        } else {
            EXPECT_EQ(end, c.text + c.full_length) << c.text;
            EXPECT_EQ(d, text_to_double(c.text)) << c.text;
        }
    }
}

struct RoundCase {
    std::string text;
    bool taken;
    int32_t value = 0;
    bool changed = false;
};

// Rounded on the digits: the digit after the whole part decides, halves go
// away from zero, and only digits that are not zero make a fraction.
TEST(RoundDecimalText, RoundsTheDigitsAsWritten) {
    const RoundCase cases[] = {
        {"2.4999999999999999", true, 2, true},  // 2.5 as a double
        {"2.5", true, 3, true},
        {"-2.5", true, -3, true},
        {"-0.4", true, 0, true},
        {"0.5", true, 1, true},
        {"25e-1", true, 3, true},
        {"1e0", true, 1, false},
        {"3.00", true, 3, false},
        {"0e999", true, 0, false},
        {"1e-99999", true, 0, true},
        {"2." + std::string(900, '0') + "1", true, 2, true},
        {"2147483647.4", true, INT32_MAX, true},
        {"-2147483648.4", true, INT32_MIN, true},
        {"2147483647.5", false},
        {"-2147483648.5", false},
        {"9999999999.95", false},
        {"1e10", false},
    };
    for (const auto& c : cases) {
        int32_t value = 7;
        bool changed = !c.changed;
        ASSERT_EQ(round_decimal_text(c.text.c_str(), value, changed), c.taken) << c.text;
        if (!c.taken) continue;
        EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(changed, c.changed) << c.text;
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
    std::string half =
        "1.00000000000000011102230246251565404236316680908203125" + std::string(900, '0') + "1";
    EXPECT_EQ(text_to_double(half.c_str()), 1.0 + DBL_EPSILON);
    // Exactly halfway rounds to even.
    EXPECT_EQ(text_to_double("1.00000000000000011102230246251565404236316680908203125"), 1.0);
    // A million digits before the point overflow to the largest double.
    std::string huge(1000000, '9');
    EXPECT_EQ(text_to_double(huge.c_str()), DBL_MAX);
}

}  // namespace
}  // namespace vextal
