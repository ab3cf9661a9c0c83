#include "picture/axis.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "text/format.h"

namespace vextal {
namespace {

// A coordinate far outside the picture is held here, so that no value, however
// large, turns into a number a renderer cannot take.
constexpr double kReach = 10000.0;
// Most decimals a fixed label is tried with.
constexpr int kMaxDecimals = 17;

// A round step near a seventh of the span (given as half the span, which never
// overflows): 1, 2 or 5 times a power of ten, whose exponent goes to `power`.
// Only +, -, * and / are used, so every platform finds the same step.
double round_step(double half_span, int& power) {
    const double raw = half_span / 3.5;
    double p = 1.0;
    power = 0;
    for (int k = 0; k < 400 && p * 10.0 <= raw; ++k) {
        p *= 10.0;
        ++power;
    }
    for (int k = 0; k < 400 && p > raw; ++k) {
        p /= 10.0;
        --power;
    }
    double step = raw <= p ? p : raw <= 2 * p ? 2 * p : raw <= 5 * p ? 5 * p : 10 * p;
    if (step == 10 * p) ++power;
    if (!std::isfinite(step) || step <= 0.0) step = p > 0.0 ? p : DBL_MIN;
    return step;
}

double held(double v) {
    return v > DBL_MAX ? DBL_MAX : (v < -DBL_MAX ? -DBL_MAX : v);
}

// The label of `value` in the axis's form, without offset.
std::size_t label_of(const Axis& a, double value, char (&out)[kAxisTextSize]) {
    if (a.form == TickForm::kFixed) {
        char text[kFixedTextMax];
        const std::size_t n = format_fixed(value, a.decimals, text);
        const std::size_t kept = n < kAxisTextSize - 1 ? n : kAxisTextSize - 1;
        std::memcpy(out, text, kept);
        out[kept] = '\0';
        return n;  // the whole length, so that a label too long shows as such
    }
    if (value == 0.0) return format_significant(0.0, 1, false, out);
    // Digits down to the step's power of ten tell a tick from its neighbours.
    char digits[kSignificantDigits];
    const int power = significant_digits(std::fabs(value), digits);
    return format_significant(value, power - a.step_power + 1, false, out);
}

double label_value(const Axis& a, double k) {
    return a.offset ? tick_value(a, k - a.base_tick) : tick_value(a, k);
}

bool labels_fit(const Axis& a) {
    bool fit = true;
    each_tick(a, [&](double k) {
        char text[kAxisTextSize];
        if (label_of(a, label_value(a, k), text) > kTickLabelMax) fit = false;
    });
    return fit;
}

// Fixed decimals where they fit, else exponents, else both on offsets from
// the first tick (whose labels then span a few steps only, and fit).
void choose_labels(Axis& a) {
    a.decimals = a.step_power < 0 ? -a.step_power : 0;
    for (bool offset : {false, true}) {
        a.offset = offset;
        double last = 0;
        tick_numbers(a, a.base_tick, last);
        a.form = TickForm::kFixed;
        if (a.decimals <= kMaxDecimals && labels_fit(a)) return;
        a.form = TickForm::kExponent;
        if (labels_fit(a)) return;
    }
}

Axis finish(Axis a) {
    choose_labels(a);
    return a;
}

}  // namespace

void Range::add(double v) {
    if (!std::isfinite(v)) return;
    if (!any || v < min) min = v;
    if (!any || v > max) max = v;
    any = true;
}

namespace {

double picture_at(const Axis& a, double t) {
    const double px = a.px_lo + t * (a.px_hi - a.px_lo);
    if (std::isnan(px)) return a.px_lo;
    return px < -kReach ? -kReach : (px > kReach ? kReach : px);
}

}  // namespace

double Axis::at(double v) const {
    return picture_at(*this, (v / 2 - lo / 2) / (hi / 2 - lo / 2));
}

double tick_at(const Axis& a, double k) {
    if (!a.offset) return a.at(tick_value(a, k));
    // Placed by its offset from the base, which the labels show: the tick
    // itself may have no double of its own at such a magnitude. The end and
    // the base lie so close that their difference is exact.
    const double from_lo = tick_value(a, k - a.base_tick) - (a.lo - tick_value(a, a.base_tick));
    return picture_at(a, from_lo / (a.hi - a.lo));
}

void tick_numbers(const Axis& a, double& first, double& last) {
    // A little slack, so that an end that is a multiple of the step but
    // divides to a hair beside it keeps its tick.
    first = std::ceil(a.lo / a.step - 1e-9);
    last = std::floor(a.hi / a.step + 1e-9);
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
    a.step = round_step(hi / 2 - lo / 2, a.step_power);
    const double round_lo = std::floor(lo / a.step) * a.step;
    const double round_hi = std::ceil(hi / a.step) * a.step;
    if (std::isfinite(round_lo) && round_lo <= lo) a.lo = round_lo;
    if (std::isfinite(round_hi) && round_hi >= hi) a.hi = round_hi;
    return finish(a);
}

Axis make_exact_axis(double lo, double hi, double px_lo, double px_hi) {
    Axis a{lo, hi, 1.0, 0, px_lo, px_hi};
    a.step = round_step(hi / 2 - lo / 2, a.step_power);
    return finish(a);
}

std::size_t tick_label(const Axis& a, double k, char (&out)[kAxisTextSize]) {
    const std::size_t n = label_of(a, label_value(a, k), out);
    return n < kAxisTextSize ? n : kAxisTextSize - 1;
}

std::size_t axis_offset_text(const Axis& a, char (&out)[kAxisTextSize]) {
    out[0] = '\0';
    if (!a.offset) return 0;
    return format_round_trip(tick_value(a, a.base_tick), out);
}

}  // namespace vextal
