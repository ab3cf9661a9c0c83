#include "picture/svg_writer.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "text/format.h"

namespace vextal {
namespace {

// A coordinate far outside the picture is held here, so that no value, however
// large, turns into a number a renderer cannot take.
constexpr double kReach = 10000.0;
// Markers written per line inside one element's point list.
constexpr int kPointsPerLine = 10;
// Rough advance of one character of the legend's 15-pixel text.
constexpr double kLegendCharWidth = 8.4;

enum Shape { kNone = 0, kPolyline, kDots, kSquares, kCrosses };

void put_bytes(Svg& svg, const char* data, std::size_t size) {
    out_bytes(*svg.out, data, size);
}

// A coordinate with one decimal.
void put_coord(Svg& svg, double v) {
    char text[kFixedTextMax];
    put_bytes(svg, text, format_fixed(v, 1, text));
}

void attr(Svg& svg, const char* name, double v) {
    svg_put(svg, " ");
    svg_put(svg, name);
    svg_put(svg, "=\"");
    put_coord(svg, v);
    svg_put(svg, "\"");
}

void attr(Svg& svg, const char* name, const char* v) {
    svg_put(svg, " ");
    svg_put(svg, name);
    svg_put(svg, "=\"");
    svg_put(svg, v);
    svg_put(svg, "\"");
}

void element_open(Svg& svg, Shape shape, const char* colour, double width) {
    svg.shape = shape;
    svg.colour = colour;
    svg.width = width;
    svg.points = 0;
}

// Writes the element's start when its first point comes, and the separator
// before every later one.
void element_point(Svg& svg) {
    if (svg.points == 0) {
        const bool line = svg.shape == kPolyline;
        svg_put(svg, line ? "<polyline" : "<path");
        attr(svg, "fill", svg.shape == kSquares ? style::kPaper : "none");
        attr(svg, "stroke", svg.colour != nullptr ? svg.colour : "");
        attr(svg, "stroke-width", svg.width);
        attr(svg, "stroke-linecap", "round");
        attr(svg, "stroke-linejoin", "round");
        svg_put(svg, line ? " points=\"" : " d=\"");
    } else if (svg.points % kPointsPerLine == 0) {
        svg_put(svg, "\n");
    } else {
        svg_put(svg, " ");
    }
    ++svg.points;
}

void element_close(Svg& svg) {
    if (svg.points > 0) svg_put(svg, "\"/>\n");
    element_open(svg, kNone, nullptr, 1.0);
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

void svg_begin(Svg& svg, int32_t width, int32_t height) {
    element_open(svg, kNone, nullptr, 1.0);
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
    put_coord(svg, dy);
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

void svg_put_fixed(Svg& svg, double value, int decimals) {
    char text[kFixedTextMax];
    put_bytes(svg, text, format_fixed(value, decimals, text));
}

void svg_put_short(Svg& svg, double value) {
    char text[kFixedTextMax];
    std::size_t n = format_fixed(value, 3, text);
    if (std::memchr(text, '.', n) != nullptr) {
        while (text[n - 1] == '0') --n;
        if (text[n - 1] == '.') --n;
    }
    put_bytes(svg, text, n);
}

void svg_put_escaped(Svg& svg, const char* text, std::size_t limit) {
    constexpr std::size_t kMaxLimit = 120;
    char escaped[escaped_size(kMaxLimit)];
    put_bytes(svg, escaped, escape_xml_text(text, limit < kMaxLimit ? limit : kMaxLimit, escaped));
}

void svg_text_open(Svg& svg, double x, double y, int size, Face face, const char* anchor,
                   const char* fill) {
    svg_put(svg, "<text");
    attr(svg, "x", x);
    attr(svg, "y", y);
    svg_put(svg, " font-size=\"");
    svg_put_int(svg, size);
    svg_put(svg, "\"");
    if (face == Face::kBold) attr(svg, "font-weight", "bold");
    if (face == Face::kItalic) attr(svg, "font-style", "italic");
    attr(svg, "text-anchor", anchor);
    attr(svg, "fill", fill);
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
    attr(svg, "x", x);
    attr(svg, "y", y);
    attr(svg, "width", w < 0 ? 0 : w);
    attr(svg, "height", h < 0 ? 0 : h);
    attr(svg, "fill", fill);
    attr(svg, "stroke", stroke);
    svg_put(svg, "/>\n");
}

void svg_axes(Svg& svg, const Frame& f, const Axis& x, const Axis& y, const char* x_title,
              const char* y_title) {
    using namespace style;
    svg_put(svg, "<path fill=\"none\" stroke=\"");
    svg_put(svg, kGridLine);
    svg_put(svg, "\" stroke-width=\"1\" d=\"");
    each_tick(x, [&](double v) {
        svg_put(svg, "M");
        put_coord(svg, x.at(v));
        svg_put(svg, " ");
        put_coord(svg, f.top);
        svg_put(svg, "V");
        put_coord(svg, f.bottom);
    });
    each_tick(y, [&](double v) {
        svg_put(svg, "M");
        put_coord(svg, f.left);
        svg_put(svg, " ");
        put_coord(svg, y.at(v));
        svg_put(svg, "H");
        put_coord(svg, f.right);
    });
    svg_put(svg, "\"/>\n");
    svg_rect(svg, f.left, f.top, f.right - f.left, f.bottom - f.top, "none", kFrameLine);
    each_tick(x, [&](double v) {
        svg_text_open(svg, x.at(v), f.bottom + kTickLabelBelow, kTickSize, Face::kPlain, "middle",
                      kInk);
        svg_put_fixed(svg, v, x.decimals);
        svg_text_close(svg);
    });
    each_tick(y, [&](double v) {
        svg_text_open(svg, f.left - kTickLabelLeft, y.at(v) + kBaseline, kTickSize, Face::kPlain,
                      "end", kInk);
        svg_put_fixed(svg, v, y.decimals);
        svg_text_close(svg);
    });
    svg_text_open(svg, (f.left + f.right) / 2, f.bottom + kAxisTitleBelow, kLineSize, Face::kPlain,
                  "middle", kInk);
    svg_put(svg, x_title);
    svg_text_close(svg);
    const double ty = (f.top + f.bottom) / 2;
    const double tx = f.left - kAxisTitleLeft;
    svg_put(svg, "<text");
    attr(svg, "x", tx);
    attr(svg, "y", ty);
    svg_put(svg, " font-size=\"");
    svg_put_int(svg, kLineSize);
    svg_put(svg, "\" text-anchor=\"middle\" fill=\"");
    svg_put(svg, kInk);
    svg_put(svg, "\" transform=\"rotate(-90 ");
    put_coord(svg, tx);
    svg_put(svg, " ");
    put_coord(svg, ty);
    svg_put(svg, ")\">");
    svg_put(svg, y_title);
    svg_text_close(svg);
}

void svg_centred_note(Svg& svg, const Frame& f, const char* text) {
    svg_text_open(svg, (f.left + f.right) / 2, (f.top + f.bottom) / 2, style::kNoteSize,
                  Face::kItalic, "middle", style::kNoteInk);
    svg_put_escaped(svg, text, 120);
    svg_text_close(svg);
}

void svg_polyline_open(Svg& svg, const char* colour, double width) {
    element_open(svg, kPolyline, colour, width);
}

void svg_point(Svg& svg, double x, double y) {
    element_point(svg);
    put_coord(svg, x);
    svg_put(svg, ",");
    put_coord(svg, y);
}

void svg_polyline_close(Svg& svg) {
    element_close(svg);
}

void svg_dots_open(Svg& svg, const char* colour, double size) {
    element_open(svg, kDots, colour, size);
}

namespace {

// Starts one marker of the open marker path at (x, y).
void marker_at(Svg& svg, double x, double y) {
    element_point(svg);
    svg_put(svg, "M");
    put_coord(svg, x);
    svg_put(svg, " ");
    put_coord(svg, y);
}

}  // namespace

// A path of zero length with round caps is drawn as a dot of the line's width.
void svg_dot(Svg& svg, double x, double y) {
    marker_at(svg, x, y);
    svg_put(svg, "h0");
}

void svg_squares_open(Svg& svg, const char* colour) {
    element_open(svg, kSquares, colour, 1.5);
}

void svg_square(Svg& svg, double x, double y) {
    marker_at(svg, x - 3, y - 3);
    svg_put(svg, "h6v6h-6z");
}

void svg_crosses_open(Svg& svg, const char* colour) {
    element_open(svg, kCrosses, colour, 2.0);
}

void svg_cross(Svg& svg, double x, double y) {
    marker_at(svg, x - 4, y - 4);
    svg_put(svg, "l8 8m0 -8l-8 8");
}

void svg_path_close(Svg& svg) {
    element_close(svg);
}

void Legend::label(const char* text) {
    svg_text_open(svg_, x_ + 34, y_ + style::kBaseline, style::kTickSize, Face::kPlain, "start",
                  style::kInk);
    svg_put(svg_, text);
    svg_text_close(svg_);
    x_ += 34 + kLegendCharWidth * static_cast<double>(std::strlen(text)) + 22;
}

void Legend::line(const char* colour, const char* text) {
    svg_polyline_open(svg_, colour, 2.5);
    svg_point(svg_, x_, y_);
    svg_point(svg_, x_ + 26, y_);
    svg_polyline_close(svg_);
    label(text);
}

void Legend::line_and_dots(const char* colour, const char* text) {
    svg_polyline_open(svg_, colour, 2.5);
    svg_point(svg_, x_, y_);
    svg_point(svg_, x_ + 26, y_);
    svg_polyline_close(svg_);
    dots(colour, text);
}

void Legend::dots(const char* colour, const char* text) {
    svg_dots_open(svg_, colour, 6.0);
    svg_dot(svg_, x_ + 4, y_);
    svg_dot(svg_, x_ + 22, y_);
    svg_path_close(svg_);
    label(text);
}

void Legend::squares(const char* colour, const char* text) {
    svg_squares_open(svg_, colour);
    svg_square(svg_, x_ + 13, y_);
    svg_path_close(svg_);
    label(text);
}

void Legend::crosses(const char* colour, const char* text) {
    svg_crosses_open(svg_, colour);
    svg_cross(svg_, x_ + 13, y_);
    svg_path_close(svg_);
    label(text);
}

void Legend::swatch(const char* fill, const char* text) {
    svg_rect(svg_, x_, y_ - 8, 26, 16, fill, style::kFrameLine);
    label(text);
}

}  // namespace vextal
