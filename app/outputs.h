// The output files of one run and the order in which they are put in place.
#pragma once

namespace vextal {

/// Writes the outputs of the command in g_settings from g_measurements: the
/// plot file (load, measure), the calibration files (cal) and, with -svg, the
/// picture. Every output is complete before the first one replaces its
/// target; ends the program on failure.
void write_outputs();

}  // namespace vextal
