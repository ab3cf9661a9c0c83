#include "tests/wine_rig.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

namespace vextal::test {

namespace fs = std::filesystem;

namespace {

constexpr int kFirstDeviceCom = kUnlinkedCom + 1;
constexpr int kLastDeviceCom = 99;
// From 9 down: when wine starts its device manager, it removes the links
// com1, com2, ... up to the first number without one, then links its own
// (com1 to the first serial device).
constexpr int kLastDosCom = 9;
constexpr int kFirstDosCom = 2;

// Takes the lock of a COM number, or -1 when another test holds it. The lock
// files lie beside the prefix, not in it; a lock ends with its holder, so a
// killed test leaves no number taken.
int lock_number(int number) {
    fs::path folder = std::string(VEXTAL_WINE_PREFIX) + ".ports";
    fs::create_directories(folder);
    fs::path file = folder / ("com" + std::to_string(number) + ".lock");
    // Close-on-exec: a wine server started by the program under test must not
    // inherit the lock and keep it.
    int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

Program windows_program(const fs::path& exe) {
    return Program{{VEXTAL_WINE_RUN, exe.string()}, "\r\n"};
}

fs::path windows_bin() {
    return VEXTAL_WINDOWS_BIN_DIR;
}

fs::path windows_fake_d2xx() {
    return VEXTAL_WINDOWS_FAKE_D2XX;
}

fs::path windows_fake_d2xx_partial() {
    return VEXTAL_WINDOWS_FAKE_D2XX_PARTIAL;
}

std::string windows_path(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    for (char& c : text) {
        if (c == '/') c = '\\';
    }
    return text;
}

fs::path com_link_path(int number) {
    return fs::path(VEXTAL_WINE_PREFIX) / "dosdevices" / ("com" + std::to_string(number));
}

ComLink::ComLink(const fs::path& target, Form form) {
    std::vector<int> numbers;
    if (form != Form::dos) {
        for (int n = kFirstDeviceCom; n <= kLastDeviceCom; ++n) numbers.push_back(n);
    } else {
        for (int n = kLastDosCom; n >= kFirstDosCom; --n) numbers.push_back(n);
    }
    for (int n : numbers) {
        lock_ = lock_number(n);
        if (lock_ < 0) continue;
        link_ = com_link_path(n);
        std::error_code ec;
        if (fs::is_symlink(link_, ec)) {
            if (form != Form::dos) {
                fs::remove(link_, ec);  // left by a test that was killed
            } else {
                // Below 10 a link may be wine's own, to a real port.
                close(lock_);
                lock_ = -1;
                continue;
            }
        }
        fs::create_symlink(target, link_);
        std::string number = std::to_string(n);
        name_ = form == Form::device ? "\\\\.\\COM" + number : "COM" + number;
        return;
    }
    throw std::runtime_error("no free COM number in the wine prefix " VEXTAL_WINE_PREFIX);
}

ComLink::~ComLink() {
    std::error_code ec;
    fs::remove(link_, ec);
    close(lock_);
}

}  // namespace vextal::test
