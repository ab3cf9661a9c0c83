#include "tests/pty.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
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

bool Pty::exclusive() const {
    int on = 0;
    return ioctl(slave, TIOCGEXCL, &on) == 0 && on != 0;
}

std::string Pty::written() const {
    std::string text;
    const int flags = fcntl(master, F_GETFL);
    fcntl(master, F_SETFL, flags | O_NONBLOCK);
    std::array<char, 4096> buffer;
    for (ssize_t n; (n = read(master, buffer.data(), buffer.size())) > 0;) {
        text.append(buffer.data(), static_cast<std::size_t>(n));
    }
    fcntl(master, F_SETFL, flags);
    return text;
}

}  // namespace vextal::test
