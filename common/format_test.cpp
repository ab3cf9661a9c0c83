#include "format.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

namespace vextal {
namespace {

std::string fixed(double v, int decimals) {
    char buf[kFixedTextMax];
    return std::string(buf, format_fixed(v, decimals, buf));
}

struct FixedCase {
    double value;
    int decimals;
    const char* expected;
};

TEST(FormatFixed, CutsSeventeenDigitsHalfAwayFromZero) {
    const FixedCase cases[] = {
        {0.25, 1, "0.3"},
        {-1.25, 1, "-1.3"},
        {0.35, 1, "0.3"},
        {10.125, 2, "10.13"},
        {-10.125, 2, "-10.13"},
        {12.25, 1, "12.3"},
        {12.75, 1, "12.8"},
        {7.0, 1, "7.0"},
        {0.0, 1, "0.0"},
        {0.0, 2, "0.00"},
        {-0.0, 1, "-0.0"},
        {-0.04, 1, "-0.0"},
        {-0.05, 1, "-0.1"},
        {0.04, 1, "0.0"},
        {9.95, 1, "9.9"},
        {9.96, 1, "10.0"},
        {99.95, 1, "100.0"},
        {999.999, 2, "1000.00"},
        {10.0, 1, "10.0"},
        {12.5, 1, "12.5"},
        {1e-300, 2, "0.00"},
        {0.005, 2, "0.01"},
        {0.015, 2, "0.01"},
        {2.675, 2, "2.67"},
        {1.0000000000000002, 2, "1.00"},
        {123456.789, 1, "123456.8"},
        {3.0, 0, "3"},
        {2.5, 0, "3"},
        // Single-precision values widened to double, as the calibration writes them.
        {static_cast<double>(99.9f), 2, "99.90"},
        {static_cast<double>(17.675f), 2, "17.67"},
        {static_cast<double>(10.7f), 2, "10.70"},
        {static_cast<double>(-2.55f), 2, "-2.55"},
        // Digits beyond the 17th significant one are written as 0.
        {1e20, 1, "100000000000000000000.0"},
        {123456789012345678901.0, 1, "123456789012345680000.0"},
        {std::nan(""), 2, "nan"},
        {INFINITY, 2, "inf"},
        {-INFINITY, 1, "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fixed(c.value, c.decimals), c.expected) << c.value << " with " << c.decimals;
    }
}

TEST(FormatFixed, WritesTheLargestDoubleInFull) {
    std::string text = fixed(-DBL_MAX, 2);
    EXPECT_EQ(text.substr(0, 18), "-17976931348623157");
    EXPECT_EQ(text.size(), 1u + 309u + 3u);
    EXPECT_EQ(text.substr(18), std::string(309 - 17, '0') + ".00");
}

// The digits by the general conversion, for comparison.
std::string general_digits(double v, int& exp10) {
    char sci[40];
    auto r = std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, 16);
    std::string text(sci, r.ptr);
    exp10 = std::stoi(text.substr(text.find('e') + 1));
    return text.substr(0, 1) + text.substr(2, 16);
}

void expect_same_digits(double v) {
    char digits[kSignificantDigits];
    int exp10 = significant_digits(v, digits);
    int expected_exp10 = 0;
    std::string expected = general_digits(v, expected_exp10);
    ASSERT_EQ(std::string(digits, kSignificantDigits), expected) << v;
    ASSERT_EQ(exp10, expected_exp10) << v;
}

TEST(SignificantDigits, AgreeWithTheGeneralConversion) {
    // Powers of ten and their neighbours, halfway cases of 17 digits, values
    // widened from single precision, and random doubles over the whole range.
    for (int p = -30; p <= 30; ++p) {
        double v = std::pow(10.0, p);
        for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300)})
            expect_same_digits(w);
    }
    for (double v : {99999999999999999.0, 9999999999999999.5, 0.1, 0.35, 2.675, 1e-6, 9.5e15,
                     4503599627370495.5, 9007199254740991.0, 1.0000000000000002, 1e-7}) {
        expect_same_digits(v);
    }
    std::mt19937_64 random(2024);
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = random() & 0x7FEFFFFFFFFFFFFFu;  // positive and finite
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        if (v == 0.0) continue;
        expect_same_digits(v);
        // The same mantissa scaled into the everyday range of positions.
        int unused = 0;
        expect_same_digits(std::frexp(v, &unused) + static_cast<double>(random() % 1000));
        float f = static_cast<float>(random() % 2000000) / 1000.0f;
        if (f > 0) expect_same_digits(static_cast<double>(f));
    }
}

struct IntCase {
    int32_t value;
    int width;
    const char* expected;
};

TEST(FormatInt, PadsWithBlanksOnTheLeft) {
    const IntCase cases[] = {
        {96, 3, " 96"},
        {-5, 3, " -5"},
        {250, 3, "250"},
        {1000, 3, "1000"},
        {0, 0, "0"},
        {-25, 0, "-25"},
        {INT32_MIN, 3, "-2147483648"},
        {7, 1, "7"},
    };
    for (const auto& c : cases) {
        char buf[kIntTextMax + 8];
        EXPECT_EQ(std::string(buf, format_int(c.value, c.width, buf)), c.expected);
    }
}

}  // namespace
}  // namespace vextal
