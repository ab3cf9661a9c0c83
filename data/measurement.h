// The measurement table: the measured points of one run, in file order.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.h"

namespace vextal {

/// One measured point.
struct Measurement {
    double stage;  ///< stage position at which the reading was taken
    int32_t psd;   ///< sensor reading at that position
};

/// The program's only store of measured data, in file order.
struct MeasurementTable {
    int32_t count = 0;
    /// Which header values the file's root tag held.
    bool has_max_range = false;
    bool has_average = false;
    bool has_serial_number = false;
    /// After the count, so that a short run's records share its page.
    std::array<Measurement, kMaxMeasurements> records{};
};

}  // namespace vextal
