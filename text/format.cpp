#include "text/format.h"

#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>

#include "text/exact_decimal.h"
#include "text/numscan.h"

namespace vextal {
namespace {

constexpr int kSignificant = kSignificantDigits;

std::size_t copy_text(const char* text, char* out) {
    std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
}

// An unsigned 128-bit number as two halves.
struct U128 {
    uint64_t hi;
    uint64_t lo;
};

U128 multiply(uint64_t a, uint64_t b) {
#if defined(__SIZEOF_INT128__)
    __extension__ typedef unsigned __int128 Wide;
    const Wide p = static_cast<Wide>(a) * b;
    return {static_cast<uint64_t>(p >> 64), static_cast<uint64_t>(p)};
#else
    const uint64_t a_lo = a & 0xFFFFFFFFu, a_hi = a >> 32;
    const uint64_t b_lo = b & 0xFFFFFFFFu, b_hi = b >> 32;
    const uint64_t p0 = a_lo * b_lo, p1 = a_lo * b_hi, p2 = a_hi * b_lo, p3 = a_hi * b_hi;
    const uint64_t mid = (p0 >> 32) + (p1 & 0xFFFFFFFFu) + (p2 & 0xFFFFFFFFu);
    return {p3 + (p1 >> 32) + (p2 >> 32) + (mid >> 32), (p0 & 0xFFFFFFFFu) | (mid << 32)};
#endif
}

// p / 2^shift rounded half to even, for 0 < shift < 128 and a quotient below
// 2^64.
uint64_t shift_round_even(U128 p, int shift) {
    uint64_t q = 0;
    bool above_half = false, at_half = false;
    if (shift < 64) {
        q = (p.lo >> shift) | (p.hi << (64 - shift));
        const uint64_t rest = p.lo & ((uint64_t{1} << shift) - 1);
        const uint64_t half = uint64_t{1} << (shift - 1);
        above_half = rest > half;
        at_half = rest == half;
    } else if (shift == 64) {
        q = p.hi;
        above_half = p.lo > (uint64_t{1} << 63);
        at_half = p.lo == (uint64_t{1} << 63);
    } else {
        q = p.hi >> (shift - 64);
        const uint64_t rest_hi = p.hi & ((uint64_t{1} << (shift - 64)) - 1);
        const uint64_t half_hi = uint64_t{1} << (shift - 65);
        above_half = rest_hi > half_hi || (rest_hi == half_hi && p.lo != 0);
        at_half = rest_hi == half_hi && p.lo == 0;
    }
    if (above_half || (at_half && (q & 1) != 0)) ++q;
    return q;
}

// "00" "01" ... "99": two digits at a time halve the divisions.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> t{};
    for (std::size_t i = 0; i < 100; ++i) {
        t[2 * i] = static_cast<char>('0' + i / 10);
        t[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return t;
}();

// Writes the decimal digits of `value` so that they end just before `end`;
// returns where they start. Instantiated for 32 bits too, whose division by
// 100 is the cheaper one.
template <typename Unsigned>
char* digits_before(char* end, Unsigned value) {
    while (value >= 100) {
        const std::size_t pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (value >= 10) {
        *--end = kDigitPairs[static_cast<std::size_t>(value) * 2 + 1];
        *--end = kDigitPairs[static_cast<std::size_t>(value) * 2];
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

constexpr std::array<uint64_t, 23> kPowersOfFive = [] {
    std::array<uint64_t, 23> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 5;
    return p;
}();
constexpr uint64_t kTen16 = 10000000000000000u;
constexpr uint64_t kTen17 = 100000000000000000u;

// The common case done with integers: the 17 significant digits as the
// integer magnitude * 10^(16 - E), rounded, exact because the double is
// m * 2^e with integers m and e. Covers 1e-6 <= magnitude < 2^53 with the
// decimal point inside the 17 digits' reach; false where the slower exact
// conversion must do it.
bool significant_integer(double magnitude, uint64_t& digits, int& exp10) {
    uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    if (biased == 0 || biased == 0x7FF) return false;
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int e = biased - 1075;  // magnitude = m * 2^e
    // floor(log10(2^(e + 52))): the power of ten of the first digit, or one less.
    int power = ((e + 52) * 78913) >> 18;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int s = 16 - power;  // scale by 10^s = 5^s * 2^s
        if (s < 0 || s > 22 || e + s >= 0) return false;
        uint64_t n =
            shift_round_even(multiply(m, kPowersOfFive[static_cast<std::size_t>(s)]), -(e + s));
        if (n >= kTen17) {
            ++power;  // the estimate was one too low
            continue;
        }
        if (n < kTen16) return false;
        digits = n;
        exp10 = power;
        return true;
    }
    return false;
}

constexpr std::array<uint64_t, 18> kPowersOfTen = [] {
    std::array<uint64_t, 18> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
}();

// The fixed-point text from the 17-digit integer, when the first dropped
// digit lies within those digits or before them: the kept digits and that
// digit are one integer division away.
std::size_t fixed_from_integer(bool negative, uint64_t digits, int exp10, int decimals, char* out) {
    const int drop = 15 - exp10 - decimals;  // digits below the first dropped one
    uint64_t kept = drop <= 17 ? digits / kPowersOfTen[static_cast<std::size_t>(drop)] : 0;
    const uint64_t first_dropped = kept % 10;
    kept /= 10;
    if (first_dropped >= 5) ++kept;  // half away from zero

    // The digits of `kept`, with zeros in front up to the one before the point.
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    char* text = digits_before(end, kept);
    const char* const point = end - decimals;
    while (text >= point) *--text = '0';
    std::size_t n = 0;
    if (negative) out[n++] = '-';
    while (text < point) out[n++] = *text++;
    if (decimals > 0) {
        out[n++] = '.';
        while (text < end) out[n++] = *text++;
    }
    return n;
}

}  // namespace

int significant_digits(double magnitude, char (&digits)[kSignificant]) {
    uint64_t n = 0;
    int exp10 = 0;
    if (!significant_integer(magnitude, n, exp10)) n = exact_significant(magnitude, exp10);
    for (int i = kSignificant - 1; i >= 0; --i, n /= 10) {
        digits[i] = static_cast<char>('0' + n % 10);
    }
    return exp10;
}

std::size_t format_fixed(double value, int decimals, char* out) {
    if (decimals < 0) decimals = 0;
    if (decimals > 17) decimals = 17;
    if (std::isnan(value)) return copy_text("nan", out);
    if (std::isinf(value)) return copy_text(value < 0 ? "-inf" : "inf", out);

    double magnitude = std::fabs(value);
    uint64_t integer = 0;
    int exp10 = 0;
    if (magnitude != 0.0 && significant_integer(magnitude, integer, exp10) &&
        exp10 <= 15 - decimals) {
        return fixed_from_integer(std::signbit(value), integer, exp10, decimals, out);
    }

    // The 17 significant digits d[0..16] and the power of ten of d[0].
    char d[kSignificant];
    if (magnitude == 0.0) {
        std::memset(d, '0', sizeof d);
    } else {
        exp10 = significant_digits(magnitude, d);
    }
    auto digit_at = [&](int weight) -> char {
        int k = exp10 - weight;
        return (k >= 0 && k < kSignificant) ? d[k] : '0';
    };

    // The text is built in place: sign, a spare place for a carry, the
    // integer digits, the point and the decimals.
    std::size_t n = 0;
    if (std::signbit(value)) out[n++] = '-';
    const std::size_t carry = n;
    out[n++] = '0';
    for (int w = exp10 > 0 ? exp10 : 0; w >= 0; --w) out[n++] = digit_at(w);
    if (decimals > 0) out[n++] = '.';
    for (int w = -1; w >= -decimals; --w) out[n++] = digit_at(w);

    // Half away from zero on the digit string: the first dropped digit decides.
    if (digit_at(-decimals - 1) >= '5') {
        for (std::size_t i = n; i-- > carry;) {
            if (out[i] == '.') continue;
            if (out[i] != '9') {
                ++out[i];
                break;
            }
            out[i] = '0';
        }
    }
    if (out[carry] == '0') {
        std::memmove(out + carry, out + carry + 1, n - carry - 1);
        --n;
    }
    return n;
}

std::size_t format_int(int32_t value, int width, char* out) {
    // The magnitude as unsigned, so that INT32_MIN has one.
    const uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    // The length first, so that the digits go straight to their place.
    std::size_t len = 1;
    while (len < 10 && magnitude >= kPowersOfTen[len]) ++len;
    if (value < 0) ++len;
    std::size_t pad = (width > 0 && static_cast<std::size_t>(width) > len)
                          ? static_cast<std::size_t>(width) - len
                          : 0;
    for (std::size_t i = 0; i < pad; ++i) out[i] = ' ';
    char* text = digits_before(out + pad + len, magnitude);
    if (value < 0) *--text = '-';
    return pad + len;
}

namespace {

// Writes the significant digits d1 ... dn as d1.d2...dn e power.
std::size_t write_exponent(const char* digits, int count, int power, char* out) {
    std::size_t n = 0;
    out[n++] = digits[0];
    if (count > 1) out[n++] = '.';
    for (int i = 1; i < count; ++i) out[n++] = digits[i];
    out[n++] = 'e';
    n += format_int(power, 0, out + n);
    out[n] = '\0';
    return n;
}

// Writes the significant digits d1 ... dn (no trailing zero) of a number whose
// first digit stands for 10^power: plain for ordinary magnitudes, with an
// exponent otherwise.
std::size_t write_digits(const char* digits, int count, int power, char* out) {
    std::size_t n = 0;
    if (power >= 0 && power < kSignificantDigits) {
        for (int i = 0; i <= power; ++i) out[n++] = i < count ? digits[i] : '0';
        if (count > power + 1) out[n++] = '.';
        for (int i = power + 1; i < count; ++i) out[n++] = digits[i];
    } else if (power < 0 && power >= -5) {
        out[n++] = '0';
        out[n++] = '.';
        for (int i = 0; i < -power - 1; ++i) out[n++] = '0';
        for (int i = 0; i < count; ++i) out[n++] = digits[i];
    } else {
        return write_exponent(digits, count, power, out);
    }
    out[n] = '\0';
    return n;
}

}  // namespace

namespace {

// The first `count` (1 to 17) of the 17 significant digits, rounded half up
// on them, into `digits`; returns the power of ten of the first digit, one
// more where 9.99... rounds up to the next power of ten.
int round_digits(const char (&all)[kSignificantDigits], int power, int count,
                 char (&digits)[kSignificantDigits]) {
    std::memcpy(digits, all, static_cast<std::size_t>(count));
    if (count < kSignificantDigits && all[count] >= '5') {
        int i = count - 1;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            ++power;
        }
    }
    return power;
}

// The sign of `value` into `out`; false, with "0" written, for zero.
bool put_sign(double& value, char* out, std::size_t& n) {
    if (std::signbit(value)) {
        out[n++] = '-';
        value = -value;
    }
    if (value != 0.0) return true;
    out[n++] = '0';
    out[n] = '\0';
    return false;
}

int used_digits(const char (&digits)[kSignificantDigits], int count) {
    while (count > 1 && digits[count - 1] == '0') --count;
    return count;
}

}  // namespace

std::size_t format_round_trip(double value, char* out) {
    std::size_t n = 0;
    if (!put_sign(value, out, n)) return n;
    char all[kSignificantDigits];
    const int power = significant_digits(value, all);
    // The fewest digits that read back as the value; 17 always do. Above the
    // largest double the reader saturates, which is no reading back.
    for (int count = 1;; ++count) {
        char digits[kSignificantDigits];
        const int p = round_digits(all, power, count, digits);
        const std::size_t len = write_digits(digits, used_digits(digits, count), p, out + n);
        if (count == kSignificantDigits || (value < DBL_MAX && text_to_double(out + n) == value)) {
            return n + len;
        }
    }
}

std::size_t format_significant(double value, int count, bool plain, char* out) {
    std::size_t n = 0;
    if (!put_sign(value, out, n)) return n;
    count = count < 1 ? 1 : (count > kSignificantDigits ? kSignificantDigits : count);
    char all[kSignificantDigits];
    char digits[kSignificantDigits];
    const int p = round_digits(all, significant_digits(value, all), count, digits);
    const int used = used_digits(digits, count);
    return n + (plain ? write_digits(digits, used, p, out + n)
                      : write_exponent(digits, used, p, out + n));
}

}  // namespace vextal
