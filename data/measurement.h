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
    int32_t count = 0;
    /// Which header values the file's root tag held.
    bool has_max_range = false;
    bool has_average = false;
    bool has_serial_number = false;
    /// After the count, so that a short run's records share its page.
    std::array<Measurement, kMaxMeasurements> records{};
};

/// The one process-wide measurement table.
extern MeasurementTable g_measurements;

/// Reads a measurement file into g_measurements and the three header values
/// into g_settings; returns 0 or ends the program with exit code 2.
int load_measurement_file(const char* name);

/// Writes g_measurements as "<prefix>.psd"; returns 1 without a prefix (no
/// file), 0 after writing; ends the program on failure.
int write_plot_file(const char* prefix);

/// As write_plot_file, but leaves the complete file pending, to be put in
/// place with the run's other outputs (out_commit_all); false without a
/// prefix.
bool prepare_plot_file(const char* prefix);
/// The message of a plot file that cannot be written or put in place.
extern const char* const kPlotWriteFailed;

}  // namespace vextal
