#include "picture/picture.h"

#include <cmath>
#include <cstring>

#include "common/settings.h"
#include "data/measurement.h"
#include "files/file_name.h"
#include "files/output_file.h"
#include "picture/svg_writer.h"
#include "text/format.h"

namespace vextal {
namespace {

// Colours that stay apart for colour-blind readers (the Okabe-Ito set).
constexpr const char* kAccent = "#0072B2";    // blue: the stretch, the table
constexpr const char* kOriginal = "#E69F00";  // orange: the original points
constexpr const char* kClosing = "#D55E00";   // vermillion: entries of 99.9
constexpr const char* kOutside = "#999999";   // grey: points outside the stretch
constexpr const char* kBeyondTint = "#FBE3D6";
constexpr const char* kBelowTint = "#EEEEEE";

constexpr int32_t kWidth = 1000;
constexpr int32_t kCurveOnlyHeight = 680;
constexpr int32_t kCalHeight = 1440;
constexpr double kPlotLeft = 110.0;
constexpr double kPlotRight = 960.0;

// Longest part of a name or comment shown in the title.
constexpr std::size_t kShownName = 60;
constexpr std::size_t kShownComment = 90;

struct Stretch {
    bool known = false;
    int32_t first = 0;
    int32_t last = 0;
};

const Measurement& record(int32_t i) {
    return g_measurements.records[static_cast<std::size_t>(i)];
}

int32_t record_count() {
    int32_t n = g_measurements.count;
    return n < 0 ? 0 : (n > kMaxMeasurements ? kMaxMeasurements : n);
}

// The leading point, at least one range point and the two closing points.
bool has_table(const Calibration* cal) {
    return cal != nullptr && cal->points >= 4;
}

// ---- title ----

void header_values() {
    const Settings& s = g_settings;
    const MeasurementTable& t = g_measurements;
    const bool measure = s.command == kMeasure;
    svg_text_open(kPlotLeft - 80, 76, 16, Face::kPlain, "start", "#222222");
    if (t.has_serial_number) {
        svg_put("sn ");
        svg_put_int(s.serial_number);
        svg_put(", ");
    }
    if (t.has_average || measure) {
        svg_put("avg ");
        svg_put_int(s.average);
        svg_put(", ");
    }
    if (t.has_max_range || measure) {
        svg_put("max_range ");
        svg_put_short(s.max_range);
        svg_put(", ");
    }
    svg_put_int(record_count());
    svg_put(record_count() == 1 ? " measurement" : " measurements");
    svg_text_close();
}

void stretch_line(const Stretch& stretch, bool used, double y) {
    svg_text_open(kPlotLeft - 80, y, 16, Face::kPlain, "start", "#222222");
    if (g_settings.command == kCal) {
        svg_put_int(g_settings.steps);
        svg_put(" steps; ");
    }
    if (!stretch.known) {
        svg_put("no monotone stretch");
    } else {
        const Measurement& a = record(stretch.first);
        const Measurement& b = record(stretch.last);
        svg_put(used ? "stretch used: records " : "monotone stretch: records ");
        svg_put_int(stretch.first + 1);
        svg_put(" to ");
        svg_put_int(stretch.last + 1);
        svg_put(", stage ");
        svg_put_fixed(a.stage, 1);
        svg_put(" to ");
        svg_put_fixed(b.stage, 1);
        svg_put(", readings ");
        svg_put_int(a.psd);
        svg_put(" to ");
        svg_put_int(b.psd);
    }
    svg_text_close();
}

void title(const Stretch& stretch, bool table, const char* note) {
    const Settings& s = g_settings;
    const char* name = s.command == kMeasure ? s.output_prefix : s.input_file;
    svg_text_open(kPlotLeft - 80, 44, 26, Face::kBold, "start", "#222222");
    svg_put_escaped(name != nullptr ? name : "", kShownName);
    svg_put(s.command == kCal ? " - calibration" : " - measured curve");
    svg_text_close();
    header_values();
    stretch_line(stretch, table, 102);
    double y = 128;
    if (note != nullptr) {
        svg_text_open(kPlotLeft - 80, y, 16, Face::kBold, "start", kClosing);
        svg_put("No calibration written: ");
        svg_put_escaped(note, kShownComment);
        svg_text_close();
        y += 26;
    }
    if (s.comment != nullptr) {
        svg_text_open(kPlotLeft - 80, y, 16, Face::kItalic, "start", "#222222");
        svg_put("Comment: ");
        svg_put_escaped(s.comment, kShownComment);
        svg_text_close();
    }
}

// ---- the measured curve ----

void curve_panel(const Stretch& stretch) {
    const int32_t n = record_count();
    svg_heading(196, "Measured curve: PSD reading against stage position");
    Legend legend(222);
    legend.line_and_dots(kAccent, "monotone stretch");
    legend.dots(kOutside, "outside the stretch");

    Frame f{kPlotLeft, 238, kPlotRight, 570};
    Range xs;
    Range ys;
    for (int32_t i = 0; i < n; ++i) {
        xs.add(record(i).stage);
        ys.add(record(i).psd);
    }
    Axis x = make_axis(xs, f.left, f.right);
    Axis y = make_axis(ys, f.bottom, f.top);
    svg_axes(f, x, y, "stage position", "PSD reading");
    if (n == 0) {
        svg_centred_note(f, "No measurements");
        return;
    }

    svg_polyline_open(kOutside, 1.0);
    for (int32_t i = 0; i < n; ++i) svg_point(x.at(record(i).stage), y.at(record(i).psd));
    svg_polyline_close();
    svg_dots_open(kOutside, 6.0);
    for (int32_t i = 0; i < n; ++i) {
        if (stretch.known && i >= stretch.first && i <= stretch.last) continue;
        svg_dot(x.at(record(i).stage), y.at(record(i).psd));
    }
    svg_path_close();
    if (!stretch.known) return;
    svg_polyline_open(kAccent, 2.5);
    for (int32_t i = stretch.first; i <= stretch.last; ++i) {
        svg_point(x.at(record(i).stage), y.at(record(i).psd));
    }
    svg_polyline_close();
    svg_dots_open(kAccent, 6.0);
    for (int32_t i = stretch.first; i <= stretch.last; ++i) {
        svg_dot(x.at(record(i).stage), y.at(record(i).psd));
    }
    svg_path_close();
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

void table_band(const Calibration& cal, const TableParts& p, const Axis& x) {
    constexpr double kTop = 716;
    constexpr double kBottom = 748;
    constexpr double kMiddle = (kTop + kBottom) / 2;
    svg_rect(kPlotLeft, kTop, kPlotRight - kPlotLeft, kBottom - kTop, kBeyondTint, "#444444");
    svg_text_open(kPlotLeft - 8, kMiddle + 5, 14, Face::kPlain, "end", "#222222");
    svg_put("99.9");
    svg_text_close();
    bool any = false;
    svg_crosses_open(kClosing);
    for (int32_t j = 0; j < cal.steps; ++j) {
        if (!beyond(p, j) || !x.holds(j)) continue;
        svg_cross(x.at(j), kMiddle);
        any = true;
    }
    svg_path_close();
    svg_squares_open(kOriginal);
    for (int32_t i = p.last_point + 1; i < cal.points; ++i) {
        const double xi = cal.original[static_cast<std::size_t>(i)].x;
        if (x.holds(xi)) svg_square(x.at(xi), kMiddle);
    }
    svg_path_close();
    if (!any) {
        svg_text_open((kPlotLeft + kPlotRight) / 2, kMiddle + 5, 14, Face::kPlain, "middle",
                      "#222222");
        svg_put("no entry of the table lies beyond the stretch");
        svg_text_close();
    }
}

void table_panel(const Calibration& cal) {
    const TableParts p = table_parts(cal);
    Frame f{kPlotLeft, 760, kPlotRight, 1050};
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
    if (p.x_first > x.lo)
        svg_rect(f.left, f.top, x.at(p.x_first) - f.left, f.bottom - f.top, kBelowTint, "none");
    if (p.x_last < x.hi)
        svg_rect(x.at(p.x_last), f.top, f.right - x.at(p.x_last), f.bottom - f.top, kBeyondTint,
                 "none");
    svg_axes(f, x, y, "half the PSD reading (table index)", "stage position");
    table_band(cal, p, x);

    // The table's line over the original points, which it passes through.
    svg_squares_open(kOriginal);
    for (int32_t i = 0; i <= p.last_point; ++i) {
        const CalPoint& pt = cal.original[static_cast<std::size_t>(i)];
        svg_square(x.at(pt.x), y.at(pt.y));
    }
    svg_path_close();
    svg_polyline_open(kAccent, 2.0);
    for (int32_t j = 0; j < cal.steps && !beyond(p, j); ++j) {
        svg_point(x.at(j), y.at(cal.requantized[static_cast<std::size_t>(j)].y));
    }
    svg_polyline_close();
}

// ---- resolution ----

constexpr const char* kResolutionHeading =
    "Resolution: position change per step of half the reading";

// How far the position moves from one table step to the next, at the
// positions of the stretch.
void resolution_panel(const Calibration& cal) {
    const TableParts p = table_parts(cal);
    Frame f{kPlotLeft, 1192, kPlotRight, 1360};
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

    svg_heading(1150, kResolutionHeading);
    Legend legend(1176);
    legend.line_and_dots(kAccent, "change between neighbouring table entries");
    if (pairs > 0) {
        svg_text_open(kPlotRight, 1181, 15, Face::kPlain, "end", "#222222");
        svg_put("finest ");
        svg_put_short(spans.min);
        svg_put(", coarsest ");
        svg_put_short(spans.max);
        svg_text_close();
    }

    Axis x = make_axis(xs, f.left, f.right);
    Axis y = make_axis(ys, f.bottom, f.top);
    svg_axes(f, x, y, "stage position", "change per step");
    if (pairs == 0) {
        svg_centred_note(f, "No two neighbouring table entries lie within the stretch");
        return;
    }
    svg_polyline_open(kAccent, 2.0);
    each_step([&](double at, double span) { svg_point(x.at(at), y.at(span)); });
    svg_polyline_close();
    svg_dots_open(kAccent, 5.0);
    each_step([&](double at, double span) { svg_dot(x.at(at), y.at(span)); });
    svg_path_close();
}

void calibration_panels(const Calibration* cal, const char* note) {
    svg_heading(676, "Calibration table: stage position against half the PSD reading");
    if (has_table(cal)) {
        Legend legend(702);
        legend.line(kAccent, "requantized table");
        legend.squares(kOriginal, "original points");
        legend.crosses(kClosing, "99.9 beyond the stretch");
        legend.swatch(kBelowTint, "before the stretch");
        table_panel(*cal);
        resolution_panel(*cal);
        return;
    }
    const char* why = note != nullptr ? note : "no table";
    Frame t{kPlotLeft, 716, kPlotRight, 1050};
    svg_rect(t.left, t.top, t.right - t.left, t.bottom - t.top, "#FFFFFF", "#444444");
    svg_centred_note(t, why);
    svg_heading(1150, kResolutionHeading);
    Frame r{kPlotLeft, 1192, kPlotRight, 1360};
    svg_rect(r.left, r.top, r.right - r.left, r.bottom - r.top, "#FFFFFF", "#444444");
    svg_centred_note(r, why);
}

Stretch find_stretch(const Calibration* cal) {
    Stretch s;
    if (cal != nullptr) {
        s = {true, cal->first, cal->last};
    } else if (record_count() > 0) {
        s.known = true;
        find_monotone_range(s.first, s.last);
    }
    return s;
}

OutFile picture_file;  // static for its write buffer

}  // namespace

bool prepare_picture(const char* prefix, const Calibration* cal, const char* note) {
    std::array<char, kMaxPath> name;
    make_file_name(name, prefix, ".svg");
    if (!out_open(picture_file, name.data())) return false;

    const bool cal_picture = g_settings.command == kCal;
    const Stretch stretch = find_stretch(cal);
    svg_begin(picture_file, kWidth, cal_picture ? kCalHeight : kCurveOnlyHeight);
    title(stretch, has_table(cal), note);
    curve_panel(stretch);
    if (cal_picture) calibration_panels(cal, note);
    svg_end();
    if (!out_close(picture_file)) {
        out_discard(picture_file);
        return false;
    }
    return true;
}

}  // namespace vextal
