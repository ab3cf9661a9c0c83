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

// text_to_double's rule from `p` on, with no white space skipped; returns
// where the number ends, or nullptr (value 0.0) where no digit can be read.
const char* read_decimal(const char* p, double& value) {
    value = 0.0;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    // The mantissa is rewritten as significant digits d1 d2 ... dn with the
    // decimal point after the last of them, so its value is 0.d1...dn times
    // 10^(point) where point counts the digits before the decimal point.
    std::array<char, kMaxExactDigits> buf;
    std::size_t n = 0;
    bool any_digit = false;
    bool sticky = false;
    bool seen_point = false;
    long long point = 0;  // position of the decimal point relative to the first significant digit
    for (;; ++p) {
        if (is_digit(*p)) {
            any_digit = true;
            if (n == 0 && *p == '0') {
                if (seen_point) --point;  // leading zeros after the point shift it
                continue;
            }
            if (n < kMaxSignificant) {
                buf[n++] = *p;
            } else if (*p != '0') {
                sticky = true;
            }
            if (!seen_point && point < kExponentClamp) ++point;
        } else if (*p == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    if (!any_digit) return nullptr;

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
            p = q;
        }
    }

    if (n == 0) {
        value = negative ? -0.0 : 0.0;
        return p;
    }
    if (sticky) buf[n++] = '1';

    // A value of 0.d1... times 10^e: below 10^-324 it is zero, above 10^309 it
    // exceeds every double.
    long long e = point + exponent;
    if (e > 310 || e < -330) {
        value = e > 310 ? DBL_MAX : 0.0;
        value = negative ? -value : value;
        return p;
    }

    // Up to 15 digits make an integer that a double holds exactly, and
    // 10^0 .. 10^22 are exact doubles too: one multiplication or division
    // then rounds correctly, and the exact conversion is not needed.
    const long long scale = e - static_cast<long long>(n);
    if (!sticky && n <= 15 && scale >= -22 && scale <= 22) {
        int64_t digits = 0;
        for (std::size_t i = 0; i < n; ++i) digits = digits * 10 + (buf[i] - '0');
        value = static_cast<double>(digits);
        value = scale >= 0 ? value * kExactPowersOfTen[static_cast<std::size_t>(scale)]
                           : value / kExactPowersOfTen[static_cast<std::size_t>(-scale)];
        value = negative ? -value : value;
        return p;
    }

    value = decimal_to_double(buf.data(), n, static_cast<int>(e));
    value = negative ? -value : value;
    return p;
}

}  // namespace

double text_to_double(const char* text) {
    double value = 0.0;
    read_decimal(skip_space(text), value);
    return value;
}

const char* scan_decimal(const char* text, double& value) {
    double v = 0.0;
    const char* end = read_decimal(text, v);
    if (end != nullptr) value = v;
    return end;
}

}  // namespace vextal
