// The importer: a table of stage positions and readings, as a data logger or a
// spreadsheet writes it, read line by line and written out as a measurement
// file that the measurement file reader takes back value for value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "data/measurement.h"
#include "files/file_name.h"
#include "files/line_reader.h"
#include "files/output_file.h"

namespace vextal {

/// Longest position text taken from a table; with it, every measurement line
/// written stays well inside the 249 characters the reader takes as one line.
constexpr std::size_t kMaxPositionText = 100;

/// One imported point: the position as written in the table (a decimal comma
/// made a point), so that the measurement file holds the very same digits.
struct ImportedPoint {
    std::array<char, kMaxPositionText + 1> position{};  ///< NUL-terminated
    int32_t psd = 0;
};

/// The points of one table, in file order.
struct ImportTable {
    std::array<ImportedPoint, kMaxMeasurements> points{};
    int32_t count = 0;
};

/// The optional header values of the written file.
struct ImportHeader {
    bool has_max_range = false;
    double max_range = 0.0;
    bool has_average = false;
    int32_t average = 0;
};

/// Reads the table in `name` (opened as given) into `table`; ends the program
/// with exit code 2 on any fault, naming the line where it was found.
void read_import_file(const char* name, ImportTable& table);

/// The name of the measurement file to write: `prefix` and ".msm", or without
/// a prefix the input name without its last extension and ".msm". Ends the
/// program with exit code 2 when the name is too long.
void import_output_name(const char* input, const char* prefix, std::array<char, kMaxPath>& path);

/// Writes `table` as the measurement file `path`; ends the program with exit
/// code 2 when it cannot be written.
void write_import_file(const char* path, const ImportTable& table, const ImportHeader& header);

}  // namespace vextal
