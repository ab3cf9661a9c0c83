// The measurement file (.msm): its reader, which fills the measurement table,
// and its writer, which the importer uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "data/measurement.h"
#include "files/output_file.h"

namespace vextal {

/// The extension of a measurement file's name.
inline constexpr char kMeasurementExtension[] = ".msm";

/// The three values of a measurement file's root tag that the run's settings
/// take over.
struct HeaderValues {
    double max_range = 0.0;
    int32_t average = 0;
    int32_t serial_number = 0;
};

/// Reads the measurement file `name` (".msm" appended unless the name holds
/// that text) into `table`, and each header value that line 1 holds into
/// `values` (the others stay as they are, the table's flags say which);
/// returns 0 or ends the program with exit code 2.
int load_measurement_file(const char* name, MeasurementTable& table, HeaderValues& values);

/// Longest stage position text the writer takes: every measurement line it
/// writes stays well inside the 249 characters the reader takes as one line.
constexpr std::size_t kMaxStageText = 100;

/// One record as the writer takes it: the stage position as the text to be
/// written (a number the reader takes whole), and the reading.
struct RecordText {
    std::array<char, kMaxStageText + 1> stage{};  ///< NUL-terminated
    int32_t psd = 0;
};

/// The optional values of the root tag.
struct MeasurementHeader {
    bool has_max_range = false;
    double max_range = 0.0;
    bool has_average = false;
    int32_t average = 0;
};

/// Writes a whole measurement file into `out`: the root tag with `header`,
/// the `count` records numbered from 1, and the end tag.
void write_measurement_file(OutFile& out, const MeasurementHeader& header,
                            const RecordText* records, int32_t count);

}  // namespace vextal
