#include <cstring>

#include "picture/svg_writer.h"
#include "text/format.h"

// The plots: axes with their ticks, lines clipped to their plot, markers and
// legends.
namespace vextal {
namespace {

// Markers written per line inside one element's point list.
constexpr int kPointsPerLine = 10;

enum Shape { kNone = 0, kPolyline, kDots, kSquares, kCrosses };

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
        svg_attr(svg, "fill", svg.shape == kSquares ? style::kPaper : "none");
        svg_attr(svg, "stroke", svg.colour != nullptr ? svg.colour : "");
        svg_attr(svg, "stroke-width", svg.width);
        svg_attr(svg, "stroke-linecap", "round");
        svg_attr(svg, "stroke-linejoin", "round");
        svg_put(svg, line ? " points=\"" : " d=\"");
    } else if (svg.points % kPointsPerLine == 0) {
        svg_put(svg, "\n");
    } else {
        svg_put(svg, " ");
    }
    ++svg.points;
}

// Ends the element; where `again`, the next point starts another of the same
// kind (a clipped line that comes back into its plot).
void element_close(Svg& svg, bool again) {
    if (svg.points > 0) svg_put(svg, "\"/>\n");
    svg.points = 0;
    if (!again) {
        element_open(svg, kNone, nullptr, 1.0);
        svg.clip = nullptr;
    }
}

void line_point(Svg& svg, double x, double y) {
    element_point(svg);
    svg_put_coord(svg, x);
    svg_put(svg, ",");
    svg_put_coord(svg, y);
}

bool inside(const Frame& f, double x, double y) {
    return x >= f.left && x <= f.right && y >= f.top && y <= f.bottom;
}

// The part of the segment from (x0, y0) to (x1, y1) inside the frame, as the
// parameters t0 <= t1 of its ends (Liang and Barsky's clipping); false where
// no part is inside.
bool clip_segment(const Frame& f, double x0, double y0, double x1, double y1, double& t0,
                  double& t1) {
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - f.left, f.right - x0, y0 - f.top, f.bottom - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0.0) {
            if (q[i] < 0.0) return false;  // parallel to this edge and beyond it
            continue;
        }
        const double r = q[i] / p[i];
        if (p[i] < 0.0) {
            if (r > t1) return false;
            if (r > t0) t0 = r;
        } else {
            if (r < t0) return false;
            if (r < t1) t1 = r;
        }
    }
    return true;
}

}  // namespace

namespace {

// The axis title, with the base of offset labels and the unit, where given.
void axis_title(Svg& svg, const char* title, const Axis& a, const char* unit) {
    svg_put(svg, title);
    char base[kAxisTextSize];
    if (axis_offset_text(a, base) > 0) {
        svg_put(svg, " - ");
        svg_put(svg, base);
    }
    if (unit != nullptr) {
        svg_put(svg, " (");
        svg_put_escaped(svg, unit, kMaxUnitShown);
        svg_put(svg, ")");
    }
}

void tick_text(Svg& svg, const Axis& a, double k) {
    char text[kAxisTextSize];
    out_bytes(*svg.out, text, tick_label(a, k, text));
}

}  // namespace

void svg_axes(Svg& svg, const Frame& f, const AxisTitles& titles, const Axis& x, const Axis& y) {
    using namespace style;
    svg_put(svg, "<path fill=\"none\" stroke=\"");
    svg_put(svg, kGridLine);
    svg_put(svg, "\" stroke-width=\"1\" d=\"");
    each_tick(x, [&](double k) {
        svg_put(svg, "M");
        svg_put_coord(svg, tick_at(x, k));
        svg_put(svg, " ");
        svg_put_coord(svg, f.top);
        svg_put(svg, "V");
        svg_put_coord(svg, f.bottom);
    });
    each_tick(y, [&](double k) {
        svg_put(svg, "M");
        svg_put_coord(svg, f.left);
        svg_put(svg, " ");
        svg_put_coord(svg, tick_at(y, k));
        svg_put(svg, "H");
        svg_put_coord(svg, f.right);
    });
    svg_put(svg, "\"/>\n");
    svg_rect(svg, f.left, f.top, f.right - f.left, f.bottom - f.top, "none", kFrameLine);
    each_tick(x, [&](double k) {
        svg_text_open(svg, tick_at(x, k), f.bottom + kTickLabelBelow, kTickSize, Face::kPlain,
                      "middle", kInk);
        tick_text(svg, x, k);
        svg_text_close(svg);
    });
    each_tick(y, [&](double k) {
        svg_text_open(svg, f.left - kTickLabelLeft, tick_at(y, k) + kBaseline, kTickSize,
                      Face::kPlain, "end", kInk);
        tick_text(svg, y, k);
        svg_text_close(svg);
    });
    svg_text_open(svg, (f.left + f.right) / 2, f.bottom + kAxisTitleBelow, kLineSize, Face::kPlain,
                  "middle", kInk);
    axis_title(svg, titles.x, x, titles.x_unit);
    svg_text_close(svg);
    const double ty = (f.top + f.bottom) / 2;
    const double tx = f.left - kAxisTitleLeft;
    svg_put(svg, "<text");
    svg_attr(svg, "x", tx);
    svg_attr(svg, "y", ty);
    svg_put(svg, " font-size=\"");
    svg_put_int(svg, kLineSize);
    svg_put(svg, "\" text-anchor=\"middle\" fill=\"");
    svg_put(svg, kInk);
    svg_put(svg, "\" transform=\"rotate(-90 ");
    svg_put_coord(svg, tx);
    svg_put(svg, " ");
    svg_put_coord(svg, ty);
    svg_put(svg, ")\">");
    axis_title(svg, titles.y, y, titles.y_unit);
    svg_text_close(svg);
}

void svg_centred_note(Svg& svg, const Frame& f, const char* text) {
    svg_text_open(svg, (f.left + f.right) / 2, (f.top + f.bottom) / 2, style::kNoteSize,
                  Face::kItalic, "middle", style::kNoteInk);
    svg_put_escaped(svg, text, 120);
    svg_text_close(svg);
}

void svg_polyline_open(Svg& svg, const char* colour, double width, const Frame* clip) {
    element_open(svg, kPolyline, colour, width);
    svg.clip = clip;
    svg.has_last = false;
}

void svg_point(Svg& svg, double x, double y) {
    if (svg.clip == nullptr) {
        line_point(svg, x, y);
        return;
    }
    const bool first = !svg.has_last;
    const double x0 = svg.last_x;
    const double y0 = svg.last_y;
    svg.has_last = true;
    svg.last_x = x;
    svg.last_y = y;
    if (first) {
        if (inside(*svg.clip, x, y)) line_point(svg, x, y);
        return;
    }
    double t0 = 0.0;
    double t1 = 1.0;
    if (!clip_segment(*svg.clip, x0, y0, x, y, t0, t1)) {
        // Wholly outside: whatever was drawn before ends here.
        element_close(svg, true);
        return;
    }
    if (t0 > 0.0) {
        // The line comes back into the plot: a new piece starts where it does.
        element_close(svg, true);
        line_point(svg, x0 + t0 * (x - x0), y0 + t0 * (y - y0));
    }
    line_point(svg, x0 + t1 * (x - x0), y0 + t1 * (y - y0));
    if (t1 < 1.0) element_close(svg, true);
}

void svg_polyline_close(Svg& svg) {
    element_close(svg, false);
}

void svg_dots_open(Svg& svg, const char* colour, double size, const Frame* clip) {
    element_open(svg, kDots, colour, size);
    svg.clip = clip;
}

namespace {

// Starts one marker of the open marker path at (x, y); false, with nothing
// written, for a marker whose centre lies outside the clip frame.
bool marker_at(Svg& svg, double x, double y, double cx, double cy) {
    if (svg.clip != nullptr && !inside(*svg.clip, cx, cy)) return false;
    element_point(svg);
    svg_put(svg, "M");
    svg_put_coord(svg, x);
    svg_put(svg, " ");
    svg_put_coord(svg, y);
    return true;
}

}  // namespace

// A path of zero length with round caps is drawn as a dot of the line's width.
void svg_dot(Svg& svg, double x, double y) {
    if (marker_at(svg, x, y, x, y)) svg_put(svg, "h0");
}

void svg_squares_open(Svg& svg, const char* colour, const Frame* clip) {
    element_open(svg, kSquares, colour, 1.5);
    svg.clip = clip;
}

void svg_square(Svg& svg, double x, double y) {
    if (marker_at(svg, x - 3, y - 3, x, y)) svg_put(svg, "h6v6h-6z");
}

void svg_crosses_open(Svg& svg, const char* colour, const Frame* clip) {
    element_open(svg, kCrosses, colour, 2.0);
    svg.clip = clip;
}

void svg_cross(Svg& svg, double x, double y) {
    if (marker_at(svg, x - 4, y - 4, x, y)) svg_put(svg, "l8 8m0 -8l-8 8");
}

void svg_path_close(Svg& svg) {
    element_close(svg, false);
}

namespace {

// An entry's marker before its text, and the gap after it.
constexpr double kMarkerRoom = 34;
constexpr double kEntryGap = 22;

double text_width(std::size_t characters) {
    return kLegendCharWidth * static_cast<double>(characters);
}

}  // namespace

std::size_t shown_characters(const char* text, std::size_t size) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < size; ++i, ++n) {
        if (text[i] != '&') continue;
        const char* end = static_cast<const char*>(std::memchr(text + i, ';', size - i));
        if (end != nullptr) i = static_cast<std::size_t>(end - text);
    }
    return n;
}

// Moves to the next row where the entry of `text` would pass the plot's
// right edge; the first entry of a row stays on it.
void Legend::place(const char* text) {
    const double width = kMarkerRoom + text_width(std::strlen(text));
    if (x_ > style::kPlotLeft && x_ + width > style::kPlotRight) {
        x_ = style::kPlotLeft;
        y_ += kLegendRowStep;
    }
}

void Legend::label(const char* text) {
    svg_text_open(svg_, x_ + kMarkerRoom, y_ + style::kBaseline, style::kTickSize, Face::kPlain,
                  "start", style::kInk);
    svg_put(svg_, text);
    svg_text_close(svg_);
    x_ += kMarkerRoom + text_width(std::strlen(text)) + kEntryGap;
}

void Legend::right_text_open(std::size_t characters) {
    if (x_ > style::kPlotLeft && x_ > style::kPlotRight - text_width(characters)) {
        x_ = style::kPlotLeft;
        y_ += kLegendRowStep;
    }
    svg_text_open(svg_, style::kPlotRight, y_ + style::kBaseline, style::kTickSize, Face::kPlain,
                  "end", style::kInk);
}

void Legend::line(const char* colour, const char* text) {
    place(text);
    svg_polyline_open(svg_, colour, 2.5);
    svg_point(svg_, x_, y_);
    svg_point(svg_, x_ + 26, y_);
    svg_polyline_close(svg_);
    label(text);
}

void Legend::line_and_dots(const char* colour, const char* text) {
    place(text);
    svg_polyline_open(svg_, colour, 2.5);
    svg_point(svg_, x_, y_);
    svg_point(svg_, x_ + 26, y_);
    svg_polyline_close(svg_);
    dots(colour, text);
}

void Legend::dots(const char* colour, const char* text) {
    place(text);
    svg_dots_open(svg_, colour, 6.0);
    svg_dot(svg_, x_ + 4, y_);
    svg_dot(svg_, x_ + 22, y_);
    svg_path_close(svg_);
    label(text);
}

void Legend::squares(const char* colour, const char* text) {
    place(text);
    svg_squares_open(svg_, colour);
    svg_square(svg_, x_ + 13, y_);
    svg_path_close(svg_);
    label(text);
}

void Legend::crosses(const char* colour, const char* text) {
    place(text);
    svg_crosses_open(svg_, colour);
    svg_cross(svg_, x_ + 13, y_);
    svg_path_close(svg_);
    label(text);
}

void Legend::swatch(const char* fill, const char* text) {
    place(text);
    svg_rect(svg_, x_, y_ - 8, 26, 16, fill, style::kFrameLine);
    label(text);
}

}  // namespace vextal
