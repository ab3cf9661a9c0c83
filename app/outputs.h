// The output files of one run and the order in which they are put in place.
#pragma once

#include "calib/check.h"
#include "data/measurement.h"
#include "data/table_file.h"

namespace vextal {

/// The one process-wide measurement table.
extern MeasurementTable g_measurements;

/// Reads the measurement file `name` into g_measurements and the header
/// values it holds into g_settings; ends the program with exit code 2 on a
/// fault.
int load_measurements(const char* name);

/// Writes the outputs of the command in g_settings from g_measurements: the
/// plot file (load, measure), the calibration files (cal) and, with -svg, the
/// picture. Every output is complete before the first one replaces its
/// target; ends the program on failure.
void write_outputs();

/// Writes the files of `check` with -f: "<prefix>.csv" and, with -svg,
/// "<prefix>.svg"; nothing without -f. Ends the program on failure.
void write_check_outputs(const CheckRequest& request, const CheckResult& result,
                         const Warnings& warnings);

/// Writes the measurement file `path` of `import` from `table`, with the
/// header values of -z and -m where they were given; ends the program on
/// failure, leaving an earlier file of that name as it was.
void write_import_output(const char* path, const ImportTable& table);

}  // namespace vextal
