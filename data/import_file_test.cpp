// The header value writer of the importer: the text it writes must read back
// as the very value, and be no longer than needed.
#include "import_file.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>

#include "numscan.h"

namespace vextal {
namespace {

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

}  // namespace
}  // namespace vextal
