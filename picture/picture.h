// The picture of a run: the measured curve with its monotone stretch and, for
// a calibration, its table and resolution, as one self-contained SVG file.
#pragma once

#include <cstdint>

#include "calib/calibration.h"
#include "calib/check.h"
#include "data/measurement.h"
#include "files/output_file.h"

namespace vextal {

/// A header value of the run, shown in the title where it is given.
template <typename T>
struct Shown {
    bool given = false;
    T value{};
};

/// The kinds of picture: the measured curve (load, measure), the curve with
/// the table's panels (cal), or the errors of a check.
enum class PictureKind { kCurve, kCalibration, kCheck };

/// What a picture shows; the driver fills it in.
struct PictureContent {
    PictureKind kind = PictureKind::kCurve;
    /// The name in the title; may be null.
    const char* name = nullptr;
    /// A comment shown below the title, or null.
    const char* comment = nullptr;
    /// The stage unit named on the axes in stage units, or null.
    const char* unit = nullptr;
    Shown<int32_t> serial_number;
    Shown<int32_t> average;
    Shown<double> max_range;
    const MeasurementTable* measurements = nullptr;
    /// The monotone stretch drawn in blue, by record index, both ends inclusive.
    bool stretch_known = false;
    int32_t stretch_first = 0;
    int32_t stretch_last = 0;
    /// cal: the branch, every record from the farthest stage to the peak by
    /// record index, both ends inclusive; the table's panels span it.
    bool branch_known = false;
    int32_t branch_first = 0;
    int32_t branch_last = -1;
    /// The calibration's step count, named in the title; a check's title names
    /// it with the option that sets it.
    int32_t steps = 0;
    const char* steps_word = nullptr;
    /// The table drawn (cal): null, or without points, when there is none;
    /// `note` then says why.
    const Calibration* table = nullptr;
    const char* note = nullptr;
    /// The errors of the firmware's answers (cal: at the branch's records;
    /// check: the check), or null; with the table checked and the check's
    /// tolerance.
    const CheckResult* check = nullptr;
    const CheckRequest* request = nullptr;
    /// The name of the table file a check was made against, or null.
    const char* table_file = nullptr;
    /// Shown under the title; may be null.
    const Warnings* warnings = nullptr;
};

/// Writes "<prefix>.svg" of `content` through `file`, complete and closed but
/// not yet in place: it is put in place with the run's other outputs
/// (out_commit_all). False, with nothing left behind, when it cannot be
/// opened or written; a name that does not fit ends the run.
bool prepare_picture(OutFile& file, const char* prefix, const PictureContent& content);

}  // namespace vextal
