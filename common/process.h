// What the process sets up for itself before it does anything else.
#pragma once

namespace vextal {

/// Opens each standard stream that was closed at start (`vextal ... >&-`) on
/// the null device, so that no file or port the program opens later takes its
/// number and receives what the program prints.
void guard_standard_streams();

/// Gives standard output a fixed buffer, buffered by line on a terminal and
/// in blocks elsewhere as the C library would choose, so that the first
/// message does not set up the heap for one. Call before any output.
void buffer_standard_output();

}  // namespace vextal
