#include "picture/svg_writer.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "text/format.h"
#include "text/utf8.h"

namespace vextal {
namespace {

void put_bytes(Svg& svg, const char* data, std::size_t size) {
    out_bytes(*svg.out, data, size);
}

}  // namespace

namespace {

// Characters that XML cannot hold or that would show as nothing: the
// controls (C0, DEL, C1) and the two non-characters at the end of the
// 16-bit range.
bool dropped(uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0xFFFE || code == 0xFFFF;
}

// Escapes the `size` bytes of `text`, whole characters only.
std::size_t escape_bytes(const char* text, std::size_t size, char* out) {
    std::size_t n = 0;
    auto put = [&](const char* s) {
        std::size_t len = std::strlen(s);
        std::memcpy(out + n, s, len);
        n += len;
    };
    for (std::size_t i = 0; i < size;) {
        const TextChar c = decode_text_char(text + i, size - i);
        i += c.length;
        if (dropped(c.code)) continue;
        if (c.code == '<') {
            put("&lt;");
        } else if (c.code == '>') {
            put("&gt;");
        } else if (c.code == '&') {
            put("&amp;");
        } else if (c.code == '"') {
            put("&quot;");
        } else if (c.code == '\'') {
            put("&#39;");
        } else if (c.code > 0x7F) {
            put("&#");
            n += format_int(static_cast<int32_t>(c.code), 0, out + n);
            put(";");
        } else {
            out[n++] = static_cast<char>(c.code);
        }
    }
    return n;
}

// The bytes of the whole characters of `text` (`size` bytes) that lie
// within its first `limit` bytes.
std::size_t whole_within(const char* text, std::size_t size, std::size_t limit) {
    std::size_t i = 0;
    while (i < size) {
        const std::size_t next = i + decode_text_char(text + i, size - i).length;
        if (next > limit) break;
        i = next;
    }
    return i;
}

// Head bytes of a name cut in the middle that stay at least, where the file
// name leaves room for them.
constexpr std::size_t kMinHead = 10;

}  // namespace

std::size_t escape_xml_text(const char* text, std::size_t limit, char* out) {
    // Enough of the text to tell whether a character crosses the limit.
    std::size_t size = 0;
    while (size < limit + 4 && text[size] != '\0') ++size;
    const std::size_t taken = whole_within(text, size, limit);
    std::size_t n = escape_bytes(text, taken, out);
    if (taken < size) {
        std::memcpy(out + n, "...", 3);
        n += 3;
    }
    return n;
}

std::size_t escape_xml_name(const char* name, std::size_t limit, char* out) {
    const std::size_t size = std::strlen(name);
    if (size <= limit || limit < 3 + 2 * 4) return escape_xml_text(name, limit, out);
    // Keep the file name, from the last folder separator on, where it leaves
    // room for a head; else keep as much of the start as of the end.
    const char* slash = std::strrchr(name, '/');
    const char* backslash = std::strrchr(name, '\\');
    const char* part = slash > backslash ? slash : backslash;
    const std::size_t room = limit - 3;
    std::size_t tail = part != nullptr ? static_cast<std::size_t>(name + size - part) : size;
    if (tail + kMinHead > room) tail = room - room / 2;
    const std::size_t head = whole_within(name, size, room - tail);
    // The tail starts at the first character boundary that leaves at most
    // `tail` bytes.
    std::size_t from = head;
    while (from < size && size - from > tail)
        from += decode_text_char(name + from, size - from).length;
    std::size_t n = escape_bytes(name, head, out);
    std::memcpy(out + n, "...", 3);
    n += 3;
    return n + escape_bytes(name + from, size - from, out + n);
}

void svg_put_coord(Svg& svg, double v) {
    char text[kFixedTextMax];
    put_bytes(svg, text, format_fixed(v, 1, text));
}

void svg_attr(Svg& svg, const char* name, double v) {
    svg_put(svg, " ");
    svg_put(svg, name);
    svg_put(svg, "=\"");
    svg_put_coord(svg, v);
    svg_put(svg, "\"");
}

void svg_attr(Svg& svg, const char* name, const char* v) {
    svg_put(svg, " ");
    svg_put(svg, name);
    svg_put(svg, "=\"");
    svg_put(svg, v);
    svg_put(svg, "\"");
}

void svg_begin(Svg& svg, int32_t width, int32_t height) {
    svg_put(svg, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    svg_put(svg, "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"");
    svg_put_int(svg, width);
    svg_put(svg, "\" height=\"");
    svg_put_int(svg, height);
    svg_put(svg, "\" viewBox=\"0 0 ");
    svg_put_int(svg, width);
    svg_put(svg, " ");
    svg_put_int(svg, height);
    svg_put(svg, "\" font-family=\"sans-serif\">\n");
    svg_rect(svg, 0, 0, width, height, style::kPaper, "none");
}

void svg_end(Svg& svg) {
    svg_put(svg, "</svg>\n");
}

void svg_shift_open(Svg& svg, double dy) {
    if (dy == 0.0) return;
    svg_put(svg, "<g transform=\"translate(0 ");
    svg_put_coord(svg, dy);
    svg_put(svg, ")\">\n");
}

void svg_shift_close(Svg& svg, double dy) {
    if (dy != 0.0) svg_put(svg, "</g>\n");
}

void svg_put(Svg& svg, const char* text) {
    out_text(*svg.out, text);
}

void svg_put_int(Svg& svg, int32_t value) {
    char text[kIntTextMax];
    put_bytes(svg, text, format_int(value, 0, text));
}

namespace {

// Longest value written with a fixed number of decimals; a longer one is
// written with an exponent.
constexpr std::size_t kMaxFixedValue = 12;
// Significant digits of a value written with an exponent.
constexpr int kValueDigits = 4;

// `value` with `decimals`, trailing zeros dropped where `trim`; false where
// that is too long or shows a value that is not zero as zero.
bool fixed_text(double value, int decimals, bool trim, char (&text)[kFixedTextMax],
                std::size_t& n) {
    n = format_fixed(value, decimals, text);
    if (trim && std::memchr(text, '.', n) != nullptr) {
        while (text[n - 1] == '0') --n;
        if (text[n - 1] == '.') --n;
    }
    if (!std::isfinite(value)) return true;
    bool digit = false;
    for (std::size_t i = 0; i < n; ++i) digit = digit || (text[i] >= '1' && text[i] <= '9');
    return n <= kMaxFixedValue && (digit || value == 0.0);
}

// `value` with `count` significant digits and an exponent; "inf", "-inf" or
// "nan" where it is not finite.
std::size_t significant_text(double value, int count, char (&text)[kFixedTextMax]) {
    if (!std::isfinite(value)) return format_fixed(value, 0, text);
    return format_significant(value, count, false, text);
}

}  // namespace

void svg_put_value(Svg& svg, double value, int decimals, bool trim) {
    char text[kFixedTextMax];
    std::size_t n = 0;
    if (!fixed_text(value, decimals, trim, text, n))
        n = significant_text(value, kValueDigits, text);
    put_bytes(svg, text, n);
}

void svg_put_short(Svg& svg, double value) {
    svg_put_value(svg, value, 3, true);
}

std::size_t pair_text(double a, const char* between, double b, int decimals, bool trim,
                      char (&out)[kPairTextMax]) {
    char ta[kFixedTextMax];
    char tb[kFixedTextMax];
    std::size_t na = 0;
    std::size_t nb = 0;
    auto apart = [&] { return a == b || na != nb || std::memcmp(ta, tb, na) != 0; };
    bool found = false;
    // More decimals while the texts stay short: "0.00006 to 0.00080".
    for (int d = decimals; d <= kSignificantDigits && !found; ++d) {
        const bool fit_a = fixed_text(a, d, trim, ta, na);
        const bool fit_b = fixed_text(b, d, trim, tb, nb);
        if (na > kMaxFixedValue || nb > kMaxFixedValue) break;
        found = fit_a && fit_b && apart();
    }
    // Seventeen digits tell any two doubles apart.
    for (int count = kValueDigits; count <= kSignificantDigits && !found; ++count) {
        na = significant_text(a, count, ta);
        nb = significant_text(b, count, tb);
        found = apart();
    }
    // Values that need more than 24 characters are cut there (only an
    // infinity or such an end could).
    constexpr std::size_t kValueMax = (kPairTextMax - 16) / 2;
    na = na < kValueMax ? na : kValueMax;
    nb = nb < kValueMax ? nb : kValueMax;
    const std::size_t nbetween = std::strlen(between) < 15 ? std::strlen(between) : 15;
    std::size_t n = 0;
    std::memcpy(out + n, ta, na);
    n += na;
    std::memcpy(out + n, between, nbetween);
    n += nbetween;
    std::memcpy(out + n, tb, nb);
    n += nb;
    out[n] = '\0';
    return n;
}

std::size_t pair_with_unit(double a, const char* between, double b, int decimals, bool trim,
                           const char* unit, char (&out)[kPairWithUnitMax]) {
    char pair[kPairTextMax];
    const std::size_t size = pair_text(a, "\t", b, decimals, trim, pair);
    const std::size_t tab = static_cast<std::size_t>(std::strchr(pair, '\t') - pair);
    char shown[escaped_size(kMaxUnitShown) + 1] = " ";
    const std::size_t n_unit =
        unit == nullptr ? 0 : 1 + escape_xml_text(unit, kMaxUnitShown, shown + 1);
    const std::size_t n_between = std::strlen(between) < 15 ? std::strlen(between) : 15;
    std::size_t n = 0;
    auto put = [&](const char* text, std::size_t count) {
        std::memcpy(out + n, text, count);
        n += count;
    };
    put(pair, tab);
    put(shown, n_unit);
    put(between, n_between);
    put(pair + tab + 1, size - tab - 1);
    put(shown, n_unit);
    out[n] = '\0';
    return n;
}

void svg_put_pair(Svg& svg, double a, const char* between, double b, int decimals, bool trim) {
    char text[kPairTextMax];
    put_bytes(svg, text, pair_text(a, between, b, decimals, trim, text));
}

namespace {

constexpr std::size_t kMaxEscaped = 120;

}  // namespace

void svg_put_escaped(Svg& svg, const char* text, std::size_t limit) {
    char escaped[escaped_size(kMaxEscaped)];
    put_bytes(svg, escaped,
              escape_xml_text(text, limit < kMaxEscaped ? limit : kMaxEscaped, escaped));
}

void svg_put_piece(Svg& svg, const char* text, std::size_t size) {
    char escaped[escaped_size(kMaxEscaped)];
    put_bytes(svg, escaped, escape_bytes(text, size < kMaxEscaped ? size : kMaxEscaped, escaped));
}

void svg_put_name(Svg& svg, const char* name, std::size_t limit) {
    char escaped[escaped_size(kMaxEscaped)];
    put_bytes(svg, escaped,
              escape_xml_name(name, limit < kMaxEscaped ? limit : kMaxEscaped, escaped));
}

void svg_text_open(Svg& svg, double x, double y, int size, Face face, const char* anchor,
                   const char* fill) {
    svg_put(svg, "<text");
    svg_attr(svg, "x", x);
    svg_attr(svg, "y", y);
    svg_put(svg, " font-size=\"");
    svg_put_int(svg, size);
    svg_put(svg, "\"");
    if (face == Face::kBold) svg_attr(svg, "font-weight", "bold");
    if (face == Face::kItalic) svg_attr(svg, "font-style", "italic");
    svg_attr(svg, "text-anchor", anchor);
    svg_attr(svg, "fill", fill);
    svg_put(svg, ">");
}

void svg_text_close(Svg& svg) {
    svg_put(svg, "</text>\n");
}

void svg_heading(Svg& svg, double y, const char* text) {
    svg_text_open(svg, style::kPlotLeft, y, style::kHeadingSize, Face::kBold, "start", style::kInk);
    svg_put(svg, text);
    svg_text_close(svg);
}

void svg_rect(Svg& svg, double x, double y, double w, double h, const char* fill,
              const char* stroke) {
    svg_put(svg, "<rect");
    svg_attr(svg, "x", x);
    svg_attr(svg, "y", y);
    svg_attr(svg, "width", w < 0 ? 0 : w);
    svg_attr(svg, "height", h < 0 ? 0 : h);
    svg_attr(svg, "fill", fill);
    svg_attr(svg, "stroke", stroke);
    svg_put(svg, "/>\n");
}

}  // namespace vextal
