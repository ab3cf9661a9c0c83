// The measurement table, the measurement file reader with its attribute
// scanner, and the plot file writer.
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
    std::array<Measurement, kMaxMeasurements> records{};
    int32_t count = 0;
};

/// The one process-wide measurement table.
extern MeasurementTable g_measurements;

/// Reads a measurement file into g_measurements and the three header values
/// into g_settings; returns 0 or ends the program with exit code 2.
int load_measurement_file(const char* name);

/// Writes g_measurements as "<prefix>.psd"; returns 1 without a prefix (no
/// file), 0 after writing; ends the program on failure.
int write_plot_file(const char* prefix);

}  // namespace vextal
