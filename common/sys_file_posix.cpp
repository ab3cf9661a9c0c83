#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

bool sys_close(SysFile file) {
    return ::close(static_cast<int>(file)) == 0;
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

std::size_t sys_name_text(const char* name, char* out, std::size_t size) {
    std::size_t n = 0;
    while (name[n] != '\0' && n + 1 < size) {
        out[n] = name[n];
        ++n;
    }
    out[n] = '\0';
    return n;
}

// ---- outputs ----

namespace {

// Links followed from an output name before it counts as a loop.
constexpr int kMaxLinks = 40;
constexpr std::size_t kPathSize = 4096;
// Longest last name part the file systems take, terminating NUL included.
constexpr std::size_t kNameSize = 256;
// "vextal-<pid>-<serial>.tmp": short, whatever the target's name.
constexpr std::size_t kShortNameSize = 40;

#ifdef O_PATH
// A folder that may be searched but not listed still serves the *at calls.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

enum State : sig_atomic_t { kFree = 0, kStaged, kPutting, kPut };
// How far a staging or backup file has got: absent, being made, complete.
enum FileState : sig_atomic_t { kAbsent = 0, kMaking, kComplete };

// One output. The fields a signal handler reads are volatile, and each is set
// before the step it stands for can have an effect on the file system, so
// that the handler never misses a file that may exist.
struct Output {
    volatile sig_atomic_t state = kFree;
    volatile sig_atomic_t stage = kAbsent;
    volatile sig_atomic_t backup = kAbsent;
    volatile sig_atomic_t created = 0;  // the put made the target's name
    volatile sig_atomic_t written = 0;  // in place: the target has been opened for writing
    int folder = -1;        // the target's folder; all names below are relative to it ...
    int stage_folder = -1;  // ... except those of the staging and backup files
    bool in_place = false;  // written over the target rather than replaced by a rename
    bool regular = true;
    bool existed = false;
    char name[kNameSize] = {};
    char stage_name[kShortNameSize] = {};
    char backup_name[kShortNameSize] = {};
};

Output outputs[kMaxOutputs];
unsigned serial = 0;
char copy_buffer[32768];
char signal_copy_buffer[4096];  // a handler must not share the interrupted copy's buffer

// The folder that holds a backup: the target's own for a rename, else the
// staging folder.
int backup_folder(const Output& o) {
    return o.in_place ? o.stage_folder : o.folder;
}

// Follows symbolic links from `path` to the name they finally lead to, which
// need not exist (a dangling link names the file to create).
bool follow_links(char (&path)[kPathSize]) {
    char link[kPathSize];
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        struct stat st {};
        if (::lstat(path, &st) != 0) return errno == ENOENT;
        if (!S_ISLNK(st.st_mode)) return true;
        ssize_t n = ::readlink(path, link, sizeof link);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link) return false;
        const std::size_t len = static_cast<std::size_t>(n);
        link[len] = '\0';
        // A relative link is read from the folder that holds the link.
        const char* slash = std::strrchr(path, '/');
        const std::size_t keep =
            link[0] == '/' || slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
        if (keep + len >= sizeof link) return false;
        std::memcpy(path + keep, link, len + 1);
    }
    return false;
}

int open_temp_folder() {
    const char* dir = std::getenv("TMPDIR");
    if (dir == nullptr || dir[0] != '/') dir = "/tmp";
    return ::open(dir, kFolderFlags);
}

bool folder_writable(int folder) {
    return ::faccessat(folder, ".", W_OK | X_OK, 0) == 0;
}

// Copies every byte of `from` to `to`; false on any read or write error.
bool copy_bytes(int from, int to, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = ::read(from, buffer, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!sys_write_all(to, buffer, static_cast<std::size_t>(n))) return false;
    }
}

// Writes the bytes of `source` (a file in `source_folder`) over the target.
bool write_in_place(const Output& o, int source_folder, const char* source, char* buffer,
                    std::size_t size) {
    int from = ::openat(source_folder, source, O_RDONLY | O_CLOEXEC);
    if (from < 0) return false;
    // A device or a pipe is opened as any program opens it for writing.
    const int truncate = o.regular ? O_TRUNC : 0;
    int to = ::openat(o.folder, o.name, O_WRONLY | O_NOCTTY | O_CLOEXEC | truncate);
    bool ok = to >= 0 && copy_bytes(from, to, buffer, size);
    if (to >= 0 && ::close(to) != 0) ok = false;
    ::close(from);
    return ok;
}

// Makes a copy of the target's earlier bytes in the staging folder.
bool keep_earlier_bytes(Output& o) {
    o.backup = kMaking;
    int from = ::openat(o.folder, o.name, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (from < 0) return false;
    int to = ::openat(o.stage_folder, o.backup_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    bool ok = to >= 0 && copy_bytes(from, to, copy_buffer, sizeof copy_buffer);
    if (to >= 0 && ::close(to) != 0) ok = false;
    ::close(from);
    if (ok) o.backup = kComplete;
    return ok;
}

// Keeps the target's inode under the backup name: a second link where the
// file system has them, else the target itself moved aside.
bool keep_earlier_file(Output& o) {
    o.backup = kMaking;
    if (::linkat(o.folder, o.name, o.folder, o.backup_name, 0) != 0 &&
        ::renameat(o.folder, o.name, o.folder, o.backup_name) != 0) {
        return false;
    }
    o.backup = kComplete;
    return true;
}

// Async-signal-safe: only system calls on names held in the record.
void undo(Output& o, char* buffer, std::size_t size) {
    if (!o.in_place) {
        // Renaming the backup back also covers a put interrupted between its
        // two steps: both names then lead to one file and the rename does
        // nothing.
        if (o.backup == kComplete) {
            ::renameat(o.folder, o.backup_name, o.folder, o.name);
        } else if (o.created) {
            ::unlinkat(o.folder, o.name, 0);
        }
    } else if (o.written && o.backup == kComplete) {
        write_in_place(o, o.stage_folder, o.backup_name, buffer, size);
    }
    o.created = 0;
    o.written = 0;
}

void remove_files(const Output& o) {
    if (o.stage != kAbsent) ::unlinkat(o.stage_folder, o.stage_name, 0);
    if (o.backup != kAbsent) ::unlinkat(backup_folder(o), o.backup_name, 0);
}

Output* slot_output(int slot) {
    if (slot < 0 || slot >= kMaxOutputs || outputs[slot].state == kFree) return nullptr;
    return &outputs[slot];
}

// Decides how `o` is put in place. False if the target may not be written.
bool inspect_target(Output& o) {
    const bool writable_folder = folder_writable(o.folder);
    struct stat st {};
    if (::fstatat(o.folder, o.name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        o.existed = false;
        o.stage_folder = o.folder;
        return errno == ENOENT && writable_folder;
    }
    if (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) return false;
    if (::faccessat(o.folder, o.name, W_OK, 0) != 0) return false;
    o.existed = true;
    o.regular = S_ISREG(st.st_mode);
    // A rename would split a hard link off, replace a device or a pipe by a
    // plain file, or is not allowed in the folder.
    o.in_place = !o.regular || st.st_nlink > 1 || !writable_folder;
    o.stage_folder = writable_folder ? o.folder : open_temp_folder();
    return o.stage_folder >= 0;
}

// Creates the staging file; a new file gets 0666 less the umask, a
// replacement the earlier file's owner (where the process may set it) and
// permission bits.
int create_stage(Output& o, const struct stat* earlier) {
    const unsigned pid = sys_process_id();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned n = serial++;
        std::snprintf(o.stage_name, sizeof o.stage_name, "vextal-%u-%u.tmp", pid, n);
        std::snprintf(o.backup_name, sizeof o.backup_name, "vextal-%u-%u.bak", pid, n);
        o.stage = kMaking;
        int fd = ::openat(o.stage_folder, o.stage_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          o.in_place ? 0600 : 0666);
        if (fd < 0) {
            o.stage = kAbsent;
            if (errno == EEXIST) continue;
            return -1;
        }
        o.stage = kComplete;
        if (earlier != nullptr) {
            if (::fchown(fd, earlier->st_uid, earlier->st_gid) != 0) {
                (void)::fchown(fd, static_cast<uid_t>(-1), earlier->st_gid);
            }
            (void)::fchmod(fd, earlier->st_mode & 07777);
        }
        return fd;
    }
    return -1;
}

}  // namespace

int sys_output_open(const char* target, SysFile& staging) {
    staging = kNoFile;
    int slot = 0;
    while (slot < kMaxOutputs && outputs[slot].state != kFree) ++slot;
    if (slot == kMaxOutputs) return -1;

    char path[kPathSize];
    const std::size_t len = std::strlen(target);
    if (len == 0 || len >= sizeof path) return -1;
    std::memcpy(path, target, len + 1);
    if (!follow_links(path)) return -1;

    // The final name part, and the folder that holds it.
    char* slash = std::strrchr(path, '/');
    const char* folder = ".";
    const char* name = path;
    if (slash != nullptr) {
        folder = slash == path ? "/" : path;
        *slash = '\0';
        name = slash + 1;
    }
    const std::size_t name_len = std::strlen(name);
    if (name_len == 0 || name_len >= kNameSize) return -1;

    Output& o = outputs[slot];
    o = Output{};
    std::memcpy(o.name, name, name_len + 1);
    o.folder = ::open(folder, kFolderFlags);
    if (o.folder < 0) return -1;
    o.state = kStaged;
    struct stat earlier {};
    int fd = -1;
    if (inspect_target(o)) {
        const bool keep_owner = o.existed && !o.in_place &&
                                ::fstatat(o.folder, o.name, &earlier, AT_SYMLINK_NOFOLLOW) == 0;
        fd = create_stage(o, keep_owner ? &earlier : nullptr);
    }
    if (fd < 0) {
        sys_output_release(slot);
        return -1;
    }
    staging = fd;
    return slot;
}

bool sys_output_undoable(int slot) {
    const Output* o = slot_output(slot);
    return o != nullptr && o->regular;
}

bool sys_output_put(int slot) {
    Output* p = slot_output(slot);
    if (p == nullptr || p->state != kStaged) return false;
    Output& o = *p;
    bool ok = true;
    if (o.in_place) {
        if (o.regular) ok = keep_earlier_bytes(o);
        o.state = kPutting;
        if (ok) {
            o.written = 1;
            ok = write_in_place(o, o.stage_folder, o.stage_name, copy_buffer, sizeof copy_buffer);
        }
    } else {
        if (o.existed) ok = keep_earlier_file(o);
        o.state = kPutting;
        if (ok) {
            o.created = !o.existed;
            ok = ::renameat(o.stage_folder, o.stage_name, o.folder, o.name) == 0;
            if (ok) o.stage = kAbsent;
        }
    }
    if (!ok) {
        undo(o, copy_buffer, sizeof copy_buffer);
        o.state = kStaged;
        return false;
    }
    o.state = kPut;
    return true;
}

void sys_output_undo(int slot) {
    Output* o = slot_output(slot);
    if (o == nullptr || o->state != kPut) return;
    undo(*o, copy_buffer, sizeof copy_buffer);
    o->state = kStaged;
}

void sys_output_release(int slot) {
    if (slot < 0 || slot >= kMaxOutputs) return;
    Output& o = outputs[slot];
    if (o.state == kFree) return;
    remove_files(o);
    o.stage = kAbsent;
    o.backup = kAbsent;
    if (o.stage_folder >= 0 && o.stage_folder != o.folder) ::close(o.stage_folder);
    if (o.folder >= 0) ::close(o.folder);
    o.state = kFree;
}

void sys_output_abandon_all() {
    for (Output& o : outputs) {
        if (o.state == kFree) continue;
        if (o.state == kPutting || o.state == kPut) {
            undo(o, signal_copy_buffer, sizeof signal_copy_buffer);
        }
        remove_files(o);
        o.stage = kAbsent;
        o.backup = kAbsent;
    }
}

}  // namespace vextal
