#include "serial/port.h"

#include <climits>

#include "common/error_exit.h"
#include "serial/port_platform.h"

namespace vextal {

std::array<PortSlot, kMaxPorts> g_port_table{};
DriverError g_driver_error{};

namespace {

constexpr uint32_t kBaudSwitchPauseMs = 50;
constexpr int32_t kBaudSwitchExtraMs = 150;

bool slot_is_open(int slot) {
    return slot >= 0 && slot < kMaxPorts &&
           g_port_table[static_cast<std::size_t>(slot)].handle != kNoPort;
}

int lowest_free_slot() {
    for (int i = 0; i < kMaxPorts; ++i) {
        if (!slot_is_open(i)) return i;
    }
    return -1;
}

// "<port>: <reason>" of the last port that could not be opened.
std::array<char, kDriverErrorTextSize + 80> open_failure{};

// The port name is recorded, and what went wrong for the report.
int failed(const char* name) {
    const char* reason = sys_port_failure();
    std::size_t n = 0;
    for (const char* part : {name != nullptr ? name : "", ": ", reason}) {
        for (; *part != '\0' && n + 1 < open_failure.size(); ++part) open_failure[n++] = *part;
    }
    open_failure[n] = '\0';
    return driver_error_set(kPortOpenFailed, 0, name);
}

// Every open failure after a slot was taken: the slot is given back as a close
// would.
int fail_open(int slot, const char* name) {
    const int code = failed(name);
    port_close(slot);
    return code;
}

// The tick difference of a rate switch, plus the fixed allowance; a tick count
// that went wrong cannot overflow the field.
int32_t baud_switch_ms(uint32_t before, uint32_t after) {
    uint32_t took = after - before;
    constexpr uint32_t kMaxTook = INT32_MAX - kBaudSwitchExtraMs;
    if (took > kMaxTook) took = kMaxTook;
    return static_cast<int32_t>(took) + kBaudSwitchExtraMs;
}

}  // namespace

void copy_bounded(char* destination, const char* source, int size) {
    if (size <= 0) return;
    int n = 0;
    if (source != nullptr) {
        while (n < size - 1 && source[n] != '\0') {
            destination[n] = source[n];
            ++n;
        }
    }
    destination[n] = '\0';
}

const char* port_open_failure() {
    return open_failure[0] != '\0' ? open_failure.data() : nullptr;
}

int32_t driver_error_set(int32_t code, int32_t value, const char* text) {
    g_driver_error.code = code;
    g_driver_error.value = value;
    copy_bounded(g_driver_error.text.data(), text != nullptr ? text : "",
                 static_cast<int>(g_driver_error.text.size()));
    g_driver_error.is_set = true;
    return code;
}

int port_open(const char* name, int baud_index, LineTemplate line) {
    int slot = lowest_free_slot();
    if (slot < 0) return kPortNoFreeSlot;
    PortHandle handle = name != nullptr ? sys_port_open(name) : kNoPort;
    if (handle == kNoPort) return failed(name);

    PortSlot& s = g_port_table[static_cast<std::size_t>(slot)];
    s.handle = handle;
    // Whatever ends the run from here, the error exit and every ending signal
    // give the port back with its earlier settings: the clean-up is in place
    // before the port is made exclusive.
    add_exit_cleanup([](ExitPath) { port_close_all(); });
    if (!sys_port_hold(handle)) return fail_open(slot, name);
    sys_port_setup(handle);
    if (!sys_port_get_state(handle, s.dcb)) return fail_open(slot, name);
    // Only format and flow control come from the template; the port's other
    // settings stay as it reported them.
    s.dcb.line = line;

    uint32_t before = sys_tick_ms();
    // A port that does not take the rate or format is not opened: it would
    // run with settings nobody asked for.
    if (port_set_baud(slot, baud_index) != 0) return fail_open(slot, name);
    s.baud_switch_ms = baud_switch_ms(before, sys_tick_ms());

    if (!sys_port_set_timeouts(handle)) return fail_open(slot, name);
    return slot;
}

int port_open_default(const char* name, int baud_index) {
    // 8 data bits, no parity, one stop bit, no flow control, DTR and RTS off.
    LineTemplate line{};
    return port_open(name, baud_index, line);
}

int port_set_baud(int slot, int baud_index) {
    if (!slot_is_open(slot) || baud_index < 0 || baud_index >= kBaudCount) return kPortBadSlot;
    PortSlot& s = g_port_table[static_cast<std::size_t>(slot)];
    // The fixed pause of every rate switch; baud_switch_ms counts it in.
    sys_sleep_ms(kBaudSwitchPauseMs);
    s.dcb.BaudRate = baud_table[static_cast<std::size_t>(baud_index)] * 100u;
    if (!sys_port_apply_state(s.handle, s.dcb)) return kPortOpenFailed;
    return 0;
}

void port_close_all() {
    for (int slot = 0; slot < kMaxPorts; ++slot) port_close(slot);
}

int port_close(int slot) {
    if (!slot_is_open(slot)) return kPortBadSlot;
    PortSlot& s = g_port_table[static_cast<std::size_t>(slot)];
    sys_port_close(s.handle);
    s.handle = kNoPort;
    return 0;
}

}  // namespace vextal
