// Tables of stage positions and readings as a data logger or a spreadsheet
// writes them (CSV, TSV, plot files), read line by line into the records of
// a measurement file.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.h"
#include "data/measurement_file.h"

namespace vextal {

/// The points of one table, in file order: each position as written in the
/// table (a decimal comma made a point), so that the measurement file holds
/// the very same digits.
struct ImportTable {
    std::array<RecordText, kMaxMeasurements> points{};
    int32_t count = 0;
};

/// Reads the table in `name` (opened as given) into `table`; ends the program
/// with exit code 2 on any fault, naming the line where it was found.
void read_table_file(const char* name, ImportTable& table);

}  // namespace vextal
