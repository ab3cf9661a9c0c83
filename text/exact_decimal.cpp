#include "text/exact_decimal.h"

#include <bit>
#include <cfloat>
#include <cstring>

namespace vextal {
namespace {

// An unsigned integer of up to 3200 bits in 32-bit limbs, least significant
// first. The largest number either conversion forms has about 2700 bits: 801
// digits (2661 bits) or 5^1131 (2627 bits), shifted by 63 bits to make room
// for a 64-bit quotient.
constexpr int kLimbs = 100;

struct Big {
    uint32_t limb[kLimbs];
    int size = 0;  // limbs in use; the top one is not zero
};

void trim(Big& a) {
    while (a.size > 0 && a.limb[a.size - 1] == 0) --a.size;
}

void set(Big& a, uint64_t value) {
    a.size = 0;
    for (; value != 0; value >>= 32) a.limb[a.size++] = static_cast<uint32_t>(value);
}

// a = a * factor + addend
void multiply_add(Big& a, uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (int i = 0; i < a.size; ++i) {
        const uint64_t p = uint64_t{a.limb[i]} * factor + carry;
        a.limb[i] = static_cast<uint32_t>(p);
        carry = p >> 32;
    }
    if (carry != 0 && a.size < kLimbs) a.limb[a.size++] = static_cast<uint32_t>(carry);
}

void multiply_pow5(Big& a, int k) {
    constexpr uint32_t kFive13 = 1220703125;  // the largest power of five in 32 bits
    for (; k >= 13; k -= 13) multiply_add(a, kFive13, 0);
    uint32_t rest = 1;
    for (; k > 0; --k) rest *= 5;
    multiply_add(a, rest, 0);
}

void shift_left(Big& a, int bits) {
    if (a.size == 0 || bits <= 0) return;
    const int limbs = bits / 32;
    const int r = bits % 32;
    int top = a.size + limbs;  // index of the new top limb when r > 0
    if (top >= kLimbs) top = kLimbs - 1;
    // From the top down, so that no limb is overwritten before it is read.
    for (int i = top; i >= 0; --i) {
        const int from = i - limbs;
        const uint64_t hi = (from >= 0 && from < a.size) ? a.limb[from] : 0;
        const uint64_t lo = (from - 1 >= 0 && from - 1 < a.size) ? a.limb[from - 1] : 0;
        a.limb[i] = r == 0 ? static_cast<uint32_t>(hi)
                           : static_cast<uint32_t>((hi << r) | (lo >> (32 - r)));
    }
    a.size = top + 1;
    trim(a);
}

void shift_right_one(Big& a) {
    for (int i = 0; i < a.size; ++i) {
        const uint32_t next = i + 1 < a.size ? a.limb[i + 1] : 0;
        a.limb[i] = (a.limb[i] >> 1) | (next << 31);
    }
    trim(a);
}

int bit_length(const Big& a) {
    if (a.size == 0) return 0;
    return (a.size - 1) * 32 + std::bit_width(a.limb[a.size - 1]);
}

int compare(const Big& a, const Big& b) {
    if (a.size != b.size) return a.size < b.size ? -1 : 1;
    for (int i = a.size; i-- > 0;) {
        if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i] ? -1 : 1;
    }
    return 0;
}

// a -= b, for a >= b.
void subtract(Big& a, const Big& b) {
    int64_t borrow = 0;
    for (int i = 0; i < a.size; ++i) {
        int64_t d = int64_t{a.limb[i]} - (i < b.size ? b.limb[i] : 0) - borrow;
        borrow = d < 0 ? 1 : 0;
        a.limb[i] = static_cast<uint32_t>(d + (borrow << 32));
    }
    trim(a);
}

// The quotient a / b, which must be below 2^64; a keeps the remainder.
uint64_t divide(Big& a, const Big& b) {
    Big t = b;
    shift_left(t, 63);
    uint64_t q = 0;
    for (int bit = 63; bit >= 0; --bit) {
        if (compare(a, t) >= 0) {
            subtract(a, t);
            q |= uint64_t{1} << bit;
        }
        if (bit > 0) shift_right_one(t);
    }
    return q;
}

double from_bits(uint64_t bits) {
    double d = 0;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// The double nearest to (q + f) * 2^e, ties to even, where 2^62 <= q < 2^64
// and 0 <= f < 1 is not zero exactly when `sticky`.
double round_to_double(uint64_t q, bool sticky, int e) {
    int shift = std::bit_width(q) - 53;        // keep 53 bits
    if (e + shift < -1074) shift = -1074 - e;  // below the normal range: keep bits down to 2^-1074
    if (shift > 64) return 0.0;                // below half the smallest double
    uint64_t m = 0;
    if (shift == 64) {
        const uint64_t half = uint64_t{1} << 63;
        m = (q > half || (q == half && sticky)) ? 1 : 0;
    } else {
        m = q >> shift;
        const uint64_t rest = q & ((uint64_t{1} << shift) - 1);
        const uint64_t half = uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (sticky || (m & 1) != 0))) ++m;
    }
    constexpr uint64_t kHidden = uint64_t{1} << 52;
    if (m < kHidden) return from_bits(m);  // a subnormal, or zero
    // m * 2^(e + shift) with 2^52 <= m <= 2^53: a carry out of the 53 bits
    // moves into the exponent field by itself.
    const int biased = e + shift + 1075;
    if (biased >= 2047) return DBL_MAX;
    const uint64_t bits = (static_cast<uint64_t>(biased) << 52) + (m - kHidden);
    return bits >= 0x7FF0000000000000u ? DBL_MAX : from_bits(bits);
}

}  // namespace

double decimal_to_double(const char* digits, std::size_t count, int exp10) {
    if (count == 0 || count > kMaxExactDigits) return 0.0;
    // The value lies in [10^(exp10 - 1), 10^exp10).
    if (exp10 > 310) return DBL_MAX;
    if (exp10 < -330) return 0.0;

    // value = D * 10^s = D * 5^s * 2^s with the integer D of all the digits.
    Big a;
    a.size = 0;
    for (std::size_t i = 0; i < count; ++i) {
        multiply_add(a, 10, static_cast<uint32_t>(digits[i] - '0'));
    }
    const int s = exp10 - static_cast<int>(count);
    Big b;
    set(b, 1);
    if (s >= 0) {
        multiply_pow5(a, s);
    } else {
        multiply_pow5(b, -s);
    }
    // value = a / b * 2^e; scale so that a has 63 bits more than b, which
    // puts the quotient between 2^62 and 2^64.
    int e = s;
    const int shift = bit_length(b) + 63 - bit_length(a);
    if (shift > 0) {
        shift_left(a, shift);
    } else {
        shift_left(b, -shift);
    }
    e -= shift;
    const uint64_t q = divide(a, b);
    return round_to_double(q, a.size != 0, e);
}

uint64_t exact_significant(double magnitude, int& exp10) {
    uint64_t bits = 0;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    uint64_t m = bits & ((uint64_t{1} << 52) - 1);
    int e = -1074;  // magnitude = m * 2^e
    if (biased != 0) {
        m |= uint64_t{1} << 52;
        e = biased - 1075;
    }
    // floor(log10(2^b)) for the leading bit's weight 2^b: the power of ten of
    // the first digit, or one less.
    const int b = e + std::bit_width(m) - 1;
    int power = (b * 78913) >> 18;
    constexpr uint64_t kTen17 = 100000000000000000u;
    uint64_t q = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // q = magnitude * 10^(16 - power) = m * 5^s * 2^(e + s), rounded.
        const int s = 16 - power;
        Big num;
        Big den;
        set(num, m);
        set(den, 1);
        if (s >= 0) {
            multiply_pow5(num, s);
        } else {
            multiply_pow5(den, -s);
        }
        if (e + s >= 0) {
            shift_left(num, e + s);
        } else {
            shift_left(den, -(e + s));
        }
        q = divide(num, den);
        shift_left(num, 1);  // twice the remainder against the divisor: half to even
        const int c = compare(num, den);
        if (c > 0 || (c == 0 && (q & 1) != 0)) ++q;
        if (q < kTen17) break;
        ++power;  // the estimate was one too low
    }
    exp10 = power;
    return q;
}

}  // namespace vextal
