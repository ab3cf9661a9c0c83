// The port table over real terminals: pseudo-terminals stand in for serial
// ports, and what the table applied is read back from them.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "serial/port.h"
#include "serial/port_posix.h"
#include "tests/pty.h"

namespace vextal {
namespace {

using test::Pty;

class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int slot = 0; slot < kMaxPorts; ++slot) port_close(slot);
        g_driver_error = {};
        if (!pty_.ok()) GTEST_SKIP() << "no pseudo-terminals here";
    }
    void TearDown() override {
        for (int slot = 0; slot < kMaxPorts; ++slot) port_close(slot);
    }
    Pty pty_;
};

TEST_F(PtyPort, SlotsAreTakenLowestFirstAndReused) {
    Pty second;
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), 0);
    EXPECT_EQ(port_open_default(second.path.c_str(), kBaud115200), 1);
    EXPECT_EQ(port_close(0), 0);
    EXPECT_EQ(port_close(0), -308);
    // A failed open takes no slot.
    EXPECT_EQ(port_open_default("/no-such-port", kBaud115200), -301);
    EXPECT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), 0);
    EXPECT_EQ(port_close(1), 0);
    EXPECT_EQ(port_close(1), -308);
}

TEST_F(PtyPort, TenthOpenFindsNoSlotAndRecordsNothing) {
    std::vector<Pty> ptys(kMaxPorts);
    for (int i = 0; i < kMaxPorts; ++i) {
        ASSERT_TRUE(ptys[i].ok());
        ASSERT_EQ(port_open_default(ptys[i].path.c_str(), kBaud115200), i);
    }
    driver_error_set(-1, 2, "before");
    EXPECT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), -607);
    EXPECT_EQ(g_driver_error.code, -1);
    EXPECT_EQ(g_driver_error.value, 2);
    EXPECT_STREQ(g_driver_error.text.data(), "before");
}

TEST_F(PtyPort, DefaultOpenAppliesRawLineSettings) {
    // Start from a terminal set up for a person at a keyboard, with flow
    // control, two stop bits, a hang-up at close and a slow rate.
    termios cooked = pty_.settings();
    cooked.c_iflag |= ICRNL | IXON | IXOFF | IXANY;
    cooked.c_oflag |= OPOST;
    cooked.c_lflag |= ECHO | ICANON | ISIG;
    cooked.c_cflag |= CSTOPB | CRTSCTS | HUPCL;
    cooked.c_cflag &= ~static_cast<tcflag_t>(CLOCAL | CREAD);
    cooked.c_cc[VMIN] = 1;
    cooked.c_cc[VTIME] = 0;
    cfsetispeed(&cooked, B9600);
    cfsetospeed(&cooked, B9600);
    ASSERT_EQ(tcsetattr(pty_.slave, TCSANOW, &cooked), 0);

    int slot = port_open_default(pty_.path.c_str(), kBaud115200);
    ASSERT_EQ(slot, 0);
    termios t = pty_.settings();
    EXPECT_EQ(cfgetispeed(&t), B115200);
    EXPECT_EQ(cfgetospeed(&t), B115200);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    struct Flag {
        const char* name;
        tcflag_t field;
        tcflag_t bit;
        bool set;
    };
    const Flag flags[] = {
        {"PARENB", t.c_cflag, PARENB, false},   {"CSTOPB", t.c_cflag, CSTOPB, false},
        {"CRTSCTS", t.c_cflag, CRTSCTS, false}, {"HUPCL", t.c_cflag, HUPCL, false},
        {"CLOCAL", t.c_cflag, CLOCAL, true},    {"CREAD", t.c_cflag, CREAD, true},
        {"IXON", t.c_iflag, IXON, false},       {"IXOFF", t.c_iflag, IXOFF, false},
        {"IXANY", t.c_iflag, IXANY, false},     {"ICRNL", t.c_iflag, ICRNL, false},
        {"OPOST", t.c_oflag, OPOST, false},     {"ECHO", t.c_lflag, ECHO, false},
        {"ICANON", t.c_lflag, ICANON, false},   {"ISIG", t.c_lflag, ISIG, false},
    };
    for (const Flag& f : flags) EXPECT_EQ((f.field & f.bit) != 0, f.set) << f.name;
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 3);
    // The 50 ms pause of the rate switch, plus 150.
    EXPECT_GE(g_port_table[0].baud_switch_ms, 200);
    EXPECT_LT(g_port_table[0].baud_switch_ms, 10000);
}

TEST_F(PtyPort, RateChangesOnlyForAnIndexInTheTable) {
    ASSERT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), 0);
    EXPECT_EQ(port_set_baud(0, 3), 0);
    termios t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B19200);
    EXPECT_EQ(port_set_baud(0, 0), 0);
    t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B2400);
    for (int index : {-1, 7, 1000}) EXPECT_EQ(port_set_baud(0, index), -308) << index;
    t = pty_.settings();
    EXPECT_EQ(cfgetospeed(&t), B2400);
}

// A port that does not take the settings is not opened: the slot stays free
// and the name is recorded. A pseudo-terminal always keeps 8 data bits and
// no parity.
TEST_F(PtyPort, RefusedSettingsFailTheOpen) {
    struct Case {
        const char* what;
        LineTemplate line;
        int baud_index;
    };
    LineTemplate seven_bits{};
    seven_bits.ByteSize = 7;
    LineTemplate even{};
    even.Parity = kEvenParity;
    LineTemplate one_and_a_half{};
    one_and_a_half.StopBits = kOne5StopBits;
    LineTemplate dsr_flow{};
    dsr_flow.fOutxDsrFlow = 1;
    const Case cases[] = {
        {"7 data bits", seven_bits, kBaud115200},
        {"even parity", even, kBaud115200},
        {"1.5 stop bits", one_and_a_half, kBaud115200},
        {"DSR flow", dsr_flow, kBaud115200},
        {"baud index 7", LineTemplate{}, 7},
        {"baud index -1", LineTemplate{}, -1},
    };
    for (const Case& c : cases) {
        g_driver_error = {};
        EXPECT_EQ(port_open(pty_.path.c_str(), c.baud_index, c.line), -301) << c.what;
        EXPECT_EQ(g_driver_error.code, -301) << c.what;
        EXPECT_EQ(std::string(g_driver_error.text.data()), pty_.path) << c.what;
        EXPECT_EQ(g_port_table[0].handle, kNoPort) << c.what;
    }
    // Nothing of the refused opens is left holding the port.
    EXPECT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), 0);
}

// Opens the port in a child process and tells whether that open succeeded.
bool child_can_open(const std::string& name) {
    pid_t pid = fork();
    if (pid == 0) _exit(port_open_default(name.c_str(), kBaud115200) >= 0 ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(PtyPort, AnOpenPortBelongsToItsHolderAlone) {
    ASSERT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), 0);
    EXPECT_FALSE(child_can_open(pty_.path));
    EXPECT_EQ(port_open_default(pty_.path.c_str(), kBaud115200), -301);
    EXPECT_STREQ(g_driver_error.text.data(), pty_.path.c_str());
    EXPECT_EQ(port_close(0), 0);
    EXPECT_TRUE(child_can_open(pty_.path));
}

TEST_F(PtyPort, AFileThatIsNoTerminalIsRefused) {
    EXPECT_EQ(port_open_default("/dev/null", kBaud115200), -301);
    EXPECT_STREQ(g_driver_error.text.data(), "/dev/null");
    EXPECT_EQ(g_port_table[0].handle, kNoPort);
}

TEST(ComDevicePath, ComNamesTheSerialDevicesFromOne) {
    struct Case {
        const char* name;
        const char* device;  // nullptr: used as given
    };
    const Case cases[] = {
        {"COM1", "/dev/ttyS0"},  {"com2", "/dev/ttyS1"},
        {"Com10", "/dev/ttyS9"}, {"COM99999", "/dev/ttyS99998"},
        {"COM100000", nullptr},  {"COM0", nullptr},
        {"COM01", nullptr},      {"COM", nullptr},
        {"COM1:", nullptr},      {"COM-1", nullptr},
        {"XCOM1", nullptr},      {"CO", nullptr},
        {"", nullptr},           {"/dev/ttyUSB0", nullptr},
    };
    for (const Case& c : cases) {
        DevicePath path{};
        bool mapped = com_device_path(c.name, path);
        EXPECT_EQ(mapped, c.device != nullptr) << c.name;
        if (mapped && c.device != nullptr) {
            EXPECT_STREQ(path.data(), c.device) << c.name;
        }
    }
}

}  // namespace
}  // namespace vextal
