// The parts of the measure rig that every platform shares.
#include "tests/measure_rig.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <array>
#include <fstream>

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

bool MeasureRig::loaded() const {
    return std::filesystem::exists(log_file());
}

std::vector<std::string> MeasureRig::log() const {
    std::vector<std::string> lines;
    std::ifstream in(log_file());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace vextal::test
