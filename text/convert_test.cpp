#include "text/convert.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <limits>

namespace vextal {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Conversions, ToSingleRoundsAndSaturates) {
    struct {
        double value;
        float single;
    } const cases[] = {
        {0.0, 0.0f},
        {25.0, 25.0f},
        {10.7, 10.7f},
        {-2.55, -2.55f},
        {static_cast<double>(FLT_MAX), FLT_MAX},
        {1e39, FLT_MAX},
        {1e300, FLT_MAX},
        {DBL_MAX, FLT_MAX},
        {kInf, FLT_MAX},
        {-1e300, -FLT_MAX},
        {-kInf, -FLT_MAX},
    };
    for (const auto& c : cases) EXPECT_EQ(to_single(c.value), c.single) << c.value;
    EXPECT_TRUE(std::isnan(to_single(kNaN)));
}

TEST(Conversions, TruncateToIntGoesTowardZeroAndSaturates) {
    struct {
        double value;
        int32_t result;
    } const cases[] = {
        {106.9999980926513671875, 106},    // 10.7f times ten
        {-25.499999523162841796875, -25},  // -2.55f times ten
        {-0.9, 0},
        {999.0000152587890625, 999},
        {2147483647.9, INT32_MAX},
        {2147483648.0, INT32_MAX},
        {1e10, INT32_MAX},
        {kInf, INT32_MAX},
        {-2147483648.9, INT32_MIN},
        {-2147483649.0, INT32_MIN},
        {-1e300, INT32_MIN},
        {-kInf, INT32_MIN},
        {kNaN, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(truncate_to_int(c.value), c.result) << c.value;
}

}  // namespace
}  // namespace vextal
