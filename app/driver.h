// The program driver: runs one invocation from its command line to its exit
// code.
#pragma once

namespace vextal {

/// The measurement run of `measure`; measures nothing and returns 0.
int run_measurement();

/// The runs of measure, load and cal (one run for both), import and
/// interactive as g_settings give them; each returns the exit code.
int run_measure();
int run_load();
int run_import();
[[noreturn]] int run_interactive();

/// Runs one invocation and returns its exit code.
int run_program(int argc, const char* const* argv);

}  // namespace vextal
