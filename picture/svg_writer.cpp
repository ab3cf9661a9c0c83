#include "picture/svg_writer.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "text/format.h"

namespace vextal {
namespace {

// The document being written; set by svg_begin.
OutFile* doc = nullptr;

// A coordinate far outside the picture is held here, so that no value, however
// large, turns into a number a renderer cannot take.
constexpr double kReach = 10000.0;
// Markers written per line inside one element's point list.
constexpr int kPointsPerLine = 10;
// Rough advance of one character of the legend's 15-pixel text.
constexpr double kLegendCharWidth = 8.4;

enum class Shape { kNone, kPolyline, kDots, kSquares, kCrosses };

// No pointer to a text as a default: its address would be written at every
// start of the program, setting up this page of memory for nothing.
struct Element {
    Shape shape = Shape::kNone;
    const char* colour = nullptr;
    double width = 1.0;
    int points = 0;
};
Element element;

void put_bytes(const char* data, std::size_t size) {
    out_bytes(*doc, data, size);
}

// A coordinate with one decimal.
void put_coord(double v) {
    char text[kFixedTextMax];
    put_bytes(text, format_fixed(v, 1, text));
}

void attr(const char* name, double v) {
    svg_put(" ");
    svg_put(name);
    svg_put("=\"");
    put_coord(v);
    svg_put("\"");
}

void attr(const char* name, const char* v) {
    svg_put(" ");
    svg_put(name);
    svg_put("=\"");
    svg_put(v);
    svg_put("\"");
}

void element_open(Shape shape, const char* colour, double width) {
    element = {shape, colour, width, 0};
}

// Writes the element's start when its first point comes, and the separator
// before every later one.
void element_point() {
    if (element.points == 0) {
        const bool line = element.shape == Shape::kPolyline;
        svg_put(line ? "<polyline" : "<path");
        const bool filled = element.shape == Shape::kSquares;
        attr("fill", filled ? "#FFFFFF" : "none");
        attr("stroke", element.colour != nullptr ? element.colour : "");
        attr("stroke-width", element.width);
        attr("stroke-linecap", "round");
        attr("stroke-linejoin", "round");
        svg_put(line ? " points=\"" : " d=\"");
    } else if (element.points % kPointsPerLine == 0) {
        svg_put("\n");
    } else {
        svg_put(" ");
    }
    ++element.points;
}

void element_close() {
    if (element.points > 0) svg_put("\"/>\n");
    element = {};
}

// Visits the tick values of an axis, lowest first; at most 40.
template <typename Visit>
void each_tick(const Axis& a, Visit visit) {
    const double k0 = std::floor(a.lo / a.step + 0.5);
    const double k1 = std::floor(a.hi / a.step + 0.5);
    for (int i = 0; i <= 40 && k0 + i <= k1; ++i) visit((k0 + i) * a.step);
}

// A round step near a seventh of the span (given as half the span, which never
// overflows): 1, 2 or 5 times a power of ten. Only +, -, * and / are used, so
// every platform finds the same step.
double round_step(double half_span, int& decimals) {
    const double raw = half_span / 3.5;
    double p = 1.0;
    decimals = 0;
    for (int k = 0; k < 400 && p * 10.0 <= raw; ++k) p *= 10.0;
    for (int k = 0; k < 400 && p > raw; ++k) {
        p /= 10.0;
        ++decimals;
    }
    double step = raw <= p ? p : raw <= 2 * p ? 2 * p : raw <= 5 * p ? 5 * p : 10 * p;
    if (step == 10 * p && decimals > 0) --decimals;
    if (!std::isfinite(step) || step <= 0.0) step = p > 0.0 ? p : DBL_MIN;
    if (decimals > 17) decimals = 17;
    return step;
}

double held(double v) {
    return v > DBL_MAX ? DBL_MAX : (v < -DBL_MAX ? -DBL_MAX : v);
}

}  // namespace

std::size_t escape_xml_text(const char* text, std::size_t limit, char* out) {
    std::size_t n = 0;
    std::size_t i = 0;
    auto put = [&](const char* s) {
        std::size_t len = std::strlen(s);
        std::memcpy(out + n, s, len);
        n += len;
    };
    for (; text[i] != '\0' && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) continue;  // control characters
        if (c == '<') {
            put("&lt;");
        } else if (c == '>') {
            put("&gt;");
        } else if (c == '&') {
            put("&amp;");
        } else if (c == '"') {
            put("&quot;");
        } else if (c == '\'') {
            put("&#39;");
        } else if (c > 0x7F) {
            put("&#");
            n += format_int(c, 0, out + n);
            put(";");
        } else {
            out[n++] = static_cast<char>(c);
        }
    }
    if (text[i] != '\0') put("...");
    return n;
}

void Range::add(double v) {
    if (!std::isfinite(v)) return;
    if (!any || v < min) min = v;
    if (!any || v > max) max = v;
    any = true;
}

double Axis::at(double v) const {
    const double t = (v / 2 - lo / 2) / (hi / 2 - lo / 2);
    double px = px_lo + t * (px_hi - px_lo);
    if (std::isnan(px)) return px_lo;
    return px < -kReach ? -kReach : (px > kReach ? kReach : px);
}

Axis make_axis(const Range& range, double px_lo, double px_hi) {
    double lo = range.any ? range.min : 0.0;
    double hi = range.any ? range.max : 1.0;
    if (!(hi > lo)) {
        double pad = std::fabs(lo) / 10;
        if (pad < 1.0) pad = 1.0;
        lo = held(lo - pad);
        hi = held(hi + pad);
    }
    Axis a{lo, hi, 1.0, 0, px_lo, px_hi};
    a.step = round_step(hi / 2 - lo / 2, a.decimals);
    const double round_lo = std::floor(lo / a.step) * a.step;
    const double round_hi = std::ceil(hi / a.step) * a.step;
    if (std::isfinite(round_lo) && round_lo <= lo) a.lo = round_lo;
    if (std::isfinite(round_hi) && round_hi >= hi) a.hi = round_hi;
    return a;
}

void svg_begin(OutFile& out, int32_t width, int32_t height) {
    doc = &out;
    element = {};
    svg_put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    svg_put("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"");
    svg_put_int(width);
    svg_put("\" height=\"");
    svg_put_int(height);
    svg_put("\" viewBox=\"0 0 ");
    svg_put_int(width);
    svg_put(" ");
    svg_put_int(height);
    svg_put("\" font-family=\"sans-serif\">\n");
    svg_rect(0, 0, width, height, "#FFFFFF", "none");
}

void svg_end() {
    svg_put("</svg>\n");
}

void svg_put(const char* text) {
    out_text(*doc, text);
}

void svg_put_int(int32_t value) {
    char text[kIntTextMax];
    put_bytes(text, format_int(value, 0, text));
}

void svg_put_fixed(double value, int decimals) {
    char text[kFixedTextMax];
    put_bytes(text, format_fixed(value, decimals, text));
}

void svg_put_short(double value) {
    char text[kFixedTextMax];
    std::size_t n = format_fixed(value, 3, text);
    if (std::memchr(text, '.', n) != nullptr) {
        while (text[n - 1] == '0') --n;
        if (text[n - 1] == '.') --n;
    }
    put_bytes(text, n);
}

void svg_put_escaped(const char* text, std::size_t limit) {
    constexpr std::size_t kMaxLimit = 120;
    char escaped[escaped_size(kMaxLimit)];
    put_bytes(escaped, escape_xml_text(text, limit < kMaxLimit ? limit : kMaxLimit, escaped));
}

void svg_text_open(double x, double y, int size, Face face, const char* anchor, const char* fill) {
    svg_put("<text");
    attr("x", x);
    attr("y", y);
    svg_put(" font-size=\"");
    svg_put_int(size);
    svg_put("\"");
    if (face == Face::kBold) attr("font-weight", "bold");
    if (face == Face::kItalic) attr("font-style", "italic");
    attr("text-anchor", anchor);
    attr("fill", fill);
    svg_put(">");
}

void svg_text_close() {
    svg_put("</text>\n");
}

void svg_heading_open(double y) {
    svg_text_open(110, y, 19, Face::kBold, "start", "#222222");
}

void svg_heading(double y, const char* text) {
    svg_heading_open(y);
    svg_put(text);
    svg_text_close();
}

void svg_rect(double x, double y, double w, double h, const char* fill, const char* stroke) {
    svg_put("<rect");
    attr("x", x);
    attr("y", y);
    attr("width", w < 0 ? 0 : w);
    attr("height", h < 0 ? 0 : h);
    attr("fill", fill);
    attr("stroke", stroke);
    svg_put("/>\n");
}

void svg_axes(const Frame& f, const Axis& x, const Axis& y, const char* x_title,
              const char* y_title) {
    svg_put("<path fill=\"none\" stroke=\"#DDDDDD\" stroke-width=\"1\" d=\"");
    each_tick(x, [&](double v) {
        svg_put("M");
        put_coord(x.at(v));
        svg_put(" ");
        put_coord(f.top);
        svg_put("V");
        put_coord(f.bottom);
    });
    each_tick(y, [&](double v) {
        svg_put("M");
        put_coord(f.left);
        svg_put(" ");
        put_coord(y.at(v));
        svg_put("H");
        put_coord(f.right);
    });
    svg_put("\"/>\n");
    svg_rect(f.left, f.top, f.right - f.left, f.bottom - f.top, "none", "#444444");
    each_tick(x, [&](double v) {
        svg_text_open(x.at(v), f.bottom + 22, 15, Face::kPlain, "middle", "#222222");
        svg_put_fixed(v, x.decimals);
        svg_text_close();
    });
    each_tick(y, [&](double v) {
        svg_text_open(f.left - 8, y.at(v) + 5, 15, Face::kPlain, "end", "#222222");
        svg_put_fixed(v, y.decimals);
        svg_text_close();
    });
    svg_text_open((f.left + f.right) / 2, f.bottom + 48, 16, Face::kPlain, "middle", "#222222");
    svg_put(x_title);
    svg_text_close();
    const double ty = (f.top + f.bottom) / 2;
    const double tx = f.left - 72;
    svg_put("<text");
    attr("x", tx);
    attr("y", ty);
    svg_put(" font-size=\"16\" text-anchor=\"middle\" fill=\"#222222\" transform=\"rotate(-90 ");
    put_coord(tx);
    svg_put(" ");
    put_coord(ty);
    svg_put(")\">");
    svg_put(y_title);
    svg_text_close();
}

void svg_centred_note(const Frame& f, const char* text) {
    svg_text_open((f.left + f.right) / 2, (f.top + f.bottom) / 2, 18, Face::kItalic, "middle",
                  "#555555");
    svg_put_escaped(text, 120);
    svg_text_close();
}

void svg_polyline_open(const char* colour, double width) {
    element_open(Shape::kPolyline, colour, width);
}

void svg_point(double x, double y) {
    element_point();
    put_coord(x);
    svg_put(",");
    put_coord(y);
}

void svg_polyline_close() {
    element_close();
}

void svg_dots_open(const char* colour, double size) {
    element_open(Shape::kDots, colour, size);
}

namespace {

// Starts one marker of the open marker path at (x, y).
void marker_at(double x, double y) {
    element_point();
    svg_put("M");
    put_coord(x);
    svg_put(" ");
    put_coord(y);
}

}  // namespace

// A path of zero length with round caps is drawn as a dot of the line's width.
void svg_dot(double x, double y) {
    marker_at(x, y);
    svg_put("h0");
}

void svg_squares_open(const char* colour) {
    element_open(Shape::kSquares, colour, 1.5);
}

void svg_square(double x, double y) {
    marker_at(x - 3, y - 3);
    svg_put("h6v6h-6z");
}

void svg_crosses_open(const char* colour) {
    element_open(Shape::kCrosses, colour, 2.0);
}

void svg_cross(double x, double y) {
    marker_at(x - 4, y - 4);
    svg_put("l8 8m0 -8l-8 8");
}

void svg_path_close() {
    element_close();
}

void Legend::label(const char* text) {
    svg_text_open(x_ + 34, y_ + 5, 15, Face::kPlain, "start", "#222222");
    svg_put(text);
    svg_text_close();
    x_ += 34 + kLegendCharWidth * static_cast<double>(std::strlen(text)) + 22;
}

void Legend::line(const char* colour, const char* text) {
    svg_polyline_open(colour, 2.5);
    svg_point(x_, y_);
    svg_point(x_ + 26, y_);
    svg_polyline_close();
    label(text);
}

void Legend::line_and_dots(const char* colour, const char* text) {
    svg_polyline_open(colour, 2.5);
    svg_point(x_, y_);
    svg_point(x_ + 26, y_);
    svg_polyline_close();
    svg_dots_open(colour, 6.0);
    svg_dot(x_ + 4, y_);
    svg_dot(x_ + 22, y_);
    svg_path_close();
    label(text);
}

void Legend::dots(const char* colour, const char* text) {
    svg_dots_open(colour, 6.0);
    svg_dot(x_ + 4, y_);
    svg_dot(x_ + 22, y_);
    svg_path_close();
    label(text);
}

void Legend::squares(const char* colour, const char* text) {
    svg_squares_open(colour);
    svg_square(x_ + 13, y_);
    svg_path_close();
    label(text);
}

void Legend::crosses(const char* colour, const char* text) {
    svg_crosses_open(colour);
    svg_cross(x_ + 13, y_);
    svg_path_close();
    label(text);
}

void Legend::swatch(const char* fill, const char* text) {
    svg_rect(x_, y_ - 8, 26, 16, fill, "#444444");
    label(text);
}

}  // namespace vextal
