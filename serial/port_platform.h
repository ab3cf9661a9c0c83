// What the port table needs of the platform's serial driver. One file per
// platform implements it; the table itself sees nothing else.
#pragma once

#include <cstdint>

#include "serial/port.h"

namespace vextal {

/// Opens the named port for reading and writing and keeps the settings it
/// had, for sys_port_close to put back; kNoPort if it cannot be opened.
PortHandle sys_port_open(const char* name);
/// Takes the port for this process alone; false if another holder has it.
bool sys_port_hold(PortHandle port);
/// Asks the driver for its buffer sizes: 65536 bytes in, none out.
void sys_port_setup(PortHandle port);
/// Reads the port's current settings, keeping in `state` what the back end
/// needs to apply them later; false if the port has none (no serial port).
bool sys_port_get_state(PortHandle port, LineState& state);
/// Applies the rate, format and flow control of `state`, keeping the port's
/// other settings; false if the port did not take them.
bool sys_port_apply_state(PortHandle port, const LineState& state);
/// Reads return 300 ms after the last byte or after 300 ms in all; writes
/// have no time-out. False if the port refused.
bool sys_port_set_timeouts(PortHandle port);
/// Puts back the settings the port had when it was opened, gives up its
/// exclusive use and closes it. Async-signal-safe.
void sys_port_close(PortHandle port);
/// The reason the last of these calls failed, in English.
const char* sys_port_failure();
/// A millisecond tick count that wraps around.
uint32_t sys_tick_ms();
/// Pauses for `ms` milliseconds.
void sys_sleep_ms(uint32_t ms);

}  // namespace vextal
