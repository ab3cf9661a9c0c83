#include "calib/fit.h"

#include <array>
#include <cstddef>

#include "text/convert.h"
#include "text/format.h"
#include "text/numscan.h"

namespace vextal {
namespace {

constexpr std::size_t kMax = kMaxMeasurements;
/// Added to the x of the last fitted point for the first closing point.
constexpr float kStepAfterFit = 1.0f;
/// x of the last closing point, as in the table of the monotone stretch.
constexpr float kClosingX = 255.0f;
constexpr double kEntryScale = 10.0;
/// The positions next to the out-of-range entry: 998 and 1000 tenths.
constexpr float kBelow999 = 99.8f;
constexpr float kAbove999 = 100.0f;

// The fit's working storage, off the stack. The branch runs from far to near.
struct FitWork {
    std::array<int32_t, kMax> branch;  // record numbers
    std::array<int32_t, kMax> sorted;  // each block's readings, ascending, at the block's place
    std::array<int32_t, kMax> scratch;
    std::array<int32_t, kMax> block_start;
    std::array<int64_t, kMax> block_twice_median;  // exact: the sum of the two middle readings
    std::array<double, kMax> fitted;               // each record's level of the isotonic fit
    std::array<double, kMax> smoothed;             // the levels after the running mean
    std::array<double, kMax> knot_reading;
    std::array<double, kMax> knot_stage;
};
FitWork work;

const Measurement& at(const MeasurementTable& table, int32_t record) {
    return table.records[static_cast<std::size_t>(record)];
}

// The peak is the farthest record holding the highest reading; the branch
// every record at the peak's stage or farther, ordered from far to near. A
// run from near to far is turned round first, so that the stable insertion
// sort only has to place records of equal or unordered stages.
int32_t collect_branch(const MeasurementTable& table, int32_t count, int32_t& peak) {
    peak = find_peak(table, count);
    const double peak_stage = at(table, peak).stage;
    const bool near_first = at(table, 0).stage < at(table, count - 1).stage;
    int32_t m = 0;
    for (int32_t k = 0; k < count; ++k) {
        const int32_t i = near_first ? count - 1 - k : k;
        if (at(table, i).stage >= peak_stage) work.branch[static_cast<std::size_t>(m++)] = i;
    }
    for (int32_t k = 1; k < m; ++k) {
        const int32_t i = work.branch[static_cast<std::size_t>(k)];
        int32_t j = k;
        for (; j > 0 &&
               at(table, work.branch[static_cast<std::size_t>(j - 1)]).stage < at(table, i).stage;
             --j) {
            work.branch[static_cast<std::size_t>(j)] = work.branch[static_cast<std::size_t>(j - 1)];
        }
        work.branch[static_cast<std::size_t>(j)] = i;
    }
    return m;
}

// Merges the last two blocks (of `blocks`) by merging their sorted readings;
// `end` is one past the last block's last reading.
void merge_last_blocks(int32_t blocks, int32_t end) {
    const auto a = static_cast<std::size_t>(work.block_start[static_cast<std::size_t>(blocks - 2)]);
    const auto b = static_cast<std::size_t>(work.block_start[static_cast<std::size_t>(blocks - 1)]);
    const auto e = static_cast<std::size_t>(end);
    std::size_t i = a;
    std::size_t j = b;
    std::size_t n = 0;
    while (i < b || j < e) {
        const bool left = j >= e || (i < b && work.sorted[i] <= work.sorted[j]);
        work.scratch[n++] = left ? work.sorted[i++] : work.sorted[j++];
    }
    for (std::size_t k = 0; k < n; ++k) work.sorted[a + k] = work.scratch[k];
    work.block_twice_median[static_cast<std::size_t>(blocks - 2)] =
        int64_t{work.sorted[a + (n - 1) / 2]} + work.sorted[a + n / 2];
}

// Isotonic regression under the L1 norm by pooling adjacent violators: each
// block of records takes the median of its readings, and a block whose median
// lies above its nearer neighbour's is pooled with it. A lone spike or dropout
// thus sits in a small block whose median the other readings decide. Returns
// the number of blocks.
int32_t fit_blocks(const MeasurementTable& table, int32_t m) {
    int32_t blocks = 0;
    for (int32_t k = 0; k < m; ++k) {
        const int32_t psd = at(table, work.branch[static_cast<std::size_t>(k)]).psd;
        work.sorted[static_cast<std::size_t>(k)] = psd;
        work.block_start[static_cast<std::size_t>(blocks)] = k;
        work.block_twice_median[static_cast<std::size_t>(blocks)] = 2 * int64_t{psd};
        ++blocks;
        while (blocks >= 2 && work.block_twice_median[static_cast<std::size_t>(blocks - 2)] >
                                  work.block_twice_median[static_cast<std::size_t>(blocks - 1)]) {
            merge_last_blocks(blocks, k + 1);
            --blocks;
        }
    }
    return blocks;
}

// The isotonic fit is a staircase; a centred running mean over
// kSmoothRecords records, narrowed symmetrically at the branch's ends, turns
// it into a curve. The mean of a rising sequence still rises, so the curve
// stays monotone, and it averages the readings' quantisation and the noise
// that the fit kept where the curve is steep.
constexpr int32_t kSmoothHalfWidth = 2;

void smooth_fit(int32_t m, int32_t blocks) {
    for (int32_t b = 0; b < blocks; ++b) {
        const int32_t begin = work.block_start[static_cast<std::size_t>(b)];
        const int32_t end = b + 1 < blocks ? work.block_start[static_cast<std::size_t>(b + 1)] : m;
        const double level =
            static_cast<double>(work.block_twice_median[static_cast<std::size_t>(b)]) / 2.0;
        for (int32_t k = begin; k < end; ++k) work.fitted[static_cast<std::size_t>(k)] = level;
    }
    for (int32_t k = 0; k < m; ++k) {
        int32_t h = kSmoothHalfWidth;
        if (h > k) h = k;
        if (h > m - 1 - k) h = m - 1 - k;
        double sum = 0.0;
        for (int32_t j = k - h; j <= k + h; ++j) sum += work.fitted[static_cast<std::size_t>(j)];
        work.smoothed[static_cast<std::size_t>(k)] = sum / (2 * h + 1);
    }
}

// One knot per level of the smoothed curve (records of the same level
// joined): the level against the mean stage of its records. Returns the
// number of knots.
int32_t make_knots(const MeasurementTable& table, int32_t m) {
    int32_t knots = 0;
    for (int32_t k = 0; k < m;) {
        const double level = work.smoothed[static_cast<std::size_t>(k)];
        double sum = 0.0;
        int32_t n = 0;
        for (; k < m && work.smoothed[static_cast<std::size_t>(k)] == level; ++k, ++n) {
            sum += at(table, work.branch[static_cast<std::size_t>(k)]).stage;
        }
        work.knot_reading[static_cast<std::size_t>(knots)] = level;
        work.knot_stage[static_cast<std::size_t>(knots)] = sum / n;
        ++knots;
    }
    return knots;
}

// The fitted curve's stage at `reading`: linear between the knots, the
// farthest knot's stage below them and the nearest knot's above them.
double fitted_stage(int32_t knots, double reading) {
    if (reading <= work.knot_reading[0]) return work.knot_stage[0];
    const auto last = static_cast<std::size_t>(knots - 1);
    if (reading >= work.knot_reading[last]) return work.knot_stage[last];
    std::size_t lo = 0;  // knot_reading[lo] < reading <= knot_reading[hi]
    std::size_t hi = last;
    while (hi - lo > 1) {
        const std::size_t mid = lo + (hi - lo) / 2;
        if (work.knot_reading[mid] < reading) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    const double r0 = work.knot_reading[lo];
    const double t = (reading - r0) / (work.knot_reading[hi] - r0);
    return work.knot_stage[lo] + t * (work.knot_stage[hi] - work.knot_stage[lo]);
}

// The points the calibration file lists: the leading point at x = 0, the
// knots (half the fitted reading), the nearest knot's stage again at the
// peak's half-reading where the fit ends below the peak, and the two closing
// points.
int32_t build_fit_points(int32_t knots, int32_t peak_reading,
                         std::array<CalPoint, kMaxCalPoints>& points) {
    std::size_t n = 0;
    points[n++] = {0.0f, to_single(work.knot_stage[0])};
    for (int32_t k = 0; k < knots && n + 3 < points.size(); ++k) {
        points[n++] = {static_cast<float>(work.knot_reading[static_cast<std::size_t>(k)] / 2.0),
                       to_single(work.knot_stage[static_cast<std::size_t>(k)])};
    }
    if (peak_reading > work.knot_reading[static_cast<std::size_t>(knots - 1)]) {
        points[n] = {static_cast<float>(peak_reading / 2.0), points[n - 1].y};
        ++n;
    }
    points[n] = {points[n - 1].x + kStepAfterFit, kClosingY};
    ++n;
    const float after = points[n - 1].x;
    points[n++] = {after > kClosingX ? after + kStepAfterFit : kClosingX, kClosingY};
    return static_cast<int32_t>(n);
}

// Entry j serves the readings 2j and 2j + 1: the mean of the curve's stage at
// both makes the firmware's answer best over them. Readings above the peak's
// have no answer.
double entry_position(int32_t knots, int32_t peak_reading, int32_t j) {
    const int32_t low = 2 * j;
    if (low > peak_reading) return kClosingY;
    const double near = fitted_stage(knots, low);
    if (low + 1 > peak_reading) return near;
    return (near + fitted_stage(knots, low + 1)) / 2.0;
}

}  // namespace

int32_t fit_entry(float position) {
    // Rounded as every number the program writes: the fixed-point text with
    // no decimals, read back.
    char text[kFixedTextMax + 1];
    text[format_fixed(static_cast<double>(position) * kEntryScale, 0, text)] = '\0';
    return truncate_to_int(text_to_double(text));
}

int32_t find_peak(const MeasurementTable& table, int32_t count) {
    int32_t peak = 0;
    for (int32_t i = 1; i < count; ++i) {
        const Measurement& r = at(table, i);
        const Measurement& p = at(table, peak);
        if (r.psd > p.psd || (r.psd == p.psd && r.stage > p.stage)) peak = i;
    }
    return peak;
}

void find_branch(const MeasurementTable& table, int32_t& first, int32_t& last) {
    int32_t count = table.count;
    if (count > kMaxMeasurements) count = kMaxMeasurements;
    first = count;
    last = -1;
    if (count < 1) return;
    const double peak_stage = at(table, find_peak(table, count)).stage;
    for (int32_t i = 0; i < count; ++i) {
        if (at(table, i).stage < peak_stage) continue;
        if (i < first) first = i;
        last = i;
    }
}

bool compute_fit_calibration(const MeasurementTable& table, int32_t steps, Calibration& cal) {
    if (steps < 1) steps = 1;
    if (steps > kMaxSteps) steps = kMaxSteps;
    int32_t count = table.count;
    if (count > kMaxMeasurements) count = kMaxMeasurements;
    cal.points = 0;
    cal.steps = 0;
    cal.rounded = true;
    cal.first = 0;
    cal.last = 0;
    if (count < 1) return false;

    int32_t peak = 0;
    const int32_t m = collect_branch(table, count, peak);
    cal.first = count;
    cal.last = -1;
    for (int32_t k = 0; k < m; ++k) {
        const int32_t i = work.branch[static_cast<std::size_t>(k)];
        if (i < cal.first) cal.first = i;
        if (i > cal.last) cal.last = i;
    }
    if (m < 2) {
        cal.first = cal.last = peak;
        return false;
    }

    smooth_fit(m, fit_blocks(table, m));
    const int32_t knots = make_knots(table, m);
    const int32_t peak_reading = at(table, peak).psd;
    cal.points = build_fit_points(knots, peak_reading, cal.original);
    for (int32_t j = 0; j < steps; ++j) {
        const bool measured = 2 * j <= peak_reading;
        float y = to_single(entry_position(knots, peak_reading, j));
        // The firmware reads 999 as "no answer": a measured position that
        // would round to it is written a tenth off instead.
        const bool near_999 = y > kBelow999 && y < kAbove999;
        if (measured && near_999 && fit_entry(y) == kOutOfRangeEntry) {
            y = y < kClosingY ? kBelow999 : kAbove999;
        }
        cal.requantized[static_cast<std::size_t>(j)] = {static_cast<float>(j), y};
    }
    cal.steps = steps;
    return true;
}

}  // namespace vextal
