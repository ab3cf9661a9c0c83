#include "picture/picture.h"

#include <cmath>
#include <cstring>

#include "files/file_name.h"
#include "files/output_file.h"
#include "picture/error_panel.h"
#include "picture/style.h"
#include "picture/svg_writer.h"
#include "picture/title.h"

namespace vextal {
namespace {

using namespace style;

// The content being drawn and the document it goes into.
struct Drawing {
    Svg& svg;
    const PictureContent& c;

    int32_t count() const { return record_count(c); }
    const Measurement& record(int32_t i) const {
        return c.measurements->records[static_cast<std::size_t>(i)];
    }
    bool in_stretch(int32_t i) const {
        return c.stretch_known && i >= c.stretch_first && i <= c.stretch_last;
    }
    // The records of the branch, held within the run.
    int32_t branch_first() const { return c.branch_first < 0 ? 0 : c.branch_first; }
    int32_t branch_last() const {
        if (!c.branch_known) return -1;
        return c.branch_last < count() ? c.branch_last : count() - 1;
    }
    bool branch_beyond_stretch() const {
        for (int32_t i = branch_first(); i <= branch_last(); ++i) {
            if (!in_stretch(i)) return true;
        }
        return false;
    }
    Range branch_stages() const {
        Range r;
        for (int32_t i = branch_first(); i <= branch_last(); ++i) r.add(record(i).stage);
        return r;
    }
};

// ---- the measured curve ----

void curve_panel(const Drawing& d) {
    Svg& svg = d.svg;
    const int32_t n = d.count();
    svg_heading(svg, kCurveHeadingY, "Measured curve: PSD reading against stage position");
    Legend legend(svg, kCurveLegendY);
    legend.line_and_dots(kAccent, "monotone stretch");
    legend.dots(kOutside, "outside the stretch");

    Frame f{kPlotLeft, kCurveTop, kPlotRight, kCurveBottom};
    Range xs;
    Range ys;
    for (int32_t i = 0; i < n; ++i) {
        xs.add(d.record(i).stage);
        ys.add(d.record(i).psd);
    }
    Axis x = make_axis(xs, f.left, f.right);
    Axis y = make_axis(ys, f.bottom, f.top);
    svg_axes(svg, f, AxisTitles{"stage position", "PSD reading", d.c.unit}, x, y);
    if (n == 0) {
        svg_centred_note(svg, f, "No measurements");
        return;
    }
    auto at_x = [&](int32_t i) { return x.at(d.record(i).stage); };
    auto at_y = [&](int32_t i) { return y.at(d.record(i).psd); };

    svg_polyline_open(svg, kOutside, 1.0, &f);
    for (int32_t i = 0; i < n; ++i) svg_point(svg, at_x(i), at_y(i));
    svg_polyline_close(svg);
    svg_dots_open(svg, kOutside, 6.0, &f);
    for (int32_t i = 0; i < n; ++i) {
        if (!d.in_stretch(i)) svg_dot(svg, at_x(i), at_y(i));
    }
    svg_path_close(svg);
    if (!d.c.stretch_known) return;
    svg_polyline_open(svg, kAccent, 2.5, &f);
    for (int32_t i = d.c.stretch_first; i <= d.c.stretch_last; ++i) {
        svg_point(svg, at_x(i), at_y(i));
    }
    svg_polyline_close(svg);
    svg_dots_open(svg, kAccent, 6.0, &f);
    for (int32_t i = d.c.stretch_first; i <= d.c.stretch_last; ++i) svg_dot(svg, at_x(i), at_y(i));
    svg_path_close(svg);
}

// ---- the calibration table ----

// The original table's points: the leading point, the range points (one
// per record of the stretch, the only measured ones), then the two closing
// points.
struct TableParts {
    int32_t last_point;  // index of the range's last point
    double x_first;      // half reading of the range's first record
    double x_last;       // half reading of the range's last record
};

TableParts table_parts(const Calibration& cal) {
    TableParts p;
    p.last_point = cal.points - 3;
    p.x_first = cal.original[1].x;
    p.x_last = cal.original[static_cast<std::size_t>(p.last_point)].x;
    return p;
}

bool beyond(const TableParts& p, int32_t j) {
    return static_cast<double>(j) > p.x_last;
}

double within(double v, double lo, double hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}

// The strip above the plot: a cross for each entry of 99.9 beyond the stretch.
void table_band(Svg& svg, const Calibration& cal, const TableParts& p, const Axis& x) {
    constexpr double kMiddle = (kBandTop + kBandBottom) / 2;
    svg_rect(svg, kPlotLeft, kBandTop, kPlotRight - kPlotLeft, kBandBottom - kBandTop, kBeyondTint,
             kFrameLine);
    svg_text_open(svg, kPlotLeft - kTickLabelLeft, kMiddle + kBaseline, kBandSize, Face::kPlain,
                  "end", kInk);
    // The firmware reads the entry 999 (99.9 in the table) as no answer.
    svg_put(svg, "999: no answer");
    svg_text_close(svg);
    bool any = false;
    svg_crosses_open(svg, kClosing);
    for (int32_t j = 0; j < cal.steps; ++j) {
        if (!beyond(p, j) || !x.holds(j)) continue;
        svg_cross(svg, x.at(j), kMiddle);
        any = true;
    }
    svg_path_close(svg);
    if (!any) {
        svg_text_open(svg, (kPlotLeft + kPlotRight) / 2, kMiddle + kBaseline, kBandSize,
                      Face::kPlain, "middle", kInk);
        svg_put(svg, "no entry of the table lies beyond the stretch");
        svg_text_close(svg);
    }
}

// The table's entries from the first to the last, against their index, over
// the records of the branch; the x axis ends at the last entry.
void table_panel(const Drawing& d, const Calibration& cal) {
    Svg& svg = d.svg;
    const char* unit = d.c.unit;
    const TableParts p = table_parts(cal);
    const Frame f{kPlotLeft, kTableTop, kPlotRight, kTableBottom};
    Range ys = d.branch_stages();
    for (int32_t i = 1; i <= p.last_point; ++i) ys.add(cal.original[static_cast<std::size_t>(i)].y);
    for (int32_t j = 0; j < cal.steps && !beyond(p, j); ++j) {
        ys.add(cal.requantized[static_cast<std::size_t>(j)].y);
    }
    const Axis x = make_exact_axis(0, cal.steps - 1, f.left, f.right);
    const Axis y = make_axis(ys, f.bottom, f.top);
    const double height = f.bottom - f.top;
    const double below_end = within(x.at(p.x_first), f.left, f.right);
    const double beyond_start = within(x.at(p.x_last), f.left, f.right);
    if (below_end > f.left)
        svg_rect(svg, f.left, f.top, below_end - f.left, height, kBelowTint, "none");
    if (beyond_start < f.right) {
        svg_rect(svg, beyond_start, f.top, f.right - beyond_start, height, kBeyondTint, "none");
    }
    svg_axes(svg, f,
             AxisTitles{"half the PSD reading (table index)", "stage position", nullptr, unit}, x,
             y);
    table_band(svg, cal, p, x);

    // The table's line over the measured points, which it passes through.
    svg_squares_open(svg, kOriginal, &f);
    for (int32_t i = 1; i <= p.last_point; ++i) {
        const CalPoint& pt = cal.original[static_cast<std::size_t>(i)];
        svg_square(svg, x.at(pt.x), y.at(pt.y));
    }
    svg_path_close(svg);
    // The branch's records that the table does not pass through.
    svg_dots_open(svg, kOutside, 5.0, &f);
    for (int32_t i = d.branch_first(); i <= d.branch_last(); ++i) {
        if (d.in_stretch(i)) continue;
        svg_dot(svg, x.at(static_cast<double>(d.record(i).psd / 2)), y.at(d.record(i).stage));
    }
    svg_path_close(svg);
    svg_polyline_open(svg, kAccent, 2.0, &f);
    for (int32_t j = 0; j < cal.steps && !beyond(p, j); ++j) {
        svg_point(svg, x.at(j), y.at(cal.requantized[static_cast<std::size_t>(j)].y));
    }
    svg_polyline_close(svg);
}

// ---- resolution ----

constexpr const char* kResolutionHeading =
    "Resolution: position change per step of half the reading";

// How far the position moves from one table step to the next, at the
// positions of the stretch, over the positions of the branch.
void resolution_panel(const Drawing& d, const Calibration& cal) {
    Svg& svg = d.svg;
    const char* unit = d.c.unit;
    const TableParts p = table_parts(cal);
    Range xs = d.branch_stages();
    Range ys;
    ys.add(0);
    int32_t pairs = 0;
    auto each_step = [&](auto&& visit) {
        for (int32_t j = 0; j + 1 < cal.steps; ++j) {
            if (static_cast<double>(j) < p.x_first || static_cast<double>(j + 1) > p.x_last)
                continue;
            const double a = cal.requantized[static_cast<std::size_t>(j)].y;
            const double b = cal.requantized[static_cast<std::size_t>(j + 1)].y;
            visit(a / 2 + b / 2, std::fabs(b - a));
        }
    };
    Range spans;
    each_step([&](double at, double span) {
        xs.add(at);
        ys.add(span);
        spans.add(span);
        ++pairs;
    });

    svg_heading(svg, kResolutionHeadingY, kResolutionHeading);
    Legend legend(svg, kResolutionLegendY);
    legend.line_and_dots(kAccent, "change between neighbouring table entries");
    if (pairs > 0) {
        char text[kPairWithUnitMax];
        const std::size_t n =
            pair_with_unit(spans.min, ", coarsest ", spans.max, 3, true, unit, text);
        constexpr char kFinest[] = "finest ";
        legend.right_text_open(sizeof kFinest - 1 + shown_characters(text, n));
        svg_put(svg, kFinest);
        svg_put(svg, text);
        svg_text_close(svg);
    }
    const Frame f{kPlotLeft, legend.last_row() + (kResolutionTop - kResolutionLegendY), kPlotRight,
                  kResolutionBottom};

    Axis x = make_axis(xs, f.left, f.right);
    Axis y = make_axis(ys, f.bottom, f.top);
    svg_axes(svg, f, AxisTitles{"stage position", "change per step", unit, unit}, x, y);
    if (pairs == 0) {
        svg_centred_note(svg, f, "No two neighbouring table entries lie within the stretch");
        return;
    }
    svg_polyline_open(svg, kAccent, 2.0, &f);
    each_step([&](double at, double span) { svg_point(svg, x.at(at), y.at(span)); });
    svg_polyline_close(svg);
    svg_dots_open(svg, kAccent, 5.0, &f);
    each_step([&](double at, double span) { svg_dot(svg, x.at(at), y.at(span)); });
    svg_path_close(svg);
}

// An empty plot frame with a note in its middle.
void empty_plot(Svg& svg, const Frame& f, const char* why) {
    svg_rect(svg, f.left, f.top, f.right - f.left, f.bottom - f.top, kPaper, kFrameLine);
    svg_centred_note(svg, f, why);
}

void calibration_panels(const Drawing& d) {
    Svg& svg = d.svg;
    const Calibration* cal = d.c.table;
    const char* note = d.c.note;
    svg_heading(svg, kTableHeadingY,
                "Calibration table: stage position against half the PSD reading");
    if (has_table(cal)) {
        Legend legend(svg, kTableLegendY);
        legend.line(kAccent, "requantized table");
        legend.squares(kOriginal, "measured points");
        if (d.branch_beyond_stretch()) legend.dots(kOutside, "rest of the branch");
        legend.swatch(kBelowTint, "before the stretch");
        table_panel(d, *cal);
        resolution_panel(d, *cal);
        return;
    }
    const char* why = note != nullptr ? note : "no table";
    empty_plot(svg, Frame{kPlotLeft, kBandTop, kPlotRight, kTableBottom}, why);
    svg_heading(svg, kResolutionHeadingY, kResolutionHeading);
    empty_plot(svg, Frame{kPlotLeft, kResolutionTop, kPlotRight, kResolutionBottom}, why);
}

int32_t check_height(const PictureContent& c) {
    return static_cast<int32_t>(check_heading(c) + kErrorBottomOffset + kBelowErrorPanel);
}

}  // namespace

bool prepare_picture(OutFile& file, const char* prefix, const PictureContent& content) {
    std::array<char, kMaxPath> name;
    make_file_name(name, prefix, ".svg");
    if (!out_open(file, name.data())) return false;

    Svg svg(file);
    if (content.kind == PictureKind::kCheck) {
        svg_begin(svg, kWidth, check_height(content));
        check_title(svg, content);
        error_panel(svg, check_heading(content), content);
    } else {
        const Drawing drawing{svg, content};
        const bool cal = content.kind == PictureKind::kCalibration;
        const int32_t height = cal ? kCalHeight : kCurveOnlyHeight;
        const double shift = title_shift(content);
        svg_begin(svg, kWidth, height + static_cast<int32_t>(shift));
        curve_title(svg, content);
        svg_shift_open(svg, shift);
        curve_panel(drawing);
        if (cal) {
            calibration_panels(drawing);
            if (has_table(content.table) && content.check != nullptr) {
                error_panel(svg, kErrorHeadingY, content);
            }
        }
        svg_shift_close(svg, shift);
    }
    svg_end(svg);
    if (!out_close(file)) {
        out_discard(file);
        return false;
    }
    return true;
}

}  // namespace vextal
