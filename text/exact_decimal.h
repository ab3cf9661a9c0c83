// Exact conversions between decimal digits and doubles, done with integers
// only: the result never depends on the floating-point environment nor on a
// library's tables. They are slow (thousands of instructions); the scanner and
// the formatter take them only where their short ways do not reach.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

/// Most digits decimal_to_double takes: 800 significant digits decide the
/// rounding of any decimal text, and one more stands for all that follow.
constexpr std::size_t kMaxExactDigits = 801;

/// The double nearest to 0.d1 d2 ... dn times 10^exp10, ties to even, where
/// `digits` holds the n (1 to kMaxExactDigits) characters d1 ... dn, '0' to
/// '9', d1 not '0'. A value beyond the largest double gives the largest
/// double; one that rounds to zero gives zero.
double decimal_to_double(const char* digits, std::size_t count, int exp10);

/// The positive finite `magnitude` rounded to 17 significant digits, half to
/// even on its exact binary value, as an integer from 10^16 to 10^17 - 1;
/// `exp10` receives the power of ten of its first digit.
uint64_t exact_significant(double magnitude, int& exp10);

}  // namespace vextal
