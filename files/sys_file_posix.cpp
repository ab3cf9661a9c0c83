#include "files/sys_file_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/sys_file.h"

namespace vextal {

namespace {

// The reason kept for the report of a failed file: the system's error
// number, or a text of the program's own. Set in a signal handler too, so
// the text is made only when it is asked for.
volatile int kept_errno = 0;
const char* volatile kept_reason = nullptr;

}  // namespace

void sys_keep_failure(const char* reason) {
    kept_reason = reason;
    kept_errno = errno;
}

FileIdentity identity_of(const struct stat& st) {
    return {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

void keep_error(int error) {
    errno = error;
    sys_keep_failure();
}

const char* sys_failure_reason() {
    if (kept_reason != nullptr) return kept_reason;
    // The C library's texts are English: the program never sets a locale.
    return kept_errno != 0 ? std::strerror(kept_errno) : "";
}

SysFile sys_open_read(const char* path, FileIdentity& identity) {
    struct stat st {};
    if (::stat(path, &st) != 0) {
        sys_keep_failure();
        return kNoFile;
    }
    // A terminal or a serial port would be read for ever.
    if (S_ISCHR(st.st_mode)) {
        sys_keep_failure("a device, not a file");
        return kNoFile;
    }
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        sys_keep_failure();
        return kNoFile;
    }
    // Reading a folder fails on Windows at the open; make it fail here too.
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        if (S_ISDIR(st.st_mode)) errno = EISDIR;
        sys_keep_failure();
        ::close(fd);
        return kNoFile;
    }
    identity = identity_of(st);
    return fd;
}

long sys_read(SysFile file, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(static_cast<int>(file), buffer, size);
        if (n >= 0) return static_cast<long>(n);
        if (errno != EINTR) return -1;
    }
}

bool sys_write_all(SysFile file, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(static_cast<int>(file), p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            sys_keep_failure();
            return false;
        }
        if (n == 0) {
            keep_error(EIO);
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

SysFile sys_duplicate(SysFile file) {
    const int fd = ::fcntl(static_cast<int>(file), F_DUPFD_CLOEXEC, 0);
    return fd < 0 ? kNoFile : fd;
}

bool sys_close(SysFile file) {
    if (::close(static_cast<int>(file)) == 0) return true;
    sys_keep_failure();
    return false;
}

bool sys_same_file(const char* a, const char* b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a, &sa) != 0 || ::stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

unsigned sys_process_id() {
    return static_cast<unsigned>(::getpid());
}

bool sys_name_holds(const char* name, const char* part) {
    return std::strstr(name, part) != nullptr;
}

std::size_t sys_name_text(const char* name, char* out, std::size_t size) {
    std::size_t n = 0;
    while (name[n] != '\0' && n + 1 < size) {
        out[n] = name[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

}  // namespace vextal
