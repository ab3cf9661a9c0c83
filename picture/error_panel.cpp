#include "picture/error_panel.h"

#include <cmath>

#include "picture/style.h"

namespace vextal {
namespace {

using namespace style;

// Space between the plot's top and the crosses of records without an answer.
constexpr double kNoAnswerInset = 10;

}  // namespace

void error_panel(Svg& svg, double heading_y, const PictureContent& c) {
    const CheckResult& check = *c.check;
    const MeasurementTable& t = *c.measurements;
    const bool tolerance = c.request != nullptr && c.request->tolerance_given;
    const double tol = tolerance ? c.request->tolerance : 0.0;
    auto stage = [&](int32_t i) { return t.records[static_cast<std::size_t>(i)].stage; };
    auto status = [&](int32_t i) { return check.status[static_cast<std::size_t>(i)]; };
    auto answered = [&](int32_t i) {
        return status(i) == CheckStatus::kOk || status(i) == CheckStatus::kOver;
    };

    svg_heading(svg, heading_y, "Error of the firmware's answer: table[reading / 2] / 10 - stage");
    const double legend_y = heading_y + kErrorLegendOffset;
    Legend legend(svg, legend_y);
    legend.dots(kAccent,
                c.kind == PictureKind::kCheck ? "checked record" : "record of the stretch");
    if (tolerance) {
        legend.dots(kClosing, "beyond the tolerance");
        legend.swatch(kBelowTint, "within the tolerance");
    }
    legend.crosses(kClosing, "no answer");
    if (check.max_record >= 0) {
        svg_text_open(svg, kPlotRight, legend_y + kBaseline, kTickSize, Face::kPlain, "end", kInk);
        svg_put(svg, "max ");
        svg_put_pair(svg, check.max_error, ", rms ", check.rms_error, 2);
        svg_text_close(svg);
    }

    const Frame f{kPlotLeft, heading_y + kErrorTopOffset, kPlotRight,
                  heading_y + kErrorBottomOffset};
    Range xs;
    Range ys;
    ys.add(0);
    if (tolerance) {
        ys.add(tol);
        ys.add(-tol);
    }
    for (int32_t i = 0; i < check.count; ++i) {
        if (status(i) == CheckStatus::kOutside) continue;
        xs.add(stage(i));
        if (answered(i)) ys.add(check_error(check, i));
    }
    const Axis x = make_axis(xs, f.left, f.right);
    const Axis y = make_axis(ys, f.bottom, f.top);
    if (tolerance) {
        const double top = y.at(tol) < f.top ? f.top : y.at(tol);
        const double bottom = y.at(-tol) > f.bottom ? f.bottom : y.at(-tol);
        svg_rect(svg, f.left, top, f.right - f.left, bottom - top, kBelowTint, "none");
    }
    svg_axes(svg, f, AxisTitles{"stage position", "error", c.unit, c.unit}, x, y);
    if (check.checked == 0) {
        svg_centred_note(svg, f, "No record lies within the table's range");
        return;
    }
    for (const char* colour : {kAccent, kClosing}) {
        const CheckStatus shown = colour == kAccent ? CheckStatus::kOk : CheckStatus::kOver;
        svg_dots_open(svg, colour, 6.0, &f);
        for (int32_t i = 0; i < check.count; ++i) {
            if (status(i) == shown) svg_dot(svg, x.at(stage(i)), y.at(check_error(check, i)));
        }
        svg_path_close(svg);
    }
    svg_crosses_open(svg, kClosing, &f);
    for (int32_t i = 0; i < check.count; ++i) {
        if (status(i) == CheckStatus::kNoAnswer) {
            svg_cross(svg, x.at(stage(i)), f.top + kNoAnswerInset);
        }
    }
    svg_path_close(svg);
}

}  // namespace vextal
