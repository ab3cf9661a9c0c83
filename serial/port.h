// The serial port table: nine slots over the platform's serial driver, the
// line settings they are opened with, and the layer's last-error record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vextal {

/// Number of slots in the port table.
constexpr int kMaxPorts = 9;
/// Number of entries in baud_table.
constexpr int kBaudCount = 7;
/// Baud index of 115200 baud, the rate `measure` opens its port with.
constexpr int kBaud115200 = 6;

/// Result: every slot is in use (nothing recorded).
constexpr int kPortNoFreeSlot = -607;
/// Result: the port could not be opened or set up (recorded in g_driver_error).
constexpr int kPortOpenFailed = -301;
/// Result: the slot is not open, or an argument lies outside its range.
constexpr int kPortBadSlot = -308;

/// Baud rates divided by 100, selected by a baud index.
inline constexpr std::array<uint16_t, kBaudCount> baud_table{24, 48, 96, 192, 384, 576, 1152};

/// Values of the template's Parity, StopBits, fDtrControl and fRtsControl.
constexpr uint8_t kNoParity = 0;
constexpr uint8_t kOddParity = 1;
constexpr uint8_t kEvenParity = 2;
constexpr uint8_t kOneStopBit = 0;
constexpr uint8_t kOne5StopBits = 1;
constexpr uint8_t kTwoStopBits = 2;
constexpr uint8_t kControlDisable = 0;
constexpr uint8_t kControlEnable = 1;
constexpr uint8_t kControlHandshake = 2;
constexpr uint8_t kRtsControlToggle = 3;

/// The line settings a port is opened with: data format and flow control.
/// The flags are 0 or 1; fDtrControl and fRtsControl hold 0 to 3.
struct LineTemplate {
    uint8_t ByteSize = 8;
    uint8_t Parity = kNoParity;
    uint8_t StopBits = kOneStopBit;
    uint8_t fOutxCtsFlow = 0;
    uint8_t fOutxDsrFlow = 0;
    uint8_t fDtrControl = kControlDisable;
    uint8_t fDsrSensitivity = 0;
    uint8_t fOutX = 0;
    uint8_t fInX = 0;
    uint8_t fNull = 0;
    uint8_t fRtsControl = kControlDisable;
    uint8_t fAbortOnError = 0;
};

/// A port as the platform's serial driver knows it; -1 when there is none.
using PortHandle = std::intptr_t;
constexpr PortHandle kNoPort = -1;

/// Room for the platform driver's own record of a port's settings.
constexpr std::size_t kNativeStateSize = 64;

/// A port's complete line settings: the rate and template fields the table
/// sets, plus everything else as the port reported it (kept by the back end).
struct LineState {
    uint32_t BaudRate = 0;
    LineTemplate line;
    alignas(8) std::array<unsigned char, kNativeStateSize> native{};
};

/// One entry of the port table.
struct PortSlot {
    PortHandle handle = kNoPort;
    LineState dcb;
    /// Milliseconds the rate setting took at open (its 50 ms pause included), plus 150.
    int32_t baud_switch_ms = 0;
};

/// The process-wide port table; a slot with handle kNoPort is free.
extern std::array<PortSlot, kMaxPorts> g_port_table;

/// Room of DriverError::text, terminating NUL included.
constexpr std::size_t kDriverErrorTextSize = 120;

/// The last error the layer reported.
struct DriverError {
    bool is_set = false;
    int32_t code = 0;
    int32_t value = 0;
    std::array<char, kDriverErrorTextSize> text{};
};

/// The layer's process-wide last-error record.
extern DriverError g_driver_error;

/// Opens `name` in the lowest free slot with the template's format and flow
/// control at the baud index; returns the slot (0..8), -607 or -301.
int port_open(const char* name, int baud_index, LineTemplate line);
/// Opens `name` with 8 data bits, no parity, one stop bit and no flow
/// control at the baud index; returns the slot (0..8) or a negative code.
int port_open_default(const char* name, int baud_index);
/// Sets an open slot's rate and applies its settings; 0, -308 for a bad slot
/// or baud index, -301 when the port refuses the settings.
int port_set_baud(int slot, int baud_index);
/// Closes a slot; 0, or -308 for a slot that is not open.
int port_close(int slot);
/// Closes every open slot, each port with the settings it had before it was
/// opened and its exclusive use given up; run by the error exit and on an
/// ending signal once a port was opened. Safe in a signal handler.
void port_close_all();
/// "<port>: <reason>" of the last port that could not be opened, the line
/// that follows the report of a port that cannot be opened; null when none.
const char* port_open_failure();
/// Records an error (text may be null) in g_driver_error; returns the code.
int32_t driver_error_set(int32_t code, int32_t value, const char* text);
/// Copies at most size - 1 characters of `source` and a NUL; nothing if size <= 0.
void copy_bounded(char* destination, const char* source, int size);

}  // namespace vextal
