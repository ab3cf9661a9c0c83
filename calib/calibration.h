// Monotone range detection, piecewise-linear lookup and the calibration files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "data/measurement.h"
#include "files/output_file.h"

namespace vextal {

/// One point of a piecewise-linear table, in single precision.
struct CalPoint {
    float x;  ///< input value: half the PSD reading
    float y;  ///< output value: a stage position
};

/// The longest run of records around the middle record (count / 2) of
/// `table` whose PSD readings never decrease with the index; both ends
/// inclusive. Counts beyond the table's capacity are taken as the capacity.
void find_monotone_range(const MeasurementTable& table, int32_t& first, int32_t& last);

/// Upper-bound search over `count` records of `record_size` bytes, each
/// beginning with a float key: the index of the last record whose key is at
/// most `key` (-1 below the first). A count of 0 or less returns count - 1
/// (INT32_MIN for INT32_MIN) without reading.
int32_t find_segment(const void* records, std::size_t record_size, int32_t count, float key);

/// The straight line through segment[0] and segment[1], evaluated at x. When
/// both points share an x the line is undefined and the result is the y of
/// the second point.
double line_value(const CalPoint* segment, float x);

/// The piecewise-linear function through `count` points evaluated at x,
/// extrapolated along the first or last segment outside the table. One point
/// gives its y everywhere; a count of 0 or less gives 0.0.
double table_lookup(const CalPoint* points, int32_t count, float x);

/// Room of a point table: every record of the measurement table plus the
/// leading point and the two closing points.
constexpr std::size_t kMaxCalPoints = kMaxMeasurements + 3;
/// y of both closing points, the value for readings beyond the measured range.
constexpr float kClosingY = 99.9f;

/// A calibration of a run as the output files hold it.
struct Calibration {
    int32_t first = 0;   ///< monotone range, first record (0-based)
    int32_t last = 0;    ///< monotone range, last record, inclusive
    int32_t points = 0;  ///< entries of `original`; 0 when the range is too small
    int32_t steps = 0;   ///< entries of `requantized`
    /// -fit: the firmware entries are rounded to the nearest tenth, not truncated.
    bool rounded = false;
    std::array<CalPoint, kMaxCalPoints> original{};
    std::array<CalPoint, kMaxCalPoints> requantized{};
};

/// Computes the calibration of `table` with `steps` (held within 1 to
/// kMaxSteps) requantized entries. False, with only the range set, when the
/// monotone range holds fewer than two records.
bool compute_calibration(const MeasurementTable& table, int32_t steps, Calibration& cal);

/// What a calibration's files are written from: the run, the step count,
/// whether the table is the -fit one, and the joined command line that the
/// ".c" file's comment line names.
struct CalibrationJob {
    const MeasurementTable* table = nullptr;
    const char* prefix = nullptr;
    int32_t steps = 0;
    bool fit = false;
    const char* call_params = "";
};

/// The ".cal" and the ".c" file, owned by the caller: each holds its write
/// buffer.
struct CalibrationFiles {
    OutFile cal;
    OutFile c;
};

/// Opens "<prefix>.cal" and "<prefix>.c" in `files`, computes the calibration
/// into `cal` and writes and closes both files without putting them in place
/// yet. Returns nullptr then; when the monotone range is too small it
/// discards both and returns that failure's message. Every other failure
/// ends the run.
const char* prepare_calibration(const CalibrationJob& job, CalibrationFiles& files,
                                Calibration& cal);

/// The message of a calibration whose files cannot be written or put in place.
extern const char kCalibrationWriteFailed[];
/// The message of a monotone range of fewer than two records.
extern const char kRangeTooSmall[];

/// The entry the firmware reads as "out of range": the closing y in tenths.
constexpr int32_t kOutOfRangeEntry = 999;
/// Most entries of a firmware table read from a file: readings up to 8191.
constexpr int32_t kMaxTableEntries = 4096;

/// A table as the firmware holds it: the requantized positions in tenths of
/// the stage unit, truncated toward zero (-fit: rounded), indexed by half the
/// reading.
struct FirmwareTable {
    int32_t count = 0;
    std::array<int32_t, kMaxTableEntries> entries{};
};

/// The entries of the ".c" file of `cal`.
void firmware_table(const Calibration& cal, FirmwareTable& table);

/// Reads `path` as the C compiler reads the file included in the firmware's
/// array initialiser: the integer literals in braces (decimal, octal, hex,
/// with their suffixes), comments, line splices, any line ends, a leading
/// UTF-8 BOM. A file that is not such a list, or an entry beyond the 32-bit
/// integers, ends the run with exit code 2 and "<file>, line N: <what>".
void read_firmware_table(const char* path, FirmwareTable& table);

}  // namespace vextal
