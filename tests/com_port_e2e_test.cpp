// The Win32 serial back end under wine, checked from this machine: a COM name
// of the wine prefix leads to a pseudo-terminal made here, and when the
// Windows program has opened and closed the port, the terminal's settings
// show what the back end applied (wine leaves them on the terminal).
#include <gtest/gtest.h>
#include <termios.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "tests/measure_rig.h"
#include "tests/wine_rig.h"

namespace vextal::test {
namespace {

// The settings that matter to the stage's serial line.
struct LineSettings {
    speed_t input_speed;
    speed_t output_speed;
    tcflag_t data_bits;  // CS5 ... CS8
    bool parity;
    bool two_stop_bits;
    bool hardware_flow;  // RTS/CTS
    bool xon_output;     // XON/XOFF on what is sent
    bool xon_input;      // XON/XOFF on what is received
    bool operator==(const LineSettings&) const = default;
};

std::ostream& operator<<(std::ostream& out, const LineSettings& s) {
    return out << "{speed in " << s.input_speed << " out " << s.output_speed << ", CSIZE "
               << s.data_bits << ", parity " << s.parity << ", two stop bits " << s.two_stop_bits
               << ", RTS/CTS " << s.hardware_flow << ", IXON " << s.xon_output << ", IXOFF "
               << s.xon_input << "}";
}

LineSettings read_settings(int fd) {
    termios t{};
    EXPECT_EQ(tcgetattr(fd, &t), 0);
    return {cfgetispeed(&t),           cfgetospeed(&t),           t.c_cflag & CSIZE,
            (t.c_cflag & PARENB) != 0, (t.c_cflag & CSTOPB) != 0, (t.c_cflag & CRTSCTS) != 0,
            (t.c_iflag & IXON) != 0,   (t.c_iflag & IXOFF) != 0};
}

// 115200 baud, 8 data bits, no parity, one stop bit, no flow control.
const LineSettings kMeasureSettings{B115200, B115200, CS8, false, false, false, false, false};
// Each setting unlike the one above, so that the run must change it; but a
// pseudo-terminal keeps 8 data bits and no parity whatever it is told, so
// those two are as above already and cannot show a change.
const LineSettings kOtherSettings{B9600, B9600, CS8, false, true, true, true, true};

void apply(int fd, const LineSettings& s) {
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    cfsetispeed(&t, s.input_speed);
    cfsetospeed(&t, s.output_speed);
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= s.data_bits | (s.parity ? PARENB : 0) | (s.two_stop_bits ? CSTOPB : 0) |
                 (s.hardware_flow ? CRTSCTS : 0);
    t.c_iflag &= ~(IXON | IXOFF);
    t.c_iflag |= (s.xon_output ? IXON : 0) | (s.xon_input ? IXOFF : 0);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
    ASSERT_EQ(read_settings(fd), s);
}

RunResult probe(const Sandbox& box, const std::string& port) {
    return box.run(windows_program(windows_bin() / "port_probe.exe"), {port});
}

TEST(ComPort, OpeningAppliesTheLineSettingsOfMeasure) {
    // The port table alone, by every form of name: the port holds the
    // settings of measure while it is open and its own again once closed.
    for (ComLink::Form form : {ComLink::Form::device, ComLink::Form::dos, ComLink::Form::high}) {
        Pty pty;
        ASSERT_FALSE(pty.path.empty());
        apply(pty.slave, kOtherSettings);
        ComLink link(pty.path, form);
        SCOPED_TRACE(link.name());
        Sandbox box;
        RunResult r = probe(box, link.name());
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.raw_out, "open 0\r\nerror none\r\nstate 115200 8 0 0\r\nclose 0\r\n");
        EXPECT_EQ(read_settings(pty.slave), kOtherSettings);
    }
    {
        MeasureRig rig;
        SCOPED_TRACE("measure on " + rig.port());
        apply(rig.pty().slave, kOtherSettings);
        RunResult r = rig.run({"measure", "-sp", rig.port(), "-hc"},
                              "device SN1 ELV USB-Schrittmotoren-Interface\n");
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(read_settings(rig.pty().slave), kOtherSettings);
    }
}

// A COM name without a link, or one whose link leads nowhere: the port
// table reports it, and measure ends naming the port and the reason.
TEST(ComPort, NameThatLeadsNowhereCannotBeOpened) {
    ASSERT_FALSE(std::filesystem::is_symlink(com_link_path(kUnlinkedCom)));
    Sandbox scratch;
    ComLink dangling(scratch.path() / "no-such-device", ComLink::Form::dos);
    for (const std::string& port : {"\\\\.\\COM" + std::to_string(kUnlinkedCom), dangling.name()}) {
        SCOPED_TRACE(port);
        Sandbox box;
        RunResult r = probe(box, port);
        EXPECT_EQ(r.exit_code, 1);
        EXPECT_EQ(r.raw_out, "open -301\r\nerror -301 0 " + port + "\r\n");

        r = box.run(windows_program(windows_bin() / "vextal.exe"), {"measure", "-sp", port});
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.raw_out, "");
        const std::string report = "Error: Serial Port could not be opened!\r\n" + port + ": ";
        EXPECT_EQ(r.raw_err.substr(0, report.size()), report);
        EXPECT_EQ(r.raw_err.find("\r\n", report.size()), r.raw_err.size() - 2);
        EXPECT_TRUE(box.files().empty());
    }
}

}  // namespace
}  // namespace vextal::test
