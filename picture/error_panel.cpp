#include "picture/error_panel.h"

#include <cmath>

#include "picture/style.h"

namespace vextal {
namespace {

using namespace style;

// From the legend's last row to the plot's top.
constexpr double kLegendToPlot = kErrorTopOffset - kErrorLegendOffset;

// The largest and the rms error at the legend's right, with the unit.
void error_figures(Legend& legend, const CheckResult& check, const char* unit) {
    char text[kPairWithUnitMax];
    const std::size_t n =
        pair_with_unit(check.max_error, ", rms ", check.rms_error, 2, false, unit, text);
    constexpr char kMax[] = "max ";
    legend.right_text_open(sizeof kMax - 1 + shown_characters(text, n));
    Svg& svg = legend.svg();
    svg_put(svg, kMax);
    svg_put(svg, text);
    svg_text_close(svg);
}

}  // namespace

void error_panel(Svg& svg, double heading_y, const PictureContent& c) {
    const CheckResult& check = *c.check;
    const MeasurementTable& t = *c.measurements;
    const bool tolerance = c.request != nullptr && c.request->tolerance_given;
    const double tol = tolerance ? c.request->tolerance : 0.0;
    const FirmwareTable* table = c.request != nullptr ? c.request->table : nullptr;
    const bool is_check = c.kind == PictureKind::kCheck;
    auto stage = [&](int32_t i) { return t.records[static_cast<std::size_t>(i)].stage; };
    auto status = [&](int32_t i) { return check.status[static_cast<std::size_t>(i)]; };
    // The error of a record where the table answers it, judged or not.
    auto error_of = [&](int32_t i, double& error) {
        if (status(i) == CheckStatus::kOk || status(i) == CheckStatus::kOver) {
            error = check_error(check, i);
            return true;
        }
        double answer = 0.0;
        if (status(i) != CheckStatus::kOutside || table == nullptr ||
            !firmware_answer(*table, t.records[static_cast<std::size_t>(i)].psd, answer)) {
            return false;
        }
        error = answer - stage(i);
        return true;
    };

    svg_heading(svg, heading_y, "Error of the firmware's answer: table[reading / 2] / 10 - stage");
    Legend legend(svg, heading_y + kErrorLegendOffset);
    legend.dots(kAccent, is_check ? "checked record" : "record of the branch");
    if (tolerance) {
        legend.dots(kClosing, "beyond the tolerance");
        legend.swatch(kBelowTint, "within the tolerance");
    }
    legend.crosses(kClosing, "no answer");
    // cal's panel spans the branch: the fold closer than the peak is no part of it.
    if (is_check) legend.dots(kOutside, "outside the working range");
    if (check.max_record >= 0) error_figures(legend, check, c.unit);

    const Frame f{kPlotLeft, legend.last_row() + kLegendToPlot, kPlotRight,
                  heading_y + kErrorBottomOffset};
    Range xs;
    Range ys;
    ys.add(0);
    if (tolerance) {
        ys.add(tol);
        ys.add(-tol);
    }
    auto drawn = [&](int32_t i) { return is_check || status(i) != CheckStatus::kOutside; };
    for (int32_t i = 0; i < check.count; ++i) {
        if (!drawn(i)) continue;
        xs.add(stage(i));
        double error = 0.0;
        if (error_of(i, error)) ys.add(error);
    }
    const Axis x = make_axis(xs, f.left, f.right);
    const Axis y = make_axis(ys, f.bottom, f.top);
    if (tolerance) {
        const double top = y.at(tol) < f.top ? f.top : y.at(tol);
        const double bottom = y.at(-tol) > f.bottom ? f.bottom : y.at(-tol);
        svg_rect(svg, f.left, top, f.right - f.left, bottom - top, kBelowTint, "none");
    }
    svg_axes(svg, f, AxisTitles{"stage position", "error", c.unit, c.unit}, x, y);
    // Records without an answer stand on the x axis; the records not judged
    // lie beneath the judged ones.
    const struct {
        CheckStatus shown;
        const char* colour;
    } layers[] = {{CheckStatus::kOutside, kOutside},
                  {CheckStatus::kOk, kAccent},
                  {CheckStatus::kOver, kClosing},
                  {CheckStatus::kNoAnswer, kClosing}};
    for (const auto& layer : layers) {
        if (!is_check && layer.shown == CheckStatus::kOutside) continue;
        svg_dots_open(svg, layer.colour, 6.0, &f);
        for (int32_t i = 0; i < check.count; ++i) {
            double error = 0.0;
            if (status(i) == layer.shown && error_of(i, error)) {
                svg_dot(svg, x.at(stage(i)), y.at(error));
            }
        }
        svg_path_close(svg);
        if (layer.shown != CheckStatus::kOutside && layer.shown != CheckStatus::kNoAnswer) continue;
        svg_crosses_open(svg, layer.colour, &f);
        for (int32_t i = 0; i < check.count; ++i) {
            double error = 0.0;
            if (status(i) == layer.shown && !error_of(i, error))
                svg_cross(svg, x.at(stage(i)), f.bottom);
        }
        svg_path_close(svg);
    }
    if (check.checked == 0) svg_centred_note(svg, f, "No record lies within the table's range");
}

}  // namespace vextal
