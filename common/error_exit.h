// The error exit, through which every fatal failure ends the process, and the
// exit codes the program ends with.
#pragma once

namespace vextal {

/// Every error of the command line, the files, the calibration and the port.
constexpr int kExitError = 2;
/// The USB stepper-motor interface was not found.
constexpr int kExitNoDevice = 100;
/// The interface was found but does not answer.
constexpr int kExitNoResponse = 102;

/// Runs the exit clean-ups, writes "Error: ", the message and a line end to
/// standard error and ends the process with `exit_code`.
[[noreturn]] void error_exit(const char* message, int exit_code);
/// As error_exit, and after the report one more line on standard error: the
/// detail (the file and the reason of a failure), where it is not null.
[[noreturn]] void error_exit(const char* message, int exit_code, const char* detail);

/// How a run ends early: through the error exit, or on an ending signal, where
/// a clean-up must stay async-signal-safe and may leave its records as they
/// are, since the process ends right after.
enum class ExitPath { kErrorExit, kSignal };
using ExitCleanup = void (*)(ExitPath path);

/// Registers a function that the error exit and the ending signals run before
/// the process ends, to undo or release what the run holds outside itself
/// (pending output files, a serial port's exclusive use). It must be
/// async-signal-safe on ExitPath::kSignal and must not end the process. Up to
/// kMaxExitCleanups functions; registering one twice keeps it once.
void add_exit_cleanup(ExitCleanup cleanup);
constexpr int kMaxExitCleanups = 8;
/// Runs each registered function once, the latest first. Async-signal-safe
/// for ExitPath::kSignal.
void run_exit_cleanups(ExitPath path);

/// Test seam: when set, the error exit and the usage text end the run by
/// calling this handler (which must not return, e.g. it throws) instead of
/// ending the process. Used by the fuzz targets and the unit tests of readers.
using ExitHandler = void (*)(int exit_code);
void set_exit_handler(ExitHandler handler);
/// Ends the run with `exit_code`: through the handler if one is set,
/// otherwise by the normal process exit, which flushes the output streams.
[[noreturn]] void end_process(int exit_code);

}  // namespace vextal
