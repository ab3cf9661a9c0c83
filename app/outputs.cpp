#include "app/outputs.h"

#include "calib/calibration.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "files/output_file.h"
#include "picture/picture.h"

namespace vextal {
namespace {

constexpr const char* kTooFewMeasurements = "File does not contain enough measurements!\n";
constexpr const char* kPictureFailed = "SVG file could not be written.\n";

// The calibration the picture draws; static for its two tables.
Calibration calibration;

// Writes the picture when one is asked for and has a name; a picture that
// cannot be written ends the run before any output is put in place.
void prepare_picture_if_asked(const Calibration* cal, const char* note) {
    const Settings& s = g_settings;
    if (!s.svg || s.output_prefix == nullptr) return;
    if (!prepare_picture(s.output_prefix, cal, note)) error_exit(kPictureFailed, kExitError);
}

// Every output of the run is complete: they replace the earlier files all
// together, or none does and the run ends with `message`.
void commit_outputs(const char* message) {
    if (!out_commit_all()) error_exit(message, kExitError);
}

void write_curve_outputs() {
    const Settings& s = g_settings;
    const bool plot = s.psd_plot && prepare_plot_file(s.output_prefix);
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
        failure = prepare_calibration(s.output_prefix, s.steps, calibration);
        drawn = &calibration;
    }
    prepare_picture_if_asked(drawn, failure);
    if (failure != nullptr) {
        commit_outputs(kPictureFailed);
        error_exit(failure, kExitError);
    }
    commit_outputs(kCalibrationWriteFailed);
}

}  // namespace

void write_outputs() {
    if (g_settings.command == kCal) {
        write_cal_outputs();
    } else {
        write_curve_outputs();
    }
}

}  // namespace vextal
