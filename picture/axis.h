// The picture's linear axes: round ticks over the values drawn, and tick
// labels short enough to stand beside a plot that still tell every tick from
// its neighbours, whatever the magnitudes.
#pragma once

#include <cstddef>

namespace vextal {

/// The smallest and largest finite value added; other values are passed over.
struct Range {
    bool any = false;
    double min = 0.0;
    double max = 0.0;
    void add(double v);
};

/// Longest tick label, in characters.
constexpr std::size_t kTickLabelMax = 10;
/// Room of a tick label or of an axis's offset text, NUL included.
constexpr std::size_t kAxisTextSize = 32;

/// How the tick labels are written: with a fixed number of decimals where
/// that fits, with an exponent where magnitudes need it, and as offsets from
/// a base named in the axis title where even that cannot tell the ticks apart
/// (a span tiny against its values).
enum class TickForm { kFixed, kExponent };

/// A linear axis from `lo` to `hi` with ticks every `step`, mapped onto the
/// picture coordinates `px_lo` to `px_hi`.
struct Axis {
    double lo;
    double hi;
    double step;
    int step_power;  ///< the step is 1, 2 or 5 times 10^step_power
    double px_lo;
    double px_hi;
    TickForm form = TickForm::kFixed;
    int decimals = 0;      ///< decimals of fixed labels
    bool offset = false;   ///< labels are the tick less `base`
    double base_tick = 0;  ///< the tick number of the base
    /// The picture coordinate of `v`, held within the picture's reach.
    double at(double v) const;
    bool holds(double v) const { return v >= lo && v <= hi; }
};

/// An axis over `range` whose ends are round multiples of a round step
/// (1, 2 or 5 times a power of ten), about seven steps long; an empty range
/// gives 0 to 1, a single value a span around it.
Axis make_axis(const Range& range, double px_lo, double px_hi);
/// An axis that ends at `lo` and `hi` themselves (lo < hi), with the ticks
/// of make_axis between them.
Axis make_exact_axis(double lo, double hi, double px_lo, double px_hi);

/// Visits the ticks of an axis, lowest first, by their number k (the tick
/// stands at k times the step); at most 41.
template <typename Visit>
void each_tick(const Axis& a, Visit visit);

/// The value of tick number k.
inline double tick_value(const Axis& a, double k) {
    return k * a.step + 0.0;  // + 0.0: a tick at zero is never "-0"
}

/// The picture coordinate of tick number k.
double tick_at(const Axis& a, double k);
/// The label of tick number k, NUL-terminated; returns its length (at most
/// kTickLabelMax).
std::size_t tick_label(const Axis& a, double k, char (&out)[kAxisTextSize]);
/// The base an offset axis's labels are counted from ("1e20"), for its
/// title; returns 0 for an axis without offset.
std::size_t axis_offset_text(const Axis& a, char (&out)[kAxisTextSize]);

// ---- implementation ----

/// The first and last tick number of an axis.
void tick_numbers(const Axis& a, double& first, double& last);

template <typename Visit>
void each_tick(const Axis& a, Visit visit) {
    double first = 0;
    double last = -1;
    tick_numbers(a, first, last);
    for (int i = 0; i <= 40 && first + i <= last; ++i) visit(first + i);
}

}  // namespace vextal
