// Number formatting for the output files. Fixed-point numbers are written by
// the program's own rule, never by the C library's printf, whose rounding
// differs between platforms.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

/// Room for any fixed-point text: 309 integer digits of the largest double,
/// sign, point and decimals.
constexpr std::size_t kFixedTextMax = 352;
/// Room for any 32-bit integer text with its sign.
constexpr std::size_t kIntTextMax = 12;

/// Number of significant digits every fixed-point number is first taken to.
constexpr int kSignificantDigits = 17;

/// The first 17 significant digits of a positive finite `magnitude`,
/// correctly rounded (half to even on the exact binary value), as characters
/// in `digits`; returns the power of ten of the first digit.
int significant_digits(double magnitude, char (&digits)[kSignificantDigits]);

/// Writes `value` with `decimals` (0 to 17) digits after the point into `out`
/// and returns the length; `out` needs kFixedTextMax bytes and is not
/// NUL-terminated. The value is first taken to 17 significant digits and that
/// digit string is then cut, rounding half away from zero: 0.25 gives "0.3",
/// 0.35 (stored as 0.34999...) gives "0.3". A negative value keeps its sign
/// even when it rounds to zero. Infinities are written "inf" and "-inf", a
/// not-a-number "nan".
std::size_t format_fixed(double value, int decimals, char* out);

/// Writes `value` in decimal, right-aligned with blanks in a field of `width`
/// characters (a longer number takes the room it needs), as printf's "%*d".
/// Returns the length; `out` needs max(width, kIntTextMax) bytes.
std::size_t format_int(int32_t value, int width, char* out);

/// Writes `value` so that the number reader gives back exactly `value`: the
/// fewest significant digits that do, plain for ordinary magnitudes and with
/// an exponent otherwise. `value` must be finite; `out` needs kRoundTripTextMax
/// bytes and is NUL-terminated. Returns the length.
constexpr std::size_t kRoundTripTextMax = 32;
std::size_t format_round_trip(double value, char* out);

/// Writes `value` (finite) rounded to `count` (1 to 17) significant digits,
/// half up on its first 17, trailing zeros dropped: where `plain`, in the
/// form format_round_trip chooses for that magnitude, otherwise always with
/// an exponent ("1.5e300", "-2e-7", "3e0"); zero is "0". `out` needs
/// kRoundTripTextMax bytes and is NUL-terminated. Returns the length.
std::size_t format_significant(double value, int count, bool plain, char* out);

}  // namespace vextal
