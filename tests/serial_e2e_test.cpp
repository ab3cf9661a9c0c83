// The serial port of `measure`, end to end: a port that cannot be opened ends
// the run before the linear stage is touched; a terminal is opened, and
// left as it was found however the run ends.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "tests/harness.h"
#include "tests/measure_rig.h"
#include "tests/pty.h"
#include "tests/support/seed.h"

namespace vextal::test {
namespace {

const char kPortError[] = "Error: Serial Port could not be opened!\n";

TEST(MeasurePort, UnopenablePortEndsTheRun) {
    // A name that names nothing, and a file that is no terminal.
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent", "No such file or directory"}, {"/dev/null", "not a serial port"}};
    for (const auto& [port, reason] : cases) {
        Sandbox box;
        RunResult r = box.run({"measure", "-sp", port});
        EXPECT_EQ(r.exit_code, 2) << port;
        EXPECT_FALSE(r.crashed) << port;
        EXPECT_EQ(r.out, "") << port;
        // The report, then the port and why it could not be opened.
        EXPECT_EQ(r.err, kPortError + port + ": " + reason + "\n") << port;
        EXPECT_TRUE(box.files().empty()) << port;
    }
}

TEST(MeasurePort, TerminalIsOpened) {
    Pty pty;
    if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
    Sandbox box;
    RunResult r = box.run({"measure", "-sp", pty.path});
    // The stage initialisation follows the opening; whatever it reports, the
    // port itself was opened.
    EXPECT_FALSE(r.crashed);
    EXPECT_EQ(r.err.find("Serial Port could not be opened!"), std::string::npos) << r.err;
}

// Started with a standard stream closed, the program must not open the port
// in its place: the banner or the error report would go down the serial line.
// Without the USB library the run ends with exit code 100, and the port is
// given back.
TEST(MeasurePort, ClosedStandardStreamsNeverReachThePort) {
    const std::string vextal = (program_folder() / "vextal").string();
    for (const char* redirect : {">&-", "2>&-", ">&- 2>&-", "<&- >&- 2>&-"}) {
        SCOPED_TRACE(redirect);
        Pty pty;
        if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
        Sandbox box;
        box.write("lib/.keep", "");
        const Program closed{
            {"/bin/sh", "-c", "exec \"$0\" \"$@\" " + std::string(redirect), vextal}, "\n"};
        RunResult r = box.run(closed, {"measure", "-sp", pty.path},
                              {"LD_LIBRARY_PATH=" + (box.path() / "lib").string()});
        EXPECT_EQ(r.exit_code, 100);
        EXPECT_EQ(pty.written(), "");
        EXPECT_FALSE(pty.exclusive());
    }
}

// The settings a terminal holds, field by field.
bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && cfgetispeed(&a) == cfgetispeed(&b) &&
           cfgetospeed(&a) == cfgetospeed(&b) && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// A terminal in use as a console (9600 baud, echo, lines): measure sets it to
// 115200 raw and must put it back on every way the run ends.
TEST(MeasurePort, TerminalSettingsArePutBack) {
    const struct {
        const char* what;
        std::string scenario;
        std::vector<std::string> options;
        int exit_code;
    } cases[] = {
        {"success", "device SN1 ELV USB-Schrittmotoren-Interface\n", {}, 0},
        {"no device", "", {}, 100},
        {"no answer", "device SN1 ELV USB-Schrittmotoren-Interface\nreply silence\n", {}, 102},
        {"an output that cannot be written",
         "device SN1 ELV USB-Schrittmotoren-Interface\n",
         {"-psdplot", "-f", "no/such/folder/run"},
         2},
    };
    for (const auto& c : cases) {
        MeasureRig rig;
        ASSERT_TRUE(rig.pty().ok());
        termios console = rig.pty().settings();
        cfsetispeed(&console, B9600);
        cfsetospeed(&console, B9600);
        console.c_lflag |= ECHO | ICANON | ISIG;
        ASSERT_EQ(tcsetattr(rig.pty().slave, TCSANOW, &console), 0);
        const termios before = rig.pty().settings();
        std::vector<std::string> args{"measure", "-sp", rig.port()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        EXPECT_EQ(rig.run(args, c.scenario).exit_code, c.exit_code) << c.what;
        EXPECT_TRUE(same_settings(rig.pty().settings(), before)) << c.what;
        EXPECT_FALSE(rig.pty().exclusive()) << c.what;
    }
}

// Ctrl-C at random moments of the port's opening (its 50 ms rate switch
// included) and after it: the terminal is never left exclusive nor changed.
// A failure names the seed that replays its moments.
TEST(MeasurePort, InterruptWhileThePortOpens) {
    const std::string vextal = (program_folder() / "vextal").string();
    const uint32_t seed = test_seed();
    std::mt19937 random(seed);
    for (int round = 0; round < 30; ++round) {
        Pty pty;
        if (!pty.ok()) GTEST_SKIP() << "no pseudo-terminals here";
        const termios before = pty.settings();
        Sandbox box;
        box.write("lib/.keep", "");
        const std::string pause = "0.0" + std::to_string(10 + random() % 90);
        const Program interrupted{
            {"/bin/sh", "-c",
             "\"$0\" measure -sp \"$1\" & p=$!; sleep " + pause + "; kill -INT $p; wait $p; exit 0",
             vextal},
            "\n"};
        RunResult r =
            box.run(interrupted, {pty.path}, {"LD_LIBRARY_PATH=" + (box.path() / "lib").string()});
        EXPECT_EQ(r.exit_code, 0) << pause << "; " << replay_with(seed);
        EXPECT_FALSE(pty.exclusive()) << pause << "; " << replay_with(seed);
        EXPECT_TRUE(same_settings(pty.settings(), before)) << pause << "; " << replay_with(seed);
    }
}

}  // namespace
}  // namespace vextal::test
