// The output files of one run and the order in which they are put in place.
#pragma once

#include "data/table_file.h"

namespace vextal {

/// Writes the outputs of the command in g_settings from g_measurements: the
/// plot file (load, measure), the calibration files (cal) and, with -svg, the
/// picture. Every output is complete before the first one replaces its
/// target; ends the program on failure.
void write_outputs();

/// Writes the measurement file `path` of `import` from `table`, with the
/// header values of -z and -m where they were given; ends the program on
/// failure, leaving an earlier file of that name as it was.
void write_import_output(const char* path, const ImportTable& table);

}  // namespace vextal
