#include "format.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace vextal {
namespace {

constexpr int kSignificant = 17;

std::size_t copy_text(const char* text, char* out) {
    std::size_t n = std::strlen(text);
    std::memcpy(out, text, n);
    return n;
}

}  // namespace

std::size_t format_fixed(double value, int decimals, char* out) {
    if (decimals < 0) decimals = 0;
    if (decimals > 17) decimals = 17;
    if (std::isnan(value)) return copy_text("nan", out);
    if (std::isinf(value)) return copy_text(value < 0 ? "-inf" : "inf", out);

    // The 17 significant digits d[0..16] and the power of ten of d[0].
    std::array<char, kSignificant> d;
    int exp10 = 0;
    double magnitude = std::fabs(value);
    if (magnitude == 0.0) {
        d.fill('0');
    } else {
        std::array<char, 40> sci;
        auto r = std::to_chars(sci.data(), sci.data() + sci.size(), magnitude,
                               std::chars_format::scientific, kSignificant - 1);
        // Layout: d.dddddddddddddddde[+-]xx
        const char* p = sci.data();
        d[0] = p[0];
        std::memcpy(d.data() + 1, p + 2, kSignificant - 1);
        const char* e = p + kSignificant + 2;  // after the 'e'
        std::from_chars(e[0] == '+' ? e + 1 : e, r.ptr, exp10);
    }
    auto digit_at = [&](int weight) -> char {
        int k = exp10 - weight;
        return (k >= 0 && k < kSignificant) ? d[static_cast<std::size_t>(k)] : '0';
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
    std::array<char, kIntTextMax> text{};
    auto r = std::to_chars(text.data(), text.data() + text.size(), value);
    std::size_t len = static_cast<std::size_t>(r.ptr - text.data());
    std::size_t pad = (width > 0 && static_cast<std::size_t>(width) > len)
                          ? static_cast<std::size_t>(width) - len
                          : 0;
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text.data(), len);
    return pad + len;
}

}  // namespace vextal
