// The linear stage driver: USB interface access, the USI2 command protocol and
// the stage initialisation.
#pragma once

#include <cstdint>

namespace vextal {

/// Opens and sets up the USI2 and the axis state from g_settings; ends the
/// program with exit code 100 or 102 when the interface is missing or silent.
void stage_init();
/// Sets the flag of an axis (0 or 1).
void axis_set_flag(int8_t axis, uint8_t value);

}  // namespace vextal
