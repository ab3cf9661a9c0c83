// The plot file (.psd): one line per measured point, the stage position with
// one decimal, a tab and the reading.
#pragma once

#include "data/measurement.h"
#include "files/output_file.h"

namespace vextal {

/// Writes `table` as "<prefix>.psd" through `out` and leaves the complete
/// file pending, to be put in place with the run's other outputs
/// (out_commit_all); false without a prefix. Ends the run when the file
/// cannot be opened or written.
bool prepare_plot_file(OutFile& out, const char* prefix, const MeasurementTable& table);
/// The message of a plot file that cannot be written or put in place.
extern const char kPlotWriteFailed[];

}  // namespace vextal
