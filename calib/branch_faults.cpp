// What the branch of a run holds that a table cannot use well: readings at
// the ends of the converter's scale, several records at one stage, and a
// monotone stretch that covers only part of the branch.
#include <algorithm>
#include <cmath>

#include "calib/check.h"
#include "calib/fit.h"
#include "data/measurement.h"

namespace vextal {
namespace {

// The full scales of the converters in use: 8, 10 and 12 bits.
constexpr std::array<int32_t, 3> kFullScales{255, 1023, 4095};

const Measurement& record(const MeasurementTable& run, int32_t i) {
    return run.records[static_cast<std::size_t>(i)];
}

void note(NamedRecords& named, int32_t i) {
    if (named.count < kNamedRecords) named.record[static_cast<std::size_t>(named.count)] = i;
    ++named.count;
}

// The record numbers ordered by stage, then by number; static, as a run holds up to
// kMaxMeasurements of them.
std::array<int32_t, kMaxMeasurements> by_stage;

// Counts the stages that hold several records and names the first such
// record in file order, with the next one at its stage. A stage that is not
// a number is no stage.
void find_repeats(const MeasurementTable& run, int32_t n, BranchFindings& f) {
    int32_t m = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (!std::isnan(record(run, i).stage)) by_stage[static_cast<std::size_t>(m++)] = i;
    }
    const auto begin = by_stage.begin();
    // By stage, then by record: a total order, and no buffer to allocate.
    std::sort(begin, begin + m, [&run](int32_t a, int32_t b) {
        const double sa = record(run, a).stage;
        const double sb = record(run, b).stage;
        return sa < sb || (sa == sb && a < b);
    });
    for (int32_t k = 0; k + 1 < m;) {
        const int32_t i = by_stage[static_cast<std::size_t>(k)];
        int32_t end = k + 1;
        while (end < m &&
               record(run, by_stage[static_cast<std::size_t>(end)]).stage == record(run, i).stage) {
            ++end;
        }
        if (end - k > 1) {
            ++f.repeated;
            if (f.repeat_first < 0 || i < f.repeat_first) {
                f.repeat_first = i;
                f.repeat_next = by_stage[static_cast<std::size_t>(k + 1)];
            }
        }
        k = end;
    }
}

}  // namespace

void find_branch_faults(const MeasurementTable& run, int32_t first, int32_t last,
                        BranchFindings& f) {
    f = BranchFindings{};
    const int32_t n = std::clamp(run.count, 0, kMaxMeasurements);
    if (n == 0) return;
    f.stretch_total = std::max(std::min(last, n - 1) - std::max(first, 0) + 1, 0);
    const int32_t peak = find_peak(run, n);
    const int32_t highest = record(run, peak).psd;
    for (const int32_t scale : kFullScales) {
        if (highest <= scale) {
            f.full_scale = scale;
            break;
        }
    }
    const double peak_stage = record(run, peak).stage;
    for (int32_t i = 0; i < n; ++i) {
        const Measurement& r = record(run, i);
        if (!(r.stage >= peak_stage)) continue;
        ++f.branch;
        if (i >= first && i <= last) ++f.stretch;
        if (r.psd == 0) note(f.zeros, i);
        if (f.full_scale > 0 && r.psd == f.full_scale) note(f.full, i);
    }
    find_repeats(run, n, f);
}

bool stretch_leaves_branch(const BranchFindings& f) {
    return 4 * (f.branch - f.stretch) > f.branch && f.branch > f.stretch_total;
}

}  // namespace vextal
