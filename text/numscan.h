// Text to number, as the program reads numbers everywhere: from the command
// line and from attribute values of the measurement file.
#pragma once

#include <cstdint>

namespace vextal {

/// Integer conversion: leading white space, an optional sign, decimal digits up
/// to the first other character; 0 when no digit follows. Saturates at the
/// 32-bit range.
int32_t text_to_int(const char* text);

/// Decimal conversion: leading white space, an optional sign, digits with at
/// most one decimal point, an optional exponent introduced by e, E, d or D
/// (taken only when digits follow it); 0.0 when no digit can be read. No
/// hexadecimal, infinity or not-a-number words. Saturates at the largest
/// finite double; values too small for a double become zero of their sign.
double text_to_double(const char* text);

/// The number `text` reads as for text_to_double, rounded to the nearest
/// whole number, halves away from zero, on its decimal digits themselves, so
/// that no rounding to a double comes first (2.4999999999999999 gives 2).
/// `changed` says whether the number had a fraction. False, storing
/// nothing, where the result is beyond the 32-bit range.
bool round_decimal_text(const char* text, int32_t& value, bool& changed);

/// text_to_double's rule with no white space skipped, for a caller that
/// checks what follows: returns the position after the number and stores its
/// value, or returns nullptr, storing nothing, where no digit can be read.
const char* scan_decimal(const char* text, double& value);

/// The common short forms, read in one pass with where they end, for a caller
/// that checks what follows. scan_plain_int takes 1 to 9 digits; it returns
/// the position after them and stores the value text_to_int gives for the
/// same text. scan_plain_decimal takes an optional '-' and digits with at most
/// one point, 1 to 15 digits in all, not followed by a digit, point or
/// exponent letter; it returns the position after them and stores the value
/// text_to_double gives. Both return nullptr, storing nothing, for any other
/// text.
const char* scan_plain_int(const char* text, int32_t& value);
const char* scan_plain_decimal(const char* text, double& value);

}  // namespace vextal
