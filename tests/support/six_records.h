// The six-record run that unit and end-to-end tests of the calibration share:
// positions fall from 30.0 to 5.0 while the readings rise from 9 to 30, except
// for the first record and the last, so that records 2 to 5 are the longest
// monotone range.
#pragma once

#include <array>
#include <cstdlib>
#include <vector>

#include "tests/support/msm.h"

namespace vextal::test {

struct SixRecord {
    const char* stage;  ///< as the measurement file writes it
    int psd;
};

inline constexpr std::array<SixRecord, 6> kSixRecords = {
    {{"30.0", 40}, {"25.0", 9}, {"20.0", 12}, {"10.7", 20}, {"8.0", 30}, {"5.0", 28}}};

/// The points of records `first` to `last` (from 1), for a measurement file.
inline std::vector<MsmPoint> six_record_points(std::size_t first = 1, std::size_t last = 6) {
    std::vector<MsmPoint> points;
    for (std::size_t i = first - 1; i < last; ++i) {
        points.emplace_back(kSixRecords[i].stage, kSixRecords[i].psd);
    }
    return points;
}

/// The records as the measurement table holds them: `Record` is
/// {double stage, int32_t psd}.
template <typename Record>
std::vector<Record> six_records() {
    std::vector<Record> records;
    for (const SixRecord& r : kSixRecords)
        records.push_back({std::strtod(r.stage, nullptr), r.psd});
    return records;
}

}  // namespace vextal::test
