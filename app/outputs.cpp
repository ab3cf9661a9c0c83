#include "app/outputs.h"

#include <cstdio>

#include "app/cli_table.h"
#include "app/warning_words.h"
#include "calib/calibration.h"
#include "calib/fit.h"
#include "common/console.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "data/measurement_file.h"
#include "data/plot_file.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/output_file.h"
#include "picture/picture.h"

namespace vextal {

MeasurementTable g_measurements;

int load_measurements(const char* name) {
    Settings& s = g_settings;
    HeaderValues values{s.max_range, s.average, s.serial_number};
    const int result = load_measurement_file(name, g_measurements, values);
    s.max_range = values.max_range;
    s.average = values.average;
    s.serial_number = values.serial_number;
    return result;
}

namespace {

constexpr const char* kTooFewMeasurements = "File does not contain enough measurements!\n";
constexpr const char* kPictureFailed = "SVG file could not be written.\n";

// The output files of a run, each with its write buffer.
OutFile plot_file;
CalibrationFiles calibration_files;
OutFile picture_file;

// The calibration and the check of its table that the picture draws; static
// for their tables.
Calibration calibration;
FirmwareTable firmware;
CheckRequest branch_request;
CheckResult branch_check;
Warnings warnings;

// The warnings of cal's table and of the run, for standard error and the
// picture: `cal` is null when none was computed.
void cal_warnings(const Calibration* cal) {
    warnings = Warnings{};
    const bool computed = cal != nullptr && cal->points > 0;
    if (computed) {
        firmware_table(*cal, firmware);
        table_warnings(g_measurements, *cal, firmware, option_word(OptionId::kSteps), warnings);
    }
    if (g_measurements.count == 0) return;
    int32_t first = 0;
    int32_t last = -1;
    if (cal != nullptr) {
        first = cal->first;
        last = cal->last;
    } else {
        find_monotone_range(g_measurements, first, last);
    }
    if (!g_settings.fit) run_warnings(g_measurements, first, last, warnings);
    if (computed) branch_warnings(g_measurements, first, last, g_settings.fit != 0, warnings);
}

// The check of cal's own table at the records of the branch, and the
// warnings, for the picture.
void self_check(const Calibration* cal, PictureContent& c) {
    if (cal != nullptr && cal->points > 0) {
        branch_request = CheckRequest{};
        branch_request.run = &g_measurements;
        branch_request.table = &firmware;
        branch_request.first = c.branch_first;
        branch_request.last = c.branch_last;
        check_table(branch_request, branch_check);
        c.check = &branch_check;
        c.request = &branch_request;
    }
    c.warnings = &warnings;
}

// What the picture of this run shows: the curve, and for cal the table of
// `cal` (null when none was computed; `note` then says why). measure names
// its output and always shows its averaging and range.
PictureContent picture_content(const Calibration* cal, const char* note) {
    const Settings& s = g_settings;
    const MeasurementTable& t = g_measurements;
    const bool measure = s.command == kMeasure;
    PictureContent c;
    c.kind = s.command == kCal ? PictureKind::kCalibration : PictureKind::kCurve;
    c.name = measure ? s.output_prefix : s.input_file;
    c.comment = s.comment;
    c.unit = s.unit;
    c.serial_number = {t.has_serial_number, s.serial_number};
    c.average = {t.has_average || measure, s.average};
    c.max_range = {t.has_max_range || measure, s.max_range};
    c.measurements = &t;
    c.steps = s.steps;
    if (cal != nullptr) {
        c.stretch_known = true;
        c.stretch_first = cal->first;
        c.stretch_last = cal->last;
    } else if (t.count > 0) {
        c.stretch_known = true;
        find_monotone_range(t, c.stretch_first, c.stretch_last);
    }
    c.table = cal;
    c.note = note;
    if (s.command == kCal) {
        c.branch_known = true;
        find_branch(t, c.branch_first, c.branch_last);
        self_check(cal, c);
    }
    return c;
}

// Writes the picture when one is asked for and has a name; a picture that
// cannot be written ends the run before any output is put in place.
void prepare_picture_if_asked(const Calibration* cal, const char* note) {
    const Settings& s = g_settings;
    if (!s.svg || s.output_prefix == nullptr) return;
    if (!prepare_picture(picture_file, s.output_prefix, picture_content(cal, note))) {
        file_error_exit(kPictureFailed);
    }
}

// Every output of the run is complete: they replace the earlier files all
// together, or none does and the run ends with `message`.
void commit_outputs(const char* message) {
    if (!out_commit_all()) file_error_exit(message);
}

void write_curve_outputs() {
    const Settings& s = g_settings;
    const bool plot = s.psd_plot && prepare_plot_file(plot_file, s.output_prefix, g_measurements);
    prepare_picture_if_asked(nullptr, nullptr);
    commit_outputs(plot ? kPlotWriteFailed : kPictureFailed);
}

// A calibration that fails for want of data still gets its picture: that is
// where the user sees why. The run then ends with the calibration's message.
void write_cal_outputs() {
    const Settings& s = g_settings;
    const char* failure = nullptr;
    const Calibration* drawn = nullptr;
    if (g_measurements.count < kMinCalRecords) {
        failure = kTooFewMeasurements;
    } else {
        CalibrationJob job;
        job.table = &g_measurements;
        job.prefix = s.output_prefix;
        job.steps = s.steps;
        job.fit = s.fit != 0;
        job.call_params = s.call_params.data();
        failure = prepare_calibration(job, calibration_files, calibration);
        drawn = &calibration;
    }
    cal_warnings(drawn);
    prepare_picture_if_asked(drawn, failure);
    if (failure != nullptr) {
        commit_outputs(kPictureFailed);
        error_exit(failure, kExitError);
    }
    // Under -strict a warning ends the run here, and the error exit discards
    // every output still pending: the earlier files stay as they were.
    if (g_settings.strict != 0 && warnings.count > 0) {
        print_warnings_to_stderr(warnings);
        end_if_strict(warnings, "no file was written");
    }
    commit_outputs(kCalibrationWriteFailed);
    // A person at a terminal sees the warnings; where standard error goes to
    // a file or a pipe, a script that reads it gets the bytes it always got,
    // unless it asks for the warnings with one of the options that came with
    // them.
    if (console_is_terminal(stderr) || s.warn != 0 || s.fit != 0) {
        print_warnings_to_stderr(warnings);
    }
}

}  // namespace

void write_outputs() {
    if (g_settings.command == kCal) {
        write_cal_outputs();
    } else {
        write_curve_outputs();
    }
}

void write_check_outputs(const CheckRequest& request, const CheckResult& result,
                         const Warnings& check_warnings) {
    static OutFile csv;  // static for its write buffer
    const Settings& s = g_settings;
    if (s.output_prefix == nullptr) return;
    std::array<char, kMaxPath> name;
    make_file_name(name, s.output_prefix, ".csv");
    const ShownName shown = shown_name(name.data());
    char message[kMaxPath + 64];
    std::snprintf(message, sizeof message, "The check's file cannot be opened: %s",
                  shown.text.data());
    if (!out_open(csv, name.data())) file_error_exit(message);
    write_check_csv(csv, result);
    std::snprintf(message, sizeof message, "The check's file could not be written: %s",
                  shown.text.data());
    if (!out_close(csv)) file_error_exit(message);
    if (s.svg) {
        PictureContent c;
        c.kind = PictureKind::kCheck;
        c.name = s.input_file;
        c.unit = s.unit;
        c.measurements = &g_measurements;
        c.steps = s.steps;
        c.steps_word = option_word(OptionId::kSteps);
        c.check = &result;
        c.request = &request;
        c.table_file = s.table_file;
        c.warnings = &check_warnings;
        if (!prepare_picture(picture_file, s.output_prefix, c)) file_error_exit(kPictureFailed);
    }
    commit_outputs(message);
}

void write_import_output(const char* path, const ImportTable& table) {
    static OutFile file;  // static for its write buffer
    const Settings& s = g_settings;
    const ShownName shown = shown_name(path);
    char message[kMaxPath + 64];
    if (!out_open(file, path)) {
        std::snprintf(message, sizeof message, "Output file cannot be opened: %s",
                      shown.text.data());
        file_error_exit(message);
    }
    MeasurementHeader header;
    header.has_max_range = s.max_range_given != 0;
    header.max_range = s.max_range;
    header.has_average = s.average_given != 0;
    header.average = s.average;
    // Without -m, the count that -mean took the mean of, where every
    // position had as many readings.
    if (!header.has_average && s.mean_readings != 0 && table.count > 0 &&
        table.fewest_per_point == table.most_per_point) {
        header.has_average = true;
        header.average = static_cast<int32_t>(table.most_per_point);
    }
    write_measurement_file(file, header, table.points.data(), table.count);
    std::snprintf(message, sizeof message, "Output file could not be written: %s",
                  shown.text.data());
    if (!out_close(file)) file_error_exit(message);
    commit_outputs(message);
}

}  // namespace vextal
