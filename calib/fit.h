// The noise-tolerant table (-fit): a monotone curve fitted to the whole branch
// of the run, so that noise averages out and a lone glitch moves only itself.
#pragma once

#include <cstdint>

#include "calib/calibration.h"
#include "data/measurement.h"

namespace vextal {

/// The peak of the first `count` records of `table` (at least one): the
/// farthest record holding the highest reading.
int32_t find_peak(const MeasurementTable& table, int32_t count);

/// Computes the -fit calibration of `table` with `steps` (held within 1 to
/// kMaxSteps) entries into `cal`: `original` holds the fitted curve's points,
/// `requantized` each entry's position, and first .. last the branch's records
/// in file order. False, with only the branch set, when the branch holds fewer
/// than two records.
bool compute_fit_calibration(const MeasurementTable& table, int32_t steps, Calibration& cal);

/// The branch of `table`: every record from the farthest stage to the peak
/// (the farthest record holding the highest reading), as the first and last
/// of their record numbers; first > last for no record.
void find_branch(const MeasurementTable& table, int32_t& first, int32_t& last);

/// The firmware entry of a -fit position: tenths, rounded to the nearest
/// integer (halves away from zero), saturating at the 32-bit range.
int32_t fit_entry(float position);

}  // namespace vextal
