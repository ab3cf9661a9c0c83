// The program-wide settings, the command line that fills them, and the error
// exit through which every fatal failure ends the process.
#pragma once

#include <array>
#include <cstdint>

namespace vextal {

enum Command : int32_t { kMeasure = 0, kLoad = 1, kCal = 2, kInteractive = 3 };

/// Room of the joined command line, terminating NUL included.
constexpr std::size_t kCallParamsSize = 252;
/// The centre position that stands for "not given".
constexpr double kNoCentrePosition = -999.0;

/// Everything the command line sets, plus three values from the measurement
/// file header. Text fields point at the process's argument texts.
struct Settings {
    int32_t command = kMeasure;
    double max_range = 0.0;
    int32_t steps = 128;
    int32_t average = 10;
    double centre_position = kNoCentrePosition;
    double model = -999.0;
    uint8_t home_on_init = 1;
    const char* serial_port = "COM1";
    uint8_t psd_plot = 0;
    uint8_t psd0 = 0;
    const char* output_prefix = nullptr;
    const char* input_file = nullptr;
    const char* comment = nullptr;
    int32_t serial_number = 0;
    std::array<char, kCallParamsSize> call_params{};
};

/// The one process-wide settings record.
extern Settings g_settings;

/// Fills g_settings from the argument vector (argc >= 2) and validates it;
/// ends the program with exit code 2 on any error.
void parse_command_line(int argc, const char* const* argv);

/// Writes the usage text to standard output and ends with exit code 0.
[[noreturn]] void print_usage();

/// Writes "Error: ", the message and a line end to standard error, removes
/// pending temporary output files and ends the process with `exit_code`.
[[noreturn]] void error_exit(const char* message, int exit_code);

/// Registers a function that error_exit and the signal handlers run before
/// the process ends (at most kMaxExitCleanups; more are not kept). It must be
/// async-signal-safe and must not end the process.
void add_exit_cleanup(void (*cleanup)());
/// Runs each registered cleanup once, the latest first. Async-signal-safe.
void run_exit_cleanups();
constexpr int kMaxExitCleanups = 8;

/// Test seam: when set, the error exit and the usage text end the run by
/// calling this handler (which must not return, e.g. it throws) instead of
/// ending the process. Used by the fuzz targets only.
using ExitHandler = void (*)(int exit_code);
void set_exit_handler(ExitHandler handler);
/// Ends the run with `exit_code`: through the handler if one is set,
/// otherwise by the normal process exit, which flushes the output streams.
[[noreturn]] void end_process(int exit_code);

/// The measurement run of `measure`; measures nothing and returns 0.
int run_measurement();

/// The program driver: runs one invocation and returns its exit code.
int run_program(int argc, const char* const* argv);

}  // namespace vextal
