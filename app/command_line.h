// The command line: turns the argument vector into the settings, and the
// usage text.
#pragma once

#include "app/cli_table.h"

namespace vextal {

/// Fills g_settings from the argument vector (argc >= 2) and validates it,
/// and returns the row of its command; ends the program with exit code 2 on
/// any error.
const CommandRow& parse_command_line(int argc, const char* const* argv);

/// Writes the usage text to standard output and ends with exit code 0.
[[noreturn]] void print_usage();

}  // namespace vextal
