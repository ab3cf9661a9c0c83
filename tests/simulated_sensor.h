// Simulated PSD runs for the calibration tests: a sensor whose reading falls
// as a / (d + b) + c from its nearest working distance to its farthest, folds
// over below the nearest, and is read through an ADC of 8 or 10 bits with
// Gaussian noise, spikes and a dropout. Every draw comes from a fixed seed.
#pragma once

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "data/measurement.h"

namespace vextal::test {

struct Sensor {
    int bits;
    double near_cm;  ///< nearest working distance: the curve's peak
    double far_cm;
    double step_cm;
    double unit_per_cm;  ///< 1 for a run in cm, 10 for one in mm
};

struct RunShape {
    double noise = 0.0;         ///< standard deviation in counts
    bool glitches = false;      ///< two spikes and a dropout
    bool near_first = false;    ///< measured from near to far
    double offset_steps = 0.0;  ///< stages shifted by this part of a step (validation)
    uint32_t seed = 1;
};

inline int full_scale(const Sensor& s) {
    return (1 << s.bits) - 1;
}

// Noise-free reading at d cm: 0.9 of full scale at the near end, 0.15 at the
// far end; below the near end the reading falls steeply (the fold).
inline double true_reading(const Sensor& s, double d) {
    const double b = s.near_cm / 5.0;
    const double top = 0.9 * full_scale(s);
    const double bottom = 0.15 * full_scale(s);
    const double a = (top - bottom) / (1.0 / (s.near_cm + b) - 1.0 / (s.far_cm + b));
    const double c = top - a / (s.near_cm + b);
    if (d < s.near_cm) return top - 0.2 * full_scale(s) * (s.near_cm - d) / s.step_cm;
    return a / (d + b) + c;
}

inline MeasurementTable simulated_run(const Sensor& s, const RunShape& shape) {
    std::mt19937 random(shape.seed);
    // Box-Muller from the generator's own words: the same draws everywhere.
    auto gauss = [&random]() {
        const double u1 = (random() + 1.0) / 4294967297.0;
        const double u2 = random() / 4294967296.0;
        return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
    };
    std::vector<double> stages;
    const int fold = 3;
    const int n = static_cast<int>(std::lround((s.far_cm - s.near_cm) / s.step_cm));
    const int last = shape.offset_steps > 0.0 ? n - 1 : n;  // held-out records stay inside
    for (int k = -fold; k <= last; ++k) {
        stages.push_back(s.near_cm + (k + shape.offset_steps) * s.step_cm);
    }
    if (!shape.near_first) std::vector<double>(stages.rbegin(), stages.rend()).swap(stages);

    MeasurementTable table;
    const int count = static_cast<int>(stages.size());
    for (int i = 0; i < count; ++i) {
        const double d = stages[static_cast<std::size_t>(i)];
        double r = std::floor(true_reading(s, d) + shape.noise * gauss());
        if (r < 0.0) r = 0.0;
        if (r > full_scale(s)) r = full_scale(s);
        auto& rec = table.records[static_cast<std::size_t>(i)];
        rec.stage = d * s.unit_per_cm;
        rec.psd = static_cast<int32_t>(r);
    }
    if (shape.glitches) {
        // Two spikes of 40 counts on 8 bits (160 on 10) and a dropout, in the
        // branch's far half where a spike stays below the peak.
        const int spike = 40 << (s.bits - 8);
        auto far_part = [&](double part) {
            const int k = static_cast<int>(part * n);
            return shape.near_first ? fold + n - k : k;
        };
        table.records[static_cast<std::size_t>(far_part(0.2))].psd += spike;
        table.records[static_cast<std::size_t>(far_part(0.45))].psd -= spike / 2;
        table.records[static_cast<std::size_t>(far_part(0.35))].psd = 0;
    }
    table.count = count;
    return table;
}

}  // namespace vextal::test
