// The serial port of `measure`, end to end: a port that cannot be opened ends
// the run before the linear stage is touched; a terminal is opened.
#include <gtest/gtest.h>

#include <string>

#include "tests/harness.h"
#include "tests/pty.h"

namespace vextal::test {
namespace {

const char kPortError[] = "Error: Serial Port could not be opened!\n";

TEST(MeasurePort, UnopenablePortEndsTheRun) {
    // A name that names nothing, and a file that is no terminal.
    for (const char* port : {"/nonexistent", "/dev/null"}) {
        Sandbox box;
        RunResult r = box.run({"measure", "-sp", port});
        EXPECT_EQ(r.exit_code, 2) << port;
        EXPECT_FALSE(r.crashed) << port;
        EXPECT_EQ(r.out, "") << port;
        EXPECT_EQ(r.err, kPortError) << port;
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

}  // namespace
}  // namespace vextal::test
