#include "text/format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

#include "text/numscan.h"

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

// The fixed-point rule written the plain way, on the general conversion's
// 17 digits: place the point, cut, round half away from zero.
std::string reference_fixed(double v, int decimals) {
    int exp10 = 0;
    std::string digits = v == 0.0 ? std::string(17, '0') : general_digits(std::fabs(v), exp10);
    // The number as integer digits and decimals, with zeros around as needed.
    std::string integer, fraction;
    for (int w = std::max(exp10, 0); w >= 0; --w) {
        int k = exp10 - w;
        integer += (k >= 0 && k < 17) ? digits[static_cast<std::size_t>(k)] : '0';
    }
    for (int w = -1; w >= -decimals - 1; --w) {
        int k = exp10 - w;
        fraction += (k >= 0 && k < 17) ? digits[static_cast<std::size_t>(k)] : '0';
    }
    std::string all = integer + fraction.substr(0, static_cast<std::size_t>(decimals));
    if (fraction.back() >= '5') {
        int i = static_cast<int>(all.size()) - 1;
        while (i >= 0 && all[static_cast<std::size_t>(i)] == '9')
            all[static_cast<std::size_t>(i--)] = '0';
        if (i < 0) {
            all.insert(all.begin(), '1');
        } else {
            ++all[static_cast<std::size_t>(i)];
        }
    }
    std::size_t int_len = all.size() - static_cast<std::size_t>(decimals);
    std::string text = all.substr(0, int_len);
    while (text.size() > 1 && text[0] == '0') text.erase(0, 1);
    if (decimals > 0) text += "." + all.substr(int_len);
    return (std::signbit(v) ? "-" : "") + text;
}

TEST(FormatFixed, AgreesWithThePlainRuleOnRandomValues) {
    std::mt19937_64 random(99);
    auto check = [](double v, int decimals) {
        ASSERT_EQ(fixed(v, decimals), reference_fixed(v, decimals)) << v << " with " << decimals;
    };
    for (int i = 0; i < 200000; ++i) {
        const int decimals = static_cast<int>(random() % 4);
        // Positions as the tables hold them, widened from single precision.
        float f = static_cast<float>(static_cast<int64_t>(random() % 4000000) - 2000000) / 1000.0f;
        check(static_cast<double>(f), decimals);
        // Decimal-looking doubles, often right at a halfway point.
        double h = static_cast<double>(static_cast<int64_t>(random() % 2000000) - 1000000) / 1000.0;
        check(h, decimals);
        // A few units in the last place around a halfway point of any number of
        // decimals, where the 17-digit rounding and not the value decides.
        const int wide = static_cast<int>(random() % 18);
        double near = (static_cast<double>(random() % 100000000) + 0.5) /
                      std::pow(10.0, static_cast<double>(wide));
        for (int step = static_cast<int>(random() % 7) - 3; step != 0; step += step < 0 ? 1 : -1) {
            near = std::nextafter(near, step < 0 ? 0.0 : HUGE_VAL);
        }
        check(near, wide);
        check(-near, wide);
        // Any finite double.
        uint64_t bits = random() & 0xFFEFFFFFFFFFFFFFu;
        double v = 0;
        std::memcpy(&v, &bits, sizeof v);
        check(v, decimals);
        if (v != 0.0) {
            // The same digits scaled to around 1e-12 .. 1e24.
            check(std::ldexp(v, -std::ilogb(v) + static_cast<int>(random() % 120) - 40), decimals);
        }
    }
    for (double v : {0.05, 0.005, 0.0005, 9.995, 99.995, 999999999999999.95, 1e15, 1e16,
                     9999999999999998.0, 0.000001, 0.00000095}) {
        for (int decimals = 0; decimals <= 17; ++decimals) check(v, decimals);
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
    // Each side of every change in the number of digits, as printf has it.
    for (int64_t power = 1; power <= 1000000000; power *= 10) {
        for (int64_t v : {power - 1, power, 1 - power, -power, int64_t{INT32_MAX}}) {
            for (int width : {0, 5, 11, 12}) {
                char buf[kIntTextMax + 8];
                char expected[32];
                std::snprintf(expected, sizeof expected, "%*d", width, static_cast<int>(v));
                EXPECT_EQ(std::string(buf, format_int(static_cast<int32_t>(v), width, buf)),
                          expected);
            }
        }
    }
}

// The header values that import writes must read back as the very value,
// and be no longer than needed.
std::string round_trip_text(double value) {
    char text[kRoundTripTextMax];
    const std::size_t n = format_round_trip(value, text);
    EXPECT_EQ(n, std::strlen(text));
    return text;
}

TEST(FormatRoundTrip, WritesTheFewestDigitsPlainOrWithAnExponent) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},
        {-0.0, "-0"},
        {80.0, "80"},
        {12.5, "12.5"},
        {0.1, "0.1"},
        {0.1 + 0.2, "0.30000000000000004"},
        {-2.5e-5, "-0.000025"},
        {1e-5, "0.00001"},
        {1e-6, "1e-6"},
        {1e16, "10000000000000000"},
        {1e17, "1e17"},
        {123456789012345678.0, "1.2345678901234568e17"},
        {99.99999999999999, "99.99999999999999"},
        {5e-324, "5e-324"},
        // The largest double in full: "2e308" would read back only because
        // the reader saturates.
        {DBL_MAX, "1.7976931348623157e308"},
    };
    for (const auto& c : cases) EXPECT_EQ(round_trip_text(c.value), c.text) << c.text;
}

TEST(FormatRoundTrip, EveryFiniteDoubleReadsBack) {
    std::mt19937_64 random(20240919);
    for (int i = 0; i < 50000; ++i) {
        uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        if (!std::isfinite(value)) continue;
        const std::string text = round_trip_text(value);
        const double back = text_to_double(text.c_str());
        ASSERT_EQ(std::memcmp(&back, &value, sizeof value), 0) << text;
    }
}

// Tick labels and title values: a given number of significant digits, the
// rounding carried into the next power of ten.
TEST(FormatSignificant, RoundsToTheDigitsGiven) {
    const struct {
        double value;
        int count;
        bool plain;
        const char* text;
    } cases[] = {
        {1.5e300, 2, false, "1.5e300"},
        {1.5e300, 1, false, "2e300"},  // half up
        {-2e-7, 3, false, "-2e-7"},    // trailing zeros dropped
        {9.96e-301, 2, false, "1e-300"},
        {12.34, 3, true, "12.3"},
        {12.34, 3, false, "1.23e1"},
        {0.000123456, 2, true, "0.00012"},
        {0.0, 4, false, "0"},
        {DBL_MAX, 3, false, "1.8e308"},
        {5e-324, 1, false, "5e-324"},
        {1.0, 0, false, "1e0"},  // a count below 1 counts as 1
    };
    for (const auto& c : cases) {
        char text[kRoundTripTextMax];
        const std::size_t n = format_significant(c.value, c.count, c.plain, text);
        EXPECT_EQ(std::string(text, n), c.text) << c.text;
    }
}

}  // namespace
}  // namespace vextal
