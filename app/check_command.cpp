#include "app/check_command.h"

#include "app/cli_table.h"
#include "app/outputs.h"
#include "app/warning_words.h"
#include "calib/calibration.h"
#include "calib/check.h"
#include "calib/fit.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "data/measurement_file.h"
#include "files/file_name.h"

namespace vextal {
namespace {

constexpr const char* kTooFewMeasurements = "File does not contain enough measurements!\n";

// What the check compares, kept off the stack.
struct CheckData {
    Calibration cal;
    FirmwareTable table;
    CheckResult result;
    Warnings warnings;
};
CheckData data;

// The run's stretch and order warnings, which the -fit table does not depend
// on.
void stretch_warnings(int32_t first, int32_t last) {
    if (!g_settings.fit) run_warnings(g_measurements, first, last, data.warnings);
}

// The run's own warnings, then the calibration's message: a check of a run
// that cal cannot calibrate ends as cal does.
[[noreturn]] void fail_as_cal(const char* message, int32_t first, int32_t last) {
    stretch_warnings(first, last);
    print_warnings(data.warnings);
    error_exit(message, kExitError);
}

// The working range that -range gives, or the run's own.
void set_check_range(CheckRequest& request) {
    const Settings& s = g_settings;
    request.by_range = true;
    double nearest = 0.0;
    double farthest = 0.0;
    if (s.range_given) {
        set_working_range(request, s.range_from, s.range_to);
    } else if (default_working_range(g_measurements, nearest, farthest)) {
        set_working_range(request, nearest, farthest);
    }
}

}  // namespace

int run_check() {
    const Settings& s = g_settings;
    load_measurements(s.input_file);
    CheckRequest request;
    request.run = &g_measurements;
    request.table = &data.table;
    request.tolerance_given = s.tolerance_given != 0;
    request.tolerance = s.tolerance;
    request.unit = s.unit;
    data.warnings = Warnings{};
    set_check_range(request);
    if (s.table_file != nullptr) {
        std::array<char, kMaxPath> path;
        make_file_name_once(path, s.table_file, ".c");
        read_firmware_table(path.data(), data.table);
        // The table's own faults only: the run's stretch and order do not
        // shape a table read from a file.
        table_file_warnings(g_measurements, data.table, option_word(OptionId::kSteps),
                            data.warnings);
    } else {
        int32_t first = 0;
        int32_t last = -1;
        if (g_measurements.count > 0) find_monotone_range(g_measurements, first, last);
        if (g_measurements.count < kMinCalRecords) fail_as_cal(kTooFewMeasurements, first, last);
        const bool computed = s.fit ? compute_fit_calibration(g_measurements, s.steps, data.cal)
                                    : compute_calibration(g_measurements, s.steps, data.cal);
        if (!computed) {
            fail_as_cal(kRangeTooSmall, data.cal.first, data.cal.last);
        }
        firmware_table(data.cal, data.table);
        table_warnings(g_measurements, data.cal, data.table, option_word(OptionId::kSteps),
                       data.warnings);
        stretch_warnings(data.cal.first, data.cal.last);
        branch_warnings(g_measurements, data.cal.first, data.cal.last, s.fit != 0, data.warnings);
    }
    check_table(request, data.result);
    print_check_report(request, data.result, data.warnings);
    write_check_outputs(request, data.result, data.warnings);
    end_if_strict(data.warnings, "the check fails");
    return check_failed(request, data.result) ? 1 : 0;
}

}  // namespace vextal
