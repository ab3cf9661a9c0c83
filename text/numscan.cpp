#include "text/numscan.h"

#include <array>
#include <cfloat>
#include <cstddef>

#include "text/exact_decimal.h"

namespace vextal {
namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

const char* skip_space(const char* p) {
    while (is_space(*p)) ++p;
    return p;
}

// Enough significant digits to round any decimal text correctly to a double;
// further non-zero digits only need to be known to exist (a sticky digit).
constexpr std::size_t kMaxSignificant = kMaxExactDigits - 1;
// Exponents are clamped well outside the double range, so that the sum of the
// written exponent and the decimal point's shift can never overflow.
constexpr long long kExponentClamp = 100000;

// The powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Digits with at most one decimal point and no exponent, at most 15 digits:
// the integer of all the digits is exact in a double, and one division by an
// exact power of ten rounds correctly. Returns the end, or nullptr for any
// other text.
const char* short_decimal(const char* p, double& value) {
    // Unsigned arithmetic may wrap on a long text; such a text is refused by
    // its length.
    uint64_t digits = 0;
    const char* const start = p;
    for (; is_digit(*p); ++p) digits = digits * 10 + static_cast<unsigned>(*p - '0');
    std::ptrdiff_t count = p - start;
    std::ptrdiff_t decimals = 0;
    if (*p == '.') {
        const char* const fraction = ++p;
        for (; is_digit(*p); ++p) digits = digits * 10 + static_cast<unsigned>(*p - '0');
        decimals = p - fraction;
        count += decimals;
    }
    if (count == 0 || count > 15 || *p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        return nullptr;
    }
    value = static_cast<double>(digits) / kExactPowersOfTen[decimals];
    return p;
}

// A decimal text as significant digits d1 d2 ... dn (at most
// kMaxSignificant; `sticky` where non-zero digits follow them) and the power
// of ten e of its value 0.d1...dn times 10^e.
struct DecimalDigits {
    bool negative = false;
    bool any_digit = false;
    bool sticky = false;
    std::array<char, kMaxExactDigits> buf;
    std::size_t n = 0;
    long long e = 0;
    const char* end = nullptr;  ///< where the number ends
};

// Reads the number at `p` as text_to_double does after the white space: a
// sign, digits with at most one point, an exponent.
void read_digits(const char* p, DecimalDigits& d) {
    if (*p == '+' || *p == '-') {
        d.negative = (*p == '-');
        ++p;
    }
    bool seen_point = false;
    long long point = 0;  // position of the decimal point relative to the first significant digit
    for (;; ++p) {
        if (is_digit(*p)) {
            d.any_digit = true;
            if (d.n == 0 && *p == '0') {
                if (seen_point) --point;  // leading zeros after the point shift it
                continue;
            }
            if (d.n < kMaxSignificant) {
                d.buf[d.n++] = *p;
            } else if (*p != '0') {
                d.sticky = true;
            }
            if (!seen_point && point < kExponentClamp) ++point;
        } else if (*p == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    d.end = p;
    if (!d.any_digit) return;

    long long exponent = 0;
    if (*p == 'e' || *p == 'E' || *p == 'd' || *p == 'D') {
        const char* q = p + 1;
        bool exp_negative = false;
        if (*q == '+' || *q == '-') {
            exp_negative = (*q == '-');
            ++q;
        }
        if (is_digit(*q)) {
            for (; is_digit(*q); ++q) {
                if (exponent < kExponentClamp) exponent = exponent * 10 + (*q - '0');
            }
            if (exp_negative) exponent = -exponent;
            d.end = q;
        }
    }
    d.e = point + exponent;
}

}  // namespace

int32_t text_to_int(const char* text) {
    const char* p = skip_space(text);
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // Accumulate as a negative number so that INT32_MIN is reachable.
    int64_t value = 0;
    bool saturated = false;
    for (; is_digit(*p); ++p) {
        if (!saturated) {
            value = value * 10 - (*p - '0');
            if (value < -static_cast<int64_t>(INT32_MAX) - 1) saturated = true;
        }
    }
    if (saturated) return negative ? INT32_MIN : INT32_MAX;
    if (negative) return static_cast<int32_t>(value);
    if (value < -static_cast<int64_t>(INT32_MAX)) return INT32_MAX;
    return static_cast<int32_t>(-value);
}

const char* scan_plain_int(const char* text, int32_t& value) {
    uint32_t v = 0;
    const char* p = text;
    for (; is_digit(*p) && p - text < 10; ++p) v = v * 10 + static_cast<unsigned>(*p - '0');
    if (p == text || p - text > 9) return nullptr;
    value = static_cast<int32_t>(v);
    return p;
}

const char* scan_plain_decimal(const char* text, double& value) {
    const bool negative = *text == '-';
    double v = 0.0;
    const char* end = short_decimal(negative ? text + 1 : text, v);
    // A second point ends the number for text_to_double but not here.
    if (end == nullptr || *end == '.') return nullptr;
    value = negative ? -v : v;
    return end;
}

namespace {

// The double nearest to the digits read (none read: 0.0).
double digits_to_double(DecimalDigits& d) {
    if (!d.any_digit) return 0.0;
    const bool negative = d.negative;
    std::array<char, kMaxExactDigits>& buf = d.buf;
    std::size_t n = d.n;
    const bool sticky = d.sticky;

    if (n == 0) return negative ? -0.0 : 0.0;
    if (sticky) buf[n++] = '1';

    // A value of 0.d1... times 10^e: below 10^-324 it is zero, above 10^309 it
    // exceeds every double.
    const long long e = d.e;
    if (e > 310) return negative ? -DBL_MAX : DBL_MAX;
    if (e < -330) return negative ? -0.0 : 0.0;

    // Up to 15 digits make an integer that a double holds exactly, and
    // 10^0 .. 10^22 are exact doubles too: one multiplication or division
    // then rounds correctly, and the exact conversion is not needed.
    const long long scale = e - static_cast<long long>(n);
    if (!sticky && n <= 15 && scale >= -22 && scale <= 22) {
        int64_t digits = 0;
        for (std::size_t i = 0; i < n; ++i) digits = digits * 10 + (buf[i] - '0');
        double value = static_cast<double>(digits);
        value = scale >= 0 ? value * kExactPowersOfTen[static_cast<std::size_t>(scale)]
                           : value / kExactPowersOfTen[static_cast<std::size_t>(-scale)];
        return negative ? -value : value;
    }

    const double value = decimal_to_double(buf.data(), n, static_cast<int>(e));
    return negative ? -value : value;
}

}  // namespace

double text_to_double(const char* text) {
    DecimalDigits d;
    read_digits(skip_space(text), d);
    return digits_to_double(d);
}

const char* scan_decimal(const char* text, double& value) {
    DecimalDigits d;
    read_digits(text, d);
    if (!d.any_digit) return nullptr;
    value = digits_to_double(d);
    return d.end;
}

bool round_decimal_text(const char* text, int32_t& value, bool& changed) {
    DecimalDigits d;
    read_digits(skip_space(text), d);
    // 0.d1...dn times 10^e: its whole part is the first e digits, and the
    // digit after them decides the rounding, halves away from zero.
    if (d.n == 0) {
        value = 0;
        changed = false;
        return true;
    }
    if (d.e > 10) return false;  // at least ten digits before the point
    const std::size_t whole = d.e > 0 ? static_cast<std::size_t>(d.e) : 0;
    int64_t magnitude = 0;
    for (std::size_t i = 0; i < whole; ++i)
        magnitude = magnitude * 10 + (i < d.n ? d.buf[i] - '0' : 0);
    if (d.e >= 0 && whole < d.n && d.buf[whole] >= '5') ++magnitude;
    bool fraction = d.sticky;
    for (std::size_t i = whole; i < d.n; ++i) fraction = fraction || d.buf[i] != '0';
    const int64_t signed_value = d.negative ? -magnitude : magnitude;
    if (signed_value < INT32_MIN || signed_value > INT32_MAX) return false;
    value = static_cast<int32_t>(signed_value);
    changed = fraction;
    return true;
}

}  // namespace vextal
