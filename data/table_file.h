// Tables of stage positions and readings as a data logger or a spreadsheet
// writes them (CSV, TSV, plot files), read line by line into the records of
// a measurement file.
#pragma once

#include <array>
#include <cstdint>

#include "common/limits.h"
#include "data/measurement_file.h"
#include "files/line_reader.h"

namespace vextal {

/// The highest column a line can have: one more than the separators that its
/// 248 characters can hold.
constexpr int32_t kMaxColumn = static_cast<int32_t>(kLineSize) - 1;

/// The two columns that hold the position and the reading, in that order:
/// each by its number (from 1) or, where the number is 0, by the name the
/// header line gives it.
struct ColumnChoice {
    std::array<int32_t, 2> number{1, 2};
    std::array<std::array<char, kLineSize>, 2> name{};  ///< NUL-terminated
};

/// Reads the columns of -cols, "<position>,<reading>", each a number from 1
/// or a header name, quoted where it holds a comma or a quote; false unless
/// it names two different columns.
bool parse_column_choice(const char* text, ColumnChoice& choice);

/// The option words that the import's messages name, as the command line
/// spells them.
struct ImportWords {
    const char* columns = nullptr;  ///< chooses the two columns
    const char* decimal = nullptr;  ///< gives the decimal mark
    const char* round = nullptr;    ///< rounds the readings
};

/// How a table is read.
struct ImportOptions {
    ImportWords words;
    ColumnChoice columns;
    char decimal_mark = '\0';  ///< ',' or '.' where given; otherwise the file decides
    bool round = false;        ///< readings with decimals are rounded, halves away from zero
    bool mean = false;         ///< one record per position, the mean of its readings
    bool keep_order = false;   ///< the file's order, not from the largest position down
};

/// What became of the file's order of the points.
enum class ImportOrder : uint8_t {
    kKept,      ///< -keep-order: the file's order
    kAlready,   ///< the file was already in order from far to near
    kReversed,  ///< the file went from near to far: its order turned round
    kSorted,    ///< the file was in neither order: sorted from far to near
};

/// The points of one table: each position as written in the table (its
/// digit grouping dropped, a decimal comma made a point), so that the
/// measurement file holds the very same digits; ordered from the largest
/// position to the smallest unless the options keep the file's order.
struct ImportTable {
    std::array<RecordText, kMaxMeasurements> points{};
    int32_t count = 0;
    int64_t readings = 0;  ///< the readings the table held
    int64_t rounded = 0;   ///< those of them -round changed
    /// With -mean, the fewest and the most readings that one point is the
    /// mean of.
    int64_t fewest_per_point = 0;
    int64_t most_per_point = 0;
    /// The smallest and the largest position, as written, and reading.
    RecordText lowest;
    RecordText highest;
    int32_t lowest_reading = 0;
    int32_t highest_reading = 0;
    /// '.' or ',', the decimal mark the file was read with; '\0' where no
    /// number needed one.
    char decimal_mark = '\0';
    ImportOrder order = ImportOrder::kKept;
};

struct ImportState;

/// Reads the table in `name` (opened as given) into `table`, keeping what the
/// reading needs between the lines in `state` (data/import_state.h); ends the
/// program with exit code 2 on any fault, naming the line where it was found.
void read_table_file(const char* name, const ImportOptions& options, ImportState& state,
                     ImportTable& table);

/// Writes to standard output what -round and -mean made of the readings of
/// `table`, a line for each of them that `options` hold.
void print_import_summary(const ImportOptions& options, const ImportTable& table);
/// Writes to standard output the line that sums up the file written from
/// `table`: its records, the range of its positions and readings, the
/// decimal mark and the order.
void print_import_result(const ImportTable& table);

}  // namespace vextal
