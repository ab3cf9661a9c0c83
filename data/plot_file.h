// The plot file (.psd): one line per measured point, the stage position with
// one decimal, a tab and the reading.
#pragma once

namespace vextal {

/// Writes g_measurements as "<prefix>.psd" and leaves the complete file
/// pending, to be put in place with the run's other outputs
/// (out_commit_all); false without a prefix. Ends the run when the file
/// cannot be opened or written.
bool prepare_plot_file(const char* prefix);
/// The message of a plot file that cannot be written or put in place.
extern const char* const kPlotWriteFailed;

}  // namespace vextal
