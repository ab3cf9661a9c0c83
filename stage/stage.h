// The linear stage driver: USB interface access, the USI2 command protocol and
// the stage initialisation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "stage/d2xx.h"

namespace vextal {

// ---- USB interface access ----

/// Room for a device description or serial number, terminating NUL included.
constexpr std::size_t kUsbTextSize = 64;
/// A device description or serial number as the library hands it out.
using UsbText = std::array<char, kUsbTextSize>;

/// Descriptions the full listing has room for.
constexpr uint32_t kDescriptionSlots = 64;
/// Largest device count for which all descriptions are listed at once; the
/// free half of the slots takes devices connected between the count and the
/// listing. With more devices each description is listed on its own.
constexpr uint32_t kListAllLimit = kDescriptionSlots / 2;
/// Devices the discovery examines at most; later ones are never opened.
constexpr uint32_t kMaxExaminedDevices = 64;

/// The opened USI2; null until the discovery opens it.
extern FT_HANDLE usi2_handle;

/// Number of connected devices.
int usb_device_count(uint32_t& count);
/// Serial number of the device at `index`, always NUL-terminated.
int usb_serial_number(uint32_t index, UsbText& text);
/// Description of the device at `index` out of `device_count` connected ones,
/// always NUL-terminated; `text` is untouched on failure.
int usb_description(uint32_t index, uint32_t device_count, UsbText& text);
/// Opens the device with this serial number.
int usb_open_by_serial(const char* serial, FT_HANDLE& handle);
int usb_set_baud(FT_HANDLE handle, uint32_t rate);
int usb_set_data_format(FT_HANDLE handle, uint8_t word_length, uint8_t stop_bits, uint8_t parity);
int usb_set_timeouts(FT_HANDLE handle, uint32_t read_ms, uint32_t write_ms);
int usb_purge(FT_HANDLE handle, uint32_t mask);
/// Reads up to `count` bytes; `received` is the number the library reports.
int usb_read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t& received);
/// Sends `count` bytes; `sent` is the number the library reports.
int usb_write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t& sent);

/// Finds the first device whose description is part of the USI2's, opens it by
/// its serial number into usi2_handle; 0, kUsi2NotFound or a library status.
int usb_find_usi2();

// ---- USI2 command protocol ----

constexpr int kUsi2Ok = 0;
constexpr int kUsi2NotFound = 100;    ///< no USI2 connected (or no library)
constexpr int kUsi2Refused = 101;     ///< the device answered NAK
constexpr int kUsi2NoReply = 102;     ///< reply missing, incomplete or malformed
constexpr int kUsi2SendFailed = 103;  ///< frame not sent whole, or a time-out not set

/// Status value of the last valid 'S' reply (0 to 15).
extern int32_t usi2_status;

/// Sends one framed command on usi2_handle and checks the reply; returns
/// kUsi2Ok, kUsi2Refused, kUsi2NoReply or kUsi2SendFailed.
int usi2_command(uint8_t command, uint8_t first, uint8_t second);
/// The 'H' command with `parameter` and 0.
int usi2_h_command(uint8_t parameter);

// ---- Stage initialisation and axis state ----

/// Axes the driver keeps state for.
constexpr std::size_t kAxisSlots = 2;

/// The driver's record of one axis.
struct AxisState {
    int32_t position;  ///< hundredths of the centre position, sign reversed
    int32_t state_int_1;
    int32_t state_int_2;
    uint8_t flag;
    uint8_t state_byte_1;
    uint8_t state_byte_2;
    int32_t state_int_3;
    int32_t state_int_4;
    uint8_t state_byte_3;
    uint8_t bit_mask_1;  ///< bit 3 * axis
    uint8_t bit_mask_2;  ///< bit 3 * axis + 1
};

/// Axis 0 and axis 1.
extern std::array<AxisState, kAxisSlots> axis_table;
/// Axes in use: 1 at program start, then what usi2_open was asked for, at
/// most 2.
extern uint8_t axis_count;

/// Finds, opens and sets up the USI2, resets both axes and sends 'H' 255;
/// 0, kUsi2NotFound, the result of that command or a library status.
int usi2_open(uint8_t requested_axes);
/// Opens and sets up the USI2 and the axis state, homing the stage where
/// `home` is set and placing axis 0 at `centre` (kNoCentrePosition: at 0);
/// ends the program with exit code 100 or 102 when the interface is missing
/// or silent.
void stage_init(bool home, double centre);
/// Sets the position of an axis (0 or 1; others are ignored).
void axis_set_position(int8_t axis, int32_t value);
/// Sets the flag of an axis (0 or 1; others are ignored).
void axis_set_flag(int8_t axis, uint8_t value);

}  // namespace vextal
