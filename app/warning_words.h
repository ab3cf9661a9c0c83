// The warnings of cal and check: the calibration's and the run's, worded here
// where the option words are known, and where cal shows them.
#pragma once

#include "calib/calibration.h"
#include "calib/check.h"
#include "data/measurement.h"

namespace vextal {

/// Adds the warnings of the branch of `run` with the monotone stretch
/// first .. last: readings of 0 or of full scale, several records at one
/// stage and, unless `fit`, a stretch that leaves much of the branch unused.
void branch_warnings(const MeasurementTable& run, int32_t first, int32_t last, bool fit,
                     Warnings& warnings);

/// Writes each warning to standard error as a line "Warning: ...".
void print_warnings_to_stderr(const Warnings& warnings);

/// Ends the run through the error exit, with exit code 1, where -strict was
/// given and there are warnings; `what` names what the command then does.
void end_if_strict(const Warnings& warnings, const char* what);

}  // namespace vextal
