#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "common/sys_file.h"

namespace vextal {

SysFile sys_open_read(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kNoFile;
    // Reading a folder fails on Windows at the open; make it fail here too.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return kNoFile;
    }
    return fd;
}

SysFile sys_create_new(const char* path) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    return fd < 0 ? kNoFile : fd;
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
            return false;
        }
        if (n == 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool sys_close(SysFile file) { return ::close(static_cast<int>(file)) == 0; }

bool sys_replace(const char* from, const char* to) { return std::rename(from, to) == 0; }

void sys_remove(const char* path) { ::unlink(path); }

bool sys_target_writable(const char* path) {
    struct stat st {};
    if (::stat(path, &st) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) return false;
    return ::access(path, W_OK) == 0;
}

bool sys_same_file(const char* a, const char* b) {
    struct stat sa {};
    struct stat sb {};
    if (::stat(a, &sa) != 0 || ::stat(b, &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

unsigned sys_process_id() { return static_cast<unsigned>(::getpid()); }

}  // namespace vextal
