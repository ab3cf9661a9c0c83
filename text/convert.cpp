#include "text/convert.h"

#include <cfloat>
#include <cmath>
#include <limits>

namespace vextal {

float to_single(double value) {
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    if (value > static_cast<double>(FLT_MAX)) return FLT_MAX;
    if (value < -static_cast<double>(FLT_MAX)) return -FLT_MAX;
    return static_cast<float>(value);
}

int32_t truncate_to_int(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return INT32_MAX;
    if (value <= -2147483649.0) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace vextal
