#include "picture/picture.h"

#include <cmath>
#include <cstring>

#include "files/file_name.h"
#include "files/output_file.h"
#include "picture/error_panel.h"
#include "picture/style.h"
#include "picture/svg_writer.h"

namespace vextal {
namespace {

using namespace style;

// Longest part of a name or comment shown in the title.
constexpr std::size_t kShownName = 60;
constexpr std::size_t kShownComment = 90;

// The content being drawn and the document it goes into.
struct Drawing {
    Svg& svg;
    const PictureContent& c;

    int32_t count() const {
        const int32_t n = c.measurements != nullptr ? c.measurements->count : 0;
        return n < 0 ? 0 : (n > kMaxMeasurements ? kMaxMeasurements : n);
    }
    const Measurement& record(int32_t i) const {
        return c.measurements->records[static_cast<std::size_t>(i)];
    }
    bool in_stretch(int32_t i) const {
        return c.stretch_known && i >= c.stretch_first && i <= c.stretch_last;
    }
};

// The leading point, at least one range point and the two closing points.
bool has_table(const Calibration* cal) {
    return cal != nullptr && cal->points >= 4;
}

void title_line_open(Svg& svg, double y, Face face, const char* fill) {
    svg_text_open(svg, kTitleLeft, y, kLineSize, face, "start", fill);
}

// ---- title ----

void header_values(const Drawing& d) {
    const PictureContent& c = d.c;
    Svg& svg = d.svg;
    title_line_open(svg, kHeaderY, Face::kPlain, kInk);
    if (c.serial_number.given) {
        svg_put(svg, "sn ");
        svg_put_int(svg, c.serial_number.value);
        svg_put(svg, ", ");
    }
    if (c.average.given) {
        svg_put(svg, "avg ");
        svg_put_int(svg, c.average.value);
        svg_put(svg, ", ");
    }
    if (c.max_range.given) {
        svg_put(svg, "max_range ");
        svg_put_short(svg, c.max_range.value);
        svg_put(svg, ", ");
    }
    svg_put_int(svg, d.count());
    svg_put(svg, d.count() == 1 ? " measurement" : " measurements");
    svg_text_close(svg);
}

void stretch_line(const Drawing& d, bool used) {
    const PictureContent& c = d.c;
    Svg& svg = d.svg;
    title_line_open(svg, kStretchY, Face::kPlain, kInk);
    if (c.kind == PictureKind::kCalibration) {
        svg_put_int(svg, c.steps);
        svg_put(svg, " steps; ");
    }
    if (!c.stretch_known) {
        svg_put(svg, "no monotone stretch");
    } else {
        const Measurement& a = d.record(c.stretch_first);
        const Measurement& b = d.record(c.stretch_last);
        svg_put(svg, used ? "stretch used: records " : "monotone stretch: records ");
        svg_put_int(svg, c.stretch_first + 1);
        svg_put(svg, " to ");
        svg_put_int(svg, c.stretch_last + 1);
        svg_put(svg, ", stage ");
        svg_put_fixed(svg, a.stage, 1);
        svg_put(svg, " to ");
        svg_put_fixed(svg, b.stage, 1);
        svg_put(svg, ", readings ");
        svg_put_int(svg, a.psd);
        svg_put(svg, " to ");
        svg_put_int(svg, b.psd);
    }
    svg_text_close(svg);
}

// Visits the lines of a warning wrapped at blanks: a pointer into the text
// and a length, and whether it is the warning's first line.
template <typename Visit>
void each_wrapped_line(const char* text, Visit visit) {
    bool first = true;
    while (*text != '\0') {
        std::size_t n = std::strlen(text);
        if (n > kWrapAt) {
            n = kWrapAt;
            while (n > 0 && text[n] != ' ') --n;
            if (n == 0) n = kWrapAt;
        }
        visit(text, n, first);
        text += n;
        while (*text == ' ') ++text;
        first = false;
    }
}

int32_t warning_line_count(const Warnings* warnings) {
    int32_t lines = 0;
    if (warnings == nullptr) return 0;
    for (int32_t i = 0; i < warnings->count; ++i) {
        each_wrapped_line(warnings->text[static_cast<std::size_t>(i)].data(),
                          [&](const char*, std::size_t, bool) { ++lines; });
    }
    return lines;
}

// The warnings from `y` on; returns the y after the last line.
double warning_lines(Svg& svg, const Warnings* warnings, double y) {
    if (warnings == nullptr) return y;
    for (int32_t i = 0; i < warnings->count; ++i) {
        each_wrapped_line(warnings->text[static_cast<std::size_t>(i)].data(),
                          [&](const char* text, std::size_t n, bool first) {
                              title_line_open(svg, y, Face::kPlain, kClosing);
                              svg_put(svg, first ? "Warning: " : "    ");
                              svg_put_escaped(svg, text, n);
                              svg_text_close(svg);
                              y += kWarningLineStep;
                          });
    }
    return y;
}

// How far the title's lines below the stretch move the panels down: the
// note and the comment fit above the curve's heading, warnings take room.
double title_shift(const PictureContent& c) {
    const double y = kNoteY + (c.note != nullptr ? kTitleLineStep : 0) +
                     (c.comment != nullptr ? kTitleLineStep : 0) +
                     kWarningLineStep * warning_line_count(c.warnings);
    const double room = kNoteY + 2 * kTitleLineStep;
    return y > room ? y - room : 0.0;
}

// The title of a curve or a calibration.
void title(const Drawing& d) {
    const PictureContent& c = d.c;
    Svg& svg = d.svg;
    svg_text_open(svg, kTitleLeft, kTitleY, kTitleSize, Face::kBold, "start", kInk);
    svg_put_escaped(svg, c.name != nullptr ? c.name : "", kShownName);
    svg_put(svg, c.kind == PictureKind::kCalibration ? " - calibration" : " - measured curve");
    svg_text_close(svg);
    header_values(d);
    stretch_line(d, has_table(c.table));
    double y = kNoteY;
    if (c.note != nullptr) {
        title_line_open(svg, y, Face::kBold, kClosing);
        svg_put(svg, "No calibration written: ");
        svg_put_escaped(svg, c.note, kShownComment);
        svg_text_close(svg);
        y += kTitleLineStep;
    }
    if (c.comment != nullptr) {
        title_line_open(svg, y, Face::kItalic, kInk);
        svg_put(svg, "Comment: ");
        svg_put_escaped(svg, c.comment, kShownComment);
        svg_text_close(svg);
        y += kTitleLineStep;
    }
    warning_lines(svg, c.warnings, y);
}

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
    svg_axes(svg, f, x, y, "stage position", "PSD reading");
    if (n == 0) {
        svg_centred_note(svg, f, "No measurements");
        return;
    }
    auto at_x = [&](int32_t i) { return x.at(d.record(i).stage); };
    auto at_y = [&](int32_t i) { return y.at(d.record(i).psd); };

    svg_polyline_open(svg, kOutside, 1.0);
    for (int32_t i = 0; i < n; ++i) svg_point(svg, at_x(i), at_y(i));
    svg_polyline_close(svg);
    svg_dots_open(svg, kOutside, 6.0);
    for (int32_t i = 0; i < n; ++i) {
        if (!d.in_stretch(i)) svg_dot(svg, at_x(i), at_y(i));
    }
    svg_path_close(svg);
    if (!d.c.stretch_known) return;
    svg_polyline_open(svg, kAccent, 2.5);
    for (int32_t i = d.c.stretch_first; i <= d.c.stretch_last; ++i) {
        svg_point(svg, at_x(i), at_y(i));
    }
    svg_polyline_close(svg);
    svg_dots_open(svg, kAccent, 6.0);
    for (int32_t i = d.c.stretch_first; i <= d.c.stretch_last; ++i) svg_dot(svg, at_x(i), at_y(i));
    svg_path_close(svg);
}

// ---- the calibration table ----

// The original table's points: the leading point, the range points, then
// the two closing points.
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

void table_band(Svg& svg, const Calibration& cal, const TableParts& p, const Axis& x) {
    constexpr double kMiddle = (kBandTop + kBandBottom) / 2;
    svg_rect(svg, kPlotLeft, kBandTop, kPlotRight - kPlotLeft, kBandBottom - kBandTop, kBeyondTint,
             kFrameLine);
    svg_text_open(svg, kPlotLeft - kTickLabelLeft, kMiddle + kBaseline, kBandSize, Face::kPlain,
                  "end", kInk);
    svg_put(svg, "99.9");
    svg_text_close(svg);
    bool any = false;
    svg_crosses_open(svg, kClosing);
    for (int32_t j = 0; j < cal.steps; ++j) {
        if (!beyond(p, j) || !x.holds(j)) continue;
        svg_cross(svg, x.at(j), kMiddle);
        any = true;
    }
    svg_path_close(svg);
    svg_squares_open(svg, kOriginal);
    for (int32_t i = p.last_point + 1; i < cal.points; ++i) {
        const double xi = cal.original[static_cast<std::size_t>(i)].x;
        if (x.holds(xi)) svg_square(svg, x.at(xi), kMiddle);
    }
    svg_path_close(svg);
    if (!any) {
        svg_text_open(svg, (kPlotLeft + kPlotRight) / 2, kMiddle + kBaseline, kBandSize,
                      Face::kPlain, "middle", kInk);
        svg_put(svg, "no entry of the table lies beyond the stretch");
        svg_text_close(svg);
    }
}

void table_panel(Svg& svg, const Calibration& cal) {
    const TableParts p = table_parts(cal);
    Frame f{kPlotLeft, kTableTop, kPlotRight, kTableBottom};
    Range xs;
    Range ys;
    xs.add(0);
    xs.add(cal.steps - 1);
    for (int32_t i = 0; i <= p.last_point; ++i) {
        xs.add(cal.original[static_cast<std::size_t>(i)].x);
        ys.add(cal.original[static_cast<std::size_t>(i)].y);
    }
    for (int32_t j = 0; j < cal.steps && !beyond(p, j); ++j) {
        ys.add(cal.requantized[static_cast<std::size_t>(j)].y);
    }
    Axis x = make_axis(xs, f.left, f.right);
    Axis y = make_axis(ys, f.bottom, f.top);
    const double height = f.bottom - f.top;
    if (p.x_first > x.lo) {
        svg_rect(svg, f.left, f.top, x.at(p.x_first) - f.left, height, kBelowTint, "none");
    }
    if (p.x_last < x.hi) {
        svg_rect(svg, x.at(p.x_last), f.top, f.right - x.at(p.x_last), height, kBeyondTint, "none");
    }
    svg_axes(svg, f, x, y, "half the PSD reading (table index)", "stage position");
    table_band(svg, cal, p, x);

    // The table's line over the original points, which it passes through.
    svg_squares_open(svg, kOriginal);
    for (int32_t i = 0; i <= p.last_point; ++i) {
        const CalPoint& pt = cal.original[static_cast<std::size_t>(i)];
        svg_square(svg, x.at(pt.x), y.at(pt.y));
    }
    svg_path_close(svg);
    svg_polyline_open(svg, kAccent, 2.0);
    for (int32_t j = 0; j < cal.steps && !beyond(p, j); ++j) {
        svg_point(svg, x.at(j), y.at(cal.requantized[static_cast<std::size_t>(j)].y));
    }
    svg_polyline_close(svg);
}

// ---- resolution ----

constexpr const char* kResolutionHeading =
    "Resolution: position change per step of half the reading";

// How far the position moves from one table step to the next, at the
// positions of the stretch.
void resolution_panel(Svg& svg, const Calibration& cal) {
    const TableParts p = table_parts(cal);
    Frame f{kPlotLeft, kResolutionTop, kPlotRight, kResolutionBottom};
    Range xs;
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
        svg_text_open(svg, kPlotRight, kResolutionLegendY + kBaseline, kTickSize, Face::kPlain,
                      "end", kInk);
        svg_put(svg, "finest ");
        svg_put_short(svg, spans.min);
        svg_put(svg, ", coarsest ");
        svg_put_short(svg, spans.max);
        svg_text_close(svg);
    }

    Axis x = make_axis(xs, f.left, f.right);
    Axis y = make_axis(ys, f.bottom, f.top);
    svg_axes(svg, f, x, y, "stage position", "change per step");
    if (pairs == 0) {
        svg_centred_note(svg, f, "No two neighbouring table entries lie within the stretch");
        return;
    }
    svg_polyline_open(svg, kAccent, 2.0);
    each_step([&](double at, double span) { svg_point(svg, x.at(at), y.at(span)); });
    svg_polyline_close(svg);
    svg_dots_open(svg, kAccent, 5.0);
    each_step([&](double at, double span) { svg_dot(svg, x.at(at), y.at(span)); });
    svg_path_close(svg);
}

// An empty plot frame with a note in its middle.
void empty_plot(Svg& svg, const Frame& f, const char* why) {
    svg_rect(svg, f.left, f.top, f.right - f.left, f.bottom - f.top, kPaper, kFrameLine);
    svg_centred_note(svg, f, why);
}

void calibration_panels(Svg& svg, const Calibration* cal, const char* note) {
    svg_heading(svg, kTableHeadingY,
                "Calibration table: stage position against half the PSD reading");
    if (has_table(cal)) {
        Legend legend(svg, kTableLegendY);
        legend.line(kAccent, "requantized table");
        legend.squares(kOriginal, "original points");
        legend.crosses(kClosing, "99.9 beyond the stretch");
        legend.swatch(kBelowTint, "before the stretch");
        table_panel(svg, *cal);
        resolution_panel(svg, *cal);
        return;
    }
    const char* why = note != nullptr ? note : "no table";
    empty_plot(svg, Frame{kPlotLeft, kBandTop, kPlotRight, kTableBottom}, why);
    svg_heading(svg, kResolutionHeadingY, kResolutionHeading);
    empty_plot(svg, Frame{kPlotLeft, kResolutionTop, kPlotRight, kResolutionBottom}, why);
}

// The heading of a check's error panel: below the summary, the result and
// the warnings.
double check_heading(const PictureContent& c) {
    const int32_t lines =
        kSummaryLines + (c.request->tolerance_given ? 1 : 0) + warning_line_count(c.warnings);
    return kCheckSummaryY + kWarningLineStep * (lines - 1) + kCheckHeadingGap;
}

int32_t check_height(const PictureContent& c) {
    return static_cast<int32_t>(check_heading(c) + kErrorBottomOffset + kBelowErrorPanel);
}

// The picture of a check: its summary in the title, then the errors.
void check_picture(Svg& svg, const PictureContent& c) {
    svg_text_open(svg, kTitleLeft, kTitleY, kTitleSize, Face::kBold, "start", kInk);
    svg_put_escaped(svg, c.name != nullptr ? c.name : "", kShownName);
    svg_put(svg, " - check");
    svg_text_close(svg);
    title_line_open(svg, kHeaderY, Face::kPlain, kInk);
    if (c.table_file != nullptr) {
        svg_put(svg, "against the table ");
        svg_put_escaped(svg, c.table_file, kShownName);
        svg_put(svg, ".c");
    } else {
        svg_put(svg, "against the table that cal writes with -n ");
        svg_put_int(svg, c.steps);
    }
    svg_text_close(svg);
    double y = kCheckSummaryY;
    char line[kSummarySize];
    for (int i = 0; i <= kSummaryLines; ++i) {
        if (i < kSummaryLines) {
            check_summary_line(*c.check, i, line);
        } else if (c.request->tolerance_given) {
            check_result_line(*c.request, *c.check, line);
        } else {
            break;
        }
        title_line_open(svg, y, Face::kPlain, kInk);
        svg_put_escaped(svg, line, kSummarySize);
        svg_text_close(svg);
        y += kWarningLineStep;
    }
    warning_lines(svg, c.warnings, y);
    error_panel(svg, check_heading(c), c);
}

}  // namespace

bool prepare_picture(const char* prefix, const PictureContent& content) {
    static OutFile file;  // static for its write buffer
    std::array<char, kMaxPath> name;
    make_file_name(name, prefix, ".svg");
    if (!out_open(file, name.data())) return false;

    Svg svg(file);
    if (content.kind == PictureKind::kCheck) {
        svg_begin(svg, kWidth, check_height(content));
        check_picture(svg, content);
    } else {
        const Drawing drawing{svg, content};
        const bool cal = content.kind == PictureKind::kCalibration;
        const int32_t height = cal ? kCalHeight : kCurveOnlyHeight;
        const double shift = title_shift(content);
        svg_begin(svg, kWidth, height + static_cast<int32_t>(shift));
        title(drawing);
        svg_shift_open(svg, shift);
        curve_panel(drawing);
        if (cal) {
            calibration_panels(svg, content.table, content.note);
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
