// The serial port table: nine slots over the platform's serial driver.
#pragma once

#include <cstdint>

namespace vextal {

/// Baud index of 115200 baud, the rate `measure` opens its port with.
constexpr int kBaud115200 = 6;

/// Opens `name` with 8 data bits, no parity, one stop bit and no flow
/// control at the baud index; returns the slot (0..8) or a negative code.
int port_open_default(const char* name, int baud_index);
/// Closes a slot; 0, or -308 for a slot that is not open.
int port_close(int slot);

}  // namespace vextal
