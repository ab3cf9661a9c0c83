// The port table's platform operations over the Win32 communications API.
#include <windows.h>

#include <bit>
#include <cstring>

#include "files/sys_file.h"
#include "serial/port_platform.h"

namespace vextal {

namespace {

static_assert(sizeof(DCB) <= kNativeStateSize);

constexpr DWORD kInBufferBytes = 65536;
constexpr DWORD kOutBufferBytes = 0;
constexpr DWORD kReadTimeoutMs = 300;

HANDLE win_handle(PortHandle port) {
    return reinterpret_cast<HANDLE>(port);
}

// Puts the rate and the template's fields into the port's DCB; every other
// field keeps the value the port reported.
constexpr void take_line(DCB& dcb, uint32_t baud, const LineTemplate& line) {
    dcb.BaudRate = baud;
    dcb.ByteSize = line.ByteSize;
    dcb.Parity = line.Parity;
    dcb.StopBits = line.StopBits;
    dcb.fOutxCtsFlow = line.fOutxCtsFlow & 1u;
    dcb.fOutxDsrFlow = line.fOutxDsrFlow & 1u;
    dcb.fDtrControl = line.fDtrControl & 3u;
    dcb.fDsrSensitivity = line.fDsrSensitivity & 1u;
    dcb.fOutX = line.fOutX & 1u;
    dcb.fInX = line.fInX & 1u;
    dcb.fNull = line.fNull & 1u;
    dcb.fRtsControl = line.fRtsControl & 3u;
    dcb.fAbortOnError = line.fAbortOnError & 1u;
}

// The flag word of a DCB that took a template with every flag set: exactly
// the bits 0x7B7C, and none of the port's own flags.
constexpr uint32_t template_flag_bits() {
    LineTemplate all{};
    all.fOutxCtsFlow = all.fOutxDsrFlow = all.fDsrSensitivity = 1;
    all.fOutX = all.fInX = all.fNull = all.fAbortOnError = 1;
    all.fDtrControl = all.fRtsControl = 3;
    DCB dcb{};
    take_line(dcb, 0, all);
    // DCBlength and BaudRate come before the flag word.
    return std::bit_cast<std::array<uint32_t, sizeof(DCB) / 4>>(dcb)[2];
}
static_assert(template_flag_bits() == 0x7B7C);

}  // namespace

namespace {

// The settings each open port had before it was opened, put back at close.
struct Earlier {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool known = false;
    DCB state{};
    COMMTIMEOUTS timeouts{};
};
Earlier earlier[kMaxPorts];

Earlier* earlier_of(HANDLE handle) {
    for (Earlier& e : earlier) {
        if (e.handle == handle) return &e;
    }
    return nullptr;
}

// "COM<n>" names a port below 10 only; "\\.\COM<n>" names every port, so
// the short name is given that form.
bool is_com_name(const char* name) {
    if ((name[0] | 0x20) != 'c' || (name[1] | 0x20) != 'o' || (name[2] | 0x20) != 'm') return false;
    if (name[3] < '1' || name[3] > '9') return false;
    for (const char* p = name + 4; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return false;
    }
    return std::strlen(name) <= 8;
}

bool fail() {
    sys_keep_failure();
    return false;
}

}  // namespace

PortHandle sys_port_open(const char* name) {
    char device[16] = "\\\\.\\";
    if (is_com_name(name)) std::strcat(device, name);
    Earlier* free_entry = earlier_of(INVALID_HANDLE_VALUE);
    // Share mode 0 opens the port exclusively; flags 0 mean synchronous I/O.
    HANDLE h = free_entry == nullptr
                   ? INVALID_HANDLE_VALUE
                   : CreateFileA(is_com_name(name) ? device : name, GENERIC_READ | GENERIC_WRITE, 0,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fail();
        return kNoPort;
    }
    free_entry->state.DCBlength = sizeof free_entry->state;
    free_entry->known =
        GetCommState(h, &free_entry->state) && GetCommTimeouts(h, &free_entry->timeouts);
    free_entry->handle = h;
    return reinterpret_cast<PortHandle>(h);
}

// The open took the port for this process alone already.
bool sys_port_hold(PortHandle) {
    return true;
}

const char* sys_port_failure() {
    return sys_failure_reason();
}

void sys_port_setup(PortHandle port) {
    SetupComm(win_handle(port), kInBufferBytes, kOutBufferBytes);
}

bool sys_port_get_state(PortHandle port, LineState& state) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (GetCommState(win_handle(port), &dcb) == 0) return fail();
    std::memcpy(state.native.data(), &dcb, sizeof dcb);
    state.BaudRate = dcb.BaudRate;
    return true;
}

bool sys_port_apply_state(PortHandle port, const LineState& state) {
    DCB dcb{};
    std::memcpy(&dcb, state.native.data(), sizeof dcb);
    take_line(dcb, state.BaudRate, state.line);
    return SetCommState(win_handle(port), &dcb) != 0 || fail();
}

bool sys_port_set_timeouts(PortHandle port) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kReadTimeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = kReadTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = 0;
    timeouts.WriteTotalTimeoutConstant = 0;
    return SetCommTimeouts(win_handle(port), &timeouts) != 0 || fail();
}

void sys_port_close(PortHandle port) {
    const HANDLE h = win_handle(port);
    // A port is left as it was found.
    if (Earlier* e = earlier_of(h)) {
        if (e->known) {
            SetCommState(h, &e->state);
            SetCommTimeouts(h, &e->timeouts);
        }
        e->handle = INVALID_HANDLE_VALUE;
        e->known = false;
    }
    CloseHandle(h);
}

uint32_t sys_tick_ms() {
    return GetTickCount();
}

void sys_sleep_ms(uint32_t ms) {
    Sleep(ms);
}

}  // namespace vextal
