// The open sequence of the USI2, the initialisation `measure` runs before
// measuring, and the axis table.
#include "stage/stage.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "common/console.h"
#include "common/error_exit.h"
#include "common/settings.h"
#include "text/convert.h"

namespace vextal {

std::array<AxisState, kAxisSlots> axis_table{};
uint8_t axis_count = 1;

namespace {

constexpr uint32_t kUsbBaud = 19200;
constexpr uint8_t kBits8 = 8;
constexpr uint8_t kStopBits1 = 0;
constexpr uint8_t kParityEven = 2;
constexpr uint32_t kOpenTimeoutMs = 1000;

// The first command after opening; homing the stage.
constexpr uint8_t kOpenParameter = 255;
constexpr uint8_t kHomeParameter = 204;

// Positions are kept in hundredths of the centre position, sign reversed.
constexpr double kPositionScale = -100.0;

AxisState reset_state(std::size_t axis) {
    AxisState s{};
    s.state_byte_2 = 1;
    s.bit_mask_1 = static_cast<uint8_t>(1u << (3 * axis));
    s.bit_mask_2 = static_cast<uint8_t>(1u << (3 * axis + 1));
    return s;
}

// Truncates toward zero; a centre position too far out for the 32-bit
// position is held at the nearest end of its range.
int32_t position_from_centre(double centre) {
    return truncate_to_int(centre * kPositionScale);
}

bool valid_axis(int8_t axis) {
    return axis >= 0 && static_cast<std::size_t>(axis) < kAxisSlots;
}

}  // namespace

int usi2_open(uint8_t requested_axes) {
    int status = usb_find_usi2();
    if (status != 0) return status;
    status = usb_set_baud(usi2_handle, kUsbBaud);
    if (status != 0) return status;
    status = usb_set_data_format(usi2_handle, kBits8, kStopBits1, kParityEven);
    if (status != 0) return status;
    status = usb_set_timeouts(usi2_handle, kOpenTimeoutMs, kOpenTimeoutMs);
    if (status != 0) return status;

    axis_count = requested_axes < kAxisSlots ? requested_axes : static_cast<uint8_t>(kAxisSlots);
    for (std::size_t axis = 0; axis < kAxisSlots; ++axis) axis_table[axis] = reset_state(axis);
    usi2_status = 0;
    return usi2_h_command(kOpenParameter);
}

void stage_init(bool home, double centre) {
    console_puts(stdout, "\nInitialize Linear Stage...\n");
    int result = usi2_open(1);
    if (result == kUsi2NotFound)
        error_exit("USI2-Device not found: check USB-Cable.", kExitNoDevice);
    if (result == kUsi2NoReply) {
        error_exit("USI2-Device found but not responding: check power supply.", kExitNoResponse);
    }
    // A refusal, a failed send or a library status does not stop the run.
    if (home) usi2_h_command(kHomeParameter);
    axis_set_position(0, centre != kNoCentrePosition ? position_from_centre(centre) : 0);
}

void axis_set_position(int8_t axis, int32_t value) {
    if (valid_axis(axis)) axis_table[static_cast<std::size_t>(axis)].position = value;
}

void axis_set_flag(int8_t axis, uint8_t value) {
    if (valid_axis(axis)) axis_table[static_cast<std::size_t>(axis)].flag = value;
}

}  // namespace vextal
