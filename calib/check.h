// The check of a firmware table against a run: the firmware's answer at each
// record, the errors and their summary, and the warnings where a table or a
// run is unfit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "calib/calibration.h"
#include "files/output_file.h"

namespace vextal {

/// How a record of the run came out.
enum class CheckStatus : uint8_t {
    kOk,        ///< answered within the tolerance (or no tolerance given)
    kOver,      ///< answered, with an error beyond the tolerance
    kNoAnswer,  ///< judged, but its reading has no answer in the table
    kOutside,   ///< outside the working range: not judged
};

/// The firmware's answer for a reading: entry reading / 2 (truncated toward
/// zero) in stage units, where that entry exists and is not 999.
bool firmware_answer(const FirmwareTable& table, int32_t reading, double& answer);

/// Which records are checked and against what.
struct CheckRequest {
    const MeasurementTable* run = nullptr;
    const FirmwareTable* table = nullptr;
    /// True: the records whose stage lies in the working range, its ends
    /// both included; false: the records of the stretch first .. last.
    bool by_range = false;
    /// False where there is no working range (a run without records).
    bool range_known = false;
    double range_near = 0.0;  ///< the working range's nearest stage
    double range_far = 0.0;   ///< and its farthest
    int32_t first = 0;
    int32_t last = -1;
    bool tolerance_given = false;
    double tolerance = 0.0;
    /// The stage unit named after each figure of the summary (-unit), or null.
    const char* unit = nullptr;
};

/// The outcome of a check of a run.
struct CheckResult {
    const MeasurementTable* run = nullptr;  ///< the run checked
    std::array<CheckStatus, kMaxMeasurements> status{};
    std::array<double, kMaxMeasurements> answer{};  ///< where answered
    int32_t count = 0;                              ///< records of the run
    int32_t checked = 0;
    int32_t outside = 0;
    int32_t no_answer = 0;
    int32_t over = 0;
    int32_t answered = 0;
    int32_t max_record = -1;  ///< the record of the largest error; -1 without an answer
    double max_error = 0.0;   ///< with its sign
    double mean_error = 0.0;
    double rms_error = 0.0;
};

/// The working range of `run` when none is given: from the stage of its peak
/// (the farthest record holding the highest reading) to its farthest stage.
/// False for a run without records.
bool default_working_range(const MeasurementTable& run, double& nearest, double& farthest);
/// Sets the request's working range from two ends in either order.
void set_working_range(CheckRequest& request, double a, double b);

void check_table(const CheckRequest& request, CheckResult& result);
/// The error of an answered record: answer - stage.
double check_error(const CheckResult& result, int32_t record);
/// True when a tolerance was given and the check does not meet it: a judged
/// record without an answer or beyond the tolerance, or no record judged.
bool check_failed(const CheckRequest& request, const CheckResult& result);

/// The warnings of a table and of its run, each one line of English text.
constexpr std::size_t kWarningSize = 400;
constexpr int32_t kMaxWarnings = 8;
struct Warnings {
    int32_t count = 0;
    std::array<std::array<char, kWarningSize>, kMaxWarnings> text{};
};

/// The warnings of a calibration of `run` and its table: the stretch beyond
/// the table (naming the step count's option `steps_word`), entries that do
/// not fit an int16_t, entries of 999 that are measured distances.
void table_warnings(const MeasurementTable& run, const Calibration& cal, const FirmwareTable& table,
                    const char* steps_word, Warnings& warnings);
/// The warnings of a table read from a file, checked on `run`: entries that do
/// not fit an int16_t, a 999 between two distances, readings of the run whose
/// index lies past the table (naming the step count's option `steps_word`).
void table_file_warnings(const MeasurementTable& run, const FirmwareTable& table,
                         const char* steps_word, Warnings& warnings);
/// The warnings of `run` with the monotone stretch first .. last: a stretch
/// cut short by a noisy reading, a run from near to far.
void run_warnings(const MeasurementTable& run, int32_t first, int32_t last, Warnings& warnings);

/// The records that a finding names, the first ones in file order.
constexpr int32_t kNamedRecords = 4;
struct NamedRecords {
    int32_t count = 0;                            ///< records found, named or not
    std::array<int32_t, kNamedRecords> record{};  ///< 0-based, the first kNamedRecords of them
};

/// What the branch of a run holds that a table cannot use well. The branch is
/// every record from the farthest stage to the peak, the farthest record of
/// the highest reading.
struct BranchFindings {
    int32_t branch = 0;         ///< records of the branch
    int32_t stretch = 0;        ///< of them, those of the monotone stretch
    int32_t stretch_total = 0;  ///< every record of the monotone stretch
    /// 255, 1023 or 4095, whichever is next at or above the run's largest
    /// reading; 0 above 4095.
    int32_t full_scale = 0;
    NamedRecords zeros;         ///< readings of 0 in the branch
    NamedRecords full;          ///< readings of full scale in the branch
    int32_t repeated = 0;       ///< stages that hold several records
    int32_t repeat_first = -1;  ///< the first record at such a stage, in file order
    int32_t repeat_next = -1;   ///< the next record at that stage
};

/// The findings of `run` with the monotone stretch first .. last.
void find_branch_faults(const MeasurementTable& run, int32_t first, int32_t last,
                        BranchFindings& findings);
/// True when the stretch leaves more than a quarter of the branch unused and
/// the branch holds more records than the stretch.
bool stretch_leaves_branch(const BranchFindings& findings);

/// Writes each warning to standard output as a line "warning: ...".
void print_warnings(const Warnings& warnings);
/// Writes the summary, the warnings and (with a tolerance) the result to
/// standard output.
void print_check_report(const CheckRequest& request, const CheckResult& result,
                        const Warnings& warnings);
/// One line of the summary into `out` (the label, then the figures), NUL-
/// terminated; `line` 0 to kSummaryLines - 1. For the picture's title.
constexpr int kSummaryLines = 5;
constexpr std::size_t kSummarySize = 200;
void check_summary_line(const CheckRequest& request, const CheckResult& result, int line,
                        char (&out)[kSummarySize]);
/// The result line: "result: pass", or "result: FAIL: " and the reason.
void check_result_line(const CheckRequest& request, const CheckResult& result,
                       char (&out)[kSummarySize]);

/// Writes the check of every record as CSV: a header line, then no, stage,
/// psd, index, answer, error and status of each record in file order.
void write_check_csv(OutFile& out, const CheckResult& result);

}  // namespace vextal
