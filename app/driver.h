// The program driver: runs one invocation from its command line to its exit
// code.
#pragma once

namespace vextal {

/// The measurement run of `measure`; measures nothing and returns 0.
int run_measurement();

/// Runs one invocation and returns its exit code.
int run_program(int argc, const char* const* argv);

}  // namespace vextal
