#include "tests/pty.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <array>

namespace vextal::test {

Pty::Pty() {
    std::array<char, 4096> name{};
    if (openpty(&master, &slave, name.data(), nullptr, nullptr) != 0) return;
    // The program under test opens the far end by its name; neither it nor
    // a server it starts may hold the terminal on after this ends.
    fcntl(master, F_SETFD, FD_CLOEXEC);
    fcntl(slave, F_SETFD, FD_CLOEXEC);
    path = name.data();
}

Pty::~Pty() {
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
}

termios Pty::settings() const {
    termios t{};
    tcgetattr(slave, &t);
    return t;
}

}  // namespace vextal::test
