// The picture of a run: the measured curve with its monotone stretch and, for
// a calibration, its table and resolution, as one self-contained SVG file.
#pragma once

#include "calib/calibration.h"

namespace vextal {

/// Writes "<prefix>.svg" from g_measurements and g_settings: the measured
/// curve and, for cal, the table of `cal` (none when it is nullptr or holds
/// no points; `note` then says why). Leaves the file complete and closed but
/// not yet in place: it is put in place with the run's other outputs
/// (out_commit_all). False, with nothing left behind, when it cannot be
/// opened or written; a name that does not fit ends the run.
bool prepare_picture(const char* prefix, const Calibration* cal, const char* note);

}  // namespace vextal
