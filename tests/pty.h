// A pseudo-terminal: the stand-in for a serial port in the tests.
#pragma once

#include <termios.h>

#include <string>

namespace vextal::test {

/// A pseudo-terminal; both ends stay open while it lives and are not
/// inherited by programs the test starts.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;  ///< the far end's device, empty if none could be made
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    bool ok() const { return !path.empty(); }
    /// The line settings of the far end as they stand now.
    termios settings() const;
    /// Whether the terminal is held for exclusive use (TIOCEXCL).
    bool exclusive() const;
    /// What the program wrote to the far end so far.
    std::string written() const;
};

}  // namespace vextal::test
