// The port table's platform operations over a POSIX terminal (termios).
#include "serial/port_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/sys_file.h"
#include "serial/port_platform.h"
#include "text/format.h"

namespace vextal {

namespace {

constexpr char kSerialDevice[] = "/dev/ttyS";
constexpr int kMaxComDigits = 5;
static_assert(sizeof kSerialDevice + kMaxComDigits <= kDevicePathSize);

/// Reads return after 300 ms without a byte (tenths of a second).
constexpr cc_t kReadTimeoutTenths = 3;

struct LineSpeed {
    uint32_t baud;
    speed_t speed;
};
constexpr std::array<LineSpeed, kBaudCount> kSpeeds{{{2400, B2400},
                                                     {4800, B4800},
                                                     {9600, B9600},
                                                     {19200, B19200},
                                                     {38400, B38400},
                                                     {57600, B57600},
                                                     {115200, B115200}}};

/// The control bits that fix the data format on the line.
constexpr tcflag_t kFormatBits = CSIZE | PARENB | PARODD | CSTOPB;

bool speed_of(uint32_t baud, speed_t& speed) {
    for (const LineSpeed& s : kSpeeds) {
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

// False for a format that termios cannot express (mark or space parity, one
// and a half stop bits, fewer than 5 or more than 8 data bits).
bool format_bits(const LineTemplate& line, tcflag_t& bits) {
    constexpr std::array<tcflag_t, 4> kSizes{CS5, CS6, CS7, CS8};
    if (line.ByteSize < 5 || line.ByteSize > 8) return false;
    bits = kSizes[static_cast<std::size_t>(line.ByteSize - 5)];
    if (line.Parity == kOddParity) {
        bits |= PARENB | PARODD;
    } else if (line.Parity == kEvenParity) {
        bits |= PARENB;
    } else if (line.Parity != kNoParity) {
        return false;
    }
    if (line.StopBits == kTwoStopBits) {
        bits |= CSTOPB;
    } else if (line.StopBits != kOneStopBit) {
        return false;
    }
    return true;
}

// DSR flow control and sensitivity, DTR handshake, RTS toggling and dropping
// NUL bytes have no termios counterpart; they are refused, not ignored.
// Aborting on errors concerns only pending Windows calls and is ignored.
bool flow_supported(const LineTemplate& line) {
    return line.fOutxDsrFlow == 0 && line.fDsrSensitivity == 0 && line.fNull == 0 &&
           line.fDtrControl <= kControlEnable && line.fRtsControl <= kControlHandshake;
}

// Raw bytes: no echo, no line editing, no signals, no CR/LF translation and
// no software flow control unless asked for; the receiver on, the modem
// status lines ignored, and no hang-up at close: the modem lines stay as the
// settings put them.
void make_raw(termios& t) {
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(kFormatBits | CRTSCTS | HUPCL);
    t.c_cflag |= CLOCAL | CREAD;
}

void apply_flow(termios& t, const LineTemplate& line) {
    // termios has one switch for both directions of the RTS/CTS handshake.
    if (line.fOutxCtsFlow != 0 || line.fRtsControl == kControlHandshake) t.c_cflag |= CRTSCTS;
    if (line.fOutX != 0) t.c_iflag |= IXON;
    if (line.fInX != 0) t.c_iflag |= IXOFF;
}

// A pseudo-terminal has no modem lines and refuses these calls; the line
// settings hold regardless, so their results are not examined.
void set_modem_lines(int fd, const LineTemplate& line) {
    int raise = 0;
    int drop = 0;
    (line.fDtrControl == kControlEnable ? raise : drop) |= TIOCM_DTR;
    if (line.fRtsControl == kControlEnable) raise |= TIOCM_RTS;
    if (line.fRtsControl == kControlDisable) drop |= TIOCM_RTS;
    if (drop != 0) ioctl(fd, TIOCMBIC, &drop);
    if (raise != 0) ioctl(fd, TIOCMBIS, &raise);
}

// tcsetattr succeeds when any part of a change was taken, so what the
// terminal now holds is read back and compared.
bool took_settings(int fd, speed_t speed, tcflag_t format) {
    termios back{};
    if (tcgetattr(fd, &back) != 0) return false;
    tcflag_t compared = (format & PARENB) != 0 ? kFormatBits : (kFormatBits & ~PARODD);
    return cfgetispeed(&back) == speed && cfgetospeed(&back) == speed &&
           (back.c_cflag & compared) == format;
}

// Keeps why the call just made failed (the system's reason, or `text`).
bool fail(const char* text = nullptr) {
    sys_keep_failure(text);
    return false;
}

// The settings each open port had before it was opened, put back at close.
struct Earlier {
    int fd = -1;
    bool known = false;
    termios settings{};
};
Earlier earlier[kMaxPorts];

Earlier* earlier_of(int fd) {
    for (Earlier& e : earlier) {
        if (e.fd == fd) return &e;
    }
    return nullptr;
}

// Opened without blocking only so that the open does not wait for a
// modem's carrier; reads and writes block as the time-outs say.
bool clear_nonblock(int fd) {
    int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

bool ascii_upper_is(char c, char upper) {
    return c == upper || c == upper + ('a' - 'A');
}

}  // namespace

bool com_device_path(const char* name, DevicePath& path) {
    if (!ascii_upper_is(name[0], 'C') || !ascii_upper_is(name[1], 'O') ||
        !ascii_upper_is(name[2], 'M')) {
        return false;
    }
    const char* digits = name + 3;
    if (digits[0] < '1' || digits[0] > '9') return false;
    int32_t number = 0;
    int count = 0;
    for (; digits[count] != '\0'; ++count) {
        if (count == kMaxComDigits || digits[count] < '0' || digits[count] > '9') return false;
        number = number * 10 + (digits[count] - '0');
    }
    std::memcpy(path.data(), kSerialDevice, sizeof kSerialDevice - 1);
    std::array<char, kIntTextMax> text{};
    std::size_t length = format_int(number - 1, 0, text.data());
    std::memcpy(path.data() + sizeof kSerialDevice - 1, text.data(), length);
    path[sizeof kSerialDevice - 1 + length] = '\0';
    return true;
}

PortHandle sys_port_open(const char* name) {
    DevicePath path{};
    const char* device = com_device_path(name, path) ? path.data() : name;
    Earlier* free_entry = earlier_of(-1);
    if (free_entry == nullptr) return fail("too many ports open"), kNoPort;
    // O_NOCTTY: the port must never become the process's controlling
    // terminal; O_NONBLOCK: the open must not wait for the modem lines.
    int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(), kNoPort;
    if (!clear_nonblock(fd)) {
        fail();
        close(fd);
        return kNoPort;
    }
    // A file that is no terminal has no settings; reading them refuses it
    // later.
    free_entry->known = tcgetattr(fd, &free_entry->settings) == 0;
    free_entry->fd = fd;
    return fd;
}

// TIOCEXCL makes later opens of the terminal fail, but root passes it; the
// lock keeps out every other holder that opens ports through this layer.
bool sys_port_hold(PortHandle port) {
    const int fd = static_cast<int>(port);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        return fail(errno == EWOULDBLOCK ? "held by another program" : nullptr);
    }
    // A file that is no terminal has no exclusive mode.
    return ioctl(fd, TIOCEXCL) == 0 || errno == ENOTTY || fail();
}

const char* sys_port_failure() {
    return sys_failure_reason();
}

// The terminal sizes its buffers itself; there is nothing to ask for.
void sys_port_setup(PortHandle) {}

// The terminal keeps its other settings itself: applying starts from what it
// holds at that moment.
bool sys_port_get_state(PortHandle port, LineState&) {
    termios t{};
    if (tcgetattr(static_cast<int>(port), &t) == 0) return true;
    return fail(errno == ENOTTY ? "not a serial port" : nullptr);
}

bool sys_port_apply_state(PortHandle port, const LineState& state) {
    int fd = static_cast<int>(port);
    speed_t speed = B0;
    tcflag_t format = 0;
    if (!speed_of(state.BaudRate, speed) || !format_bits(state.line, format) ||
        !flow_supported(state.line)) {
        return fail("the port cannot take these line settings");
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) return fail();
    make_raw(t);
    t.c_cflag |= format;
    apply_flow(t, state.line);
    if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) return fail();
    if (tcsetattr(fd, TCSANOW, &t) != 0) return fail();
    set_modem_lines(fd, state.line);
    return took_settings(fd, speed, format) || fail("the port did not take the line settings");
}

bool sys_port_set_timeouts(PortHandle port) {
    int fd = static_cast<int>(port);
    termios t{};
    if (tcgetattr(fd, &t) != 0) return fail();
    // A read returns what has arrived, or nothing after 300 ms without a byte.
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = kReadTimeoutTenths;
    return tcsetattr(fd, TCSANOW, &t) == 0 || fail();
}

void sys_port_close(PortHandle port) {
    int fd = static_cast<int>(port);
    // The settings belong to the terminal and outlive this descriptor: a
    // terminal or a serial console must be left as it was found.
    if (Earlier* e = earlier_of(fd)) {
        if (e->known) tcsetattr(fd, TCSANOW, &e->settings);
        e->fd = -1;
        e->known = false;
    }
    // Exclusive mode belongs to the terminal, not to this descriptor: it is
    // lifted so that the port can be opened again while another descriptor
    // (a pseudo-terminal's own) keeps the terminal alive. Closing drops the lock.
    ioctl(fd, TIOCNXCL);
    close(fd);
}

uint32_t sys_tick_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

void sys_sleep_ms(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace vextal
