#include "calib/calibration.h"
#include "data/measurement.h"

namespace vextal {

// Two walks outward from the middle record; each reading is compared with its
// neighbour nearer to the middle. Equal neighbours belong to the range. The
// readings are 32-bit integers, so comparing them as integers gives the same
// outcome as comparing them widened to double.
void find_monotone_range(const MeasurementTable& table, int32_t& first, int32_t& last) {
    const auto& records = table.records;
    int32_t count = table.count;
    if (count > kMaxMeasurements) count = kMaxMeasurements;
    if (count < 0) count = 0;
    const int32_t middle = count / 2;

    first = middle;
    int32_t prev = records[static_cast<std::size_t>(middle)].psd;
    for (int32_t i = middle; i >= 0; --i) {
        int32_t psd = records[static_cast<std::size_t>(i)].psd;
        if (psd > prev) break;
        first = i;
        prev = psd;
    }

    last = middle;
    prev = records[static_cast<std::size_t>(middle)].psd;
    for (int32_t i = middle; i < count; ++i) {
        int32_t psd = records[static_cast<std::size_t>(i)].psd;
        if (psd < prev) break;
        last = i;
        prev = psd;
    }
}

}  // namespace vextal
