// Text to number, as the program reads numbers everywhere: from the command
// line and from attribute values of the measurement file.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

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

// The word-at-a-time helpers of the two readers below, and the powers of ten
// that every reader here divides by.
namespace numscan_detail {

// Eight characters as one word, the first in the lowest byte.
inline uint64_t load8(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

// The top bit of each byte of `word` that is not a digit. Each byte is
// tested on its own: no carry crosses into the next.
inline uint64_t non_digits(uint64_t word) {
    const uint64_t x = word ^ 0x3030303030303030ULL;  // a digit's byte becomes 0..9
    return (x | ((x & 0x7F7F7F7F7F7F7F7FULL) + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
}

// How many of the eight characters of `word` are digits before the first
// other one (8: all of them).
inline int digit_run(uint64_t word) {
    const uint64_t other = non_digits(word);
    return other == 0 ? 8 : std::countr_zero(other) / 8;
}

// The value of the first `n` (1 to 7) digits of `word`: moved to the top so
// that the bytes below them count as leading zeros, then combined in pairs,
// fours and the final eight.
inline uint32_t digits_value(uint64_t word, int n) {
    uint64_t v = (word & 0x0F0F0F0F0F0F0F0FULL) << (64 - 8 * n);
    v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
    return static_cast<uint32_t>(v * 10000 + (v >> 32));
}

inline constexpr uint32_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};
// The powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace numscan_detail

/// The same two readers for numbers of up to 7 digits before and 7 after the
/// point, reading eight characters at a time; the 24 characters from `text`
/// must be readable, and need not hold a NUL. They return what
/// scan_plain_int and scan_plain_decimal return for the same text, or
/// nullptr for a longer number, which the caller then reads the general way.
/// Inline, so that a reading loop keeps its values in registers.
inline const char* scan_short_int(const char* text, int32_t& value) {
    using namespace numscan_detail;
    const uint64_t word = load8(text);
    const int n = digit_run(word);
    if (n == 0 || n == 8) return nullptr;
    value = static_cast<int32_t>(digits_value(word, n));
    return text + n;
}

inline const char* scan_short_decimal(const char* text, double& value) {
    using namespace numscan_detail;
    const bool negative = *text == '-';
    const char* p = negative ? text + 1 : text;
    const uint64_t word = load8(p);
    const uint64_t other = non_digits(word);
    if (other == 0) return nullptr;  // eight digits or more before the point
    const int whole = std::countr_zero(other) / 8;
    uint64_t digits = 0;
    int decimals = 0;
    const char* end = p + whole;
    if (*end != '.') {
        if (whole == 0) return nullptr;
        digits = digits_value(word, whole);
    } else if (const uint64_t after = other & (other - 1); after != 0) {
        // The usual case: the number ends within these eight characters. The
        // digits after the point move down one place over it.
        const int length = std::countr_zero(after) / 8;
        decimals = length - whole - 1;
        if (length == 1) return nullptr;  // a point alone
        const uint64_t below = (uint64_t{1} << (8 * whole)) - 1;
        digits = digits_value((word & below) | ((word >> 8) & ~below), length - 1);
        end = p + length;
    } else {
        // The fraction runs on into the next eight characters.
        const uint64_t fraction = load8(end + 1);
        decimals = digit_run(fraction);
        if (decimals == 8) return nullptr;
        if (whole > 0) digits = digits_value(word, whole);
        if (decimals > 0) {
            digits = digits * kPowersOfTen[decimals] + digits_value(fraction, decimals);
        }
        end += 1 + decimals;
    }
    if (*end == '.' || *end == 'e' || *end == 'E' || *end == 'd' || *end == 'D') return nullptr;
    const double v = static_cast<double>(digits) / kExactPowersOfTen[decimals];
    value = negative ? -v : v;
    return end;
}

}  // namespace vextal
