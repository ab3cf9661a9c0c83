// What the process sets up for itself before it does anything else.
#pragma once

namespace vextal {

/// Opens each standard stream that was closed at start (`vextal ... >&-`) on
/// the null device, so that no file or port the program opens later takes its
/// number and receives what the program prints.
void guard_standard_streams();

}  // namespace vextal
