#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "common/process.h"

namespace vextal {

void guard_standard_streams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free number, which is this one; if it fails
        // there is nothing better to do than go on.
        int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) close(null);
    }
}

void buffer_standard_output() {
    static char buffer[4096];
    std::setvbuf(stdout, buffer, isatty(STDOUT_FILENO) ? _IOLBF : _IOFBF, sizeof buffer);
}

}  // namespace vextal
