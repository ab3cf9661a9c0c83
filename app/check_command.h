// The check command: how well a firmware table answers at the records of a
// run.
#pragma once

namespace vextal {

/// Runs `check` as g_settings give it: prints the summary, the warnings and,
/// with a tolerance, the result, and writes the files of -f. Returns the exit
/// code: 1 when a tolerance was given and not met, 0 otherwise; every error
/// ends the program with exit code 2.
int run_check();

}  // namespace vextal
