// Narrowing conversions that saturate instead of overflowing.
#pragma once

#include <cstdint>

namespace vextal {

/// A double narrowed to single precision by rounding to nearest; values
/// beyond the float range, infinities included, saturate at +-FLT_MAX, and a
/// not-a-number stays one.
float to_single(double value);

/// A double truncated toward zero to a 32-bit integer, saturating at
/// INT32_MIN and INT32_MAX; a not-a-number gives 0.
int32_t truncate_to_int(double value);

}  // namespace vextal
