// The output slots' file system work on POSIX: links followed, targets
// inspected, staged, put in place by a rename or written over, and undone.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "files/folder_lock_posix.h"
#include "files/output_platform.h"
#include "files/sys_file.h"
#include "files/sys_file_posix.h"

namespace vextal {

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

// The target of one output slot. The fields a signal handler reads are
// volatile, and each is set before the step it stands for can have an effect
// on the file system.
struct Target {
    volatile sig_atomic_t created = 0;  // the put made the target's name
    volatile sig_atomic_t written = 0;  // in place: the target has been opened for writing
    int folder = -1;        // the target's folder; all names below are relative to it ...
    int stage_folder = -1;  // ... except those of the staging and backup files
    bool in_place = false;  // written over the target rather than replaced by a rename
    bool regular = true;
    bool existed = false;
    bool keep_owner = false;  // the staging file takes the owner and mode of `earlier`
    struct stat earlier {};
    char name[kNameSize] = {};
    char stage_name[kShortNameSize] = {};
    char backup_name[kShortNameSize] = {};
};

Target targets[kMaxOutputs];
char copy_buffer[32768];
char signal_copy_buffer[4096];  // a handler must not share the interrupted copy's buffer

// The folder that holds a backup: the target's own for a rename, else the
// staging folder.
int backup_folder(const Target& t) {
    return t.in_place ? t.stage_folder : t.folder;
}

// Follows symbolic links from `path` to the name they finally lead to, which
// need not exist (a dangling link names the file to create).
bool follow_links(char (&path)[kPathSize]) {
    char link[kPathSize];
    for (int hops = 0; hops < kMaxLinks; ++hops) {
        struct stat st {};
        if (::lstat(path, &st) != 0) {
            if (errno == ENOENT) return true;
            sys_keep_failure();
            return false;
        }
        if (!S_ISLNK(st.st_mode)) return true;
        ssize_t n = ::readlink(path, link, sizeof link);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof link) {
            keep_error(n < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::size_t len = static_cast<std::size_t>(n);
        link[len] = '\0';
        // A relative link is read from the folder that holds the link.
        const char* slash = std::strrchr(path, '/');
        const std::size_t keep =
            link[0] == '/' || slash == nullptr ? 0 : static_cast<std::size_t>(slash - path) + 1;
        if (keep + len >= sizeof link) {
            keep_error(ENAMETOOLONG);
            return false;
        }
        std::memcpy(path + keep, link, len + 1);
    }
    keep_error(ELOOP);
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
        if (n < 0) {
            sys_keep_failure();
            return false;
        }
        if (n == 0) return true;
        if (!sys_write_all(to, buffer, static_cast<std::size_t>(n))) return false;
    }
}

// Writes the bytes of `source` (a file in `source_folder`) over the target.
bool write_in_place(const Target& t, int source_folder, const char* source, char* buffer,
                    std::size_t size) {
    int from = ::openat(source_folder, source, O_RDONLY | O_CLOEXEC);
    if (from < 0) {
        sys_keep_failure();
        return false;
    }
    // A device or a pipe is opened as any program opens it for writing.
    const int truncate = t.regular ? O_TRUNC : 0;
    int to = ::openat(t.folder, t.name, O_WRONLY | O_NOCTTY | O_CLOEXEC | truncate);
    if (to < 0) sys_keep_failure();
    bool ok = to >= 0 && copy_bytes(from, to, buffer, size);
    if (to >= 0 && ::close(to) != 0) {
        sys_keep_failure();
        ok = false;
    }
    ::close(from);
    return ok;
}

// Makes a copy of the target's earlier bytes in the staging folder.
bool keep_earlier_bytes(const Target& t, OutputSlot& o) {
    o.backup = OutputSlot::kMaking;
    int from = ::openat(t.folder, t.name, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (from < 0) {
        sys_keep_failure();
        return false;
    }
    int to = ::openat(t.stage_folder, t.backup_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (to < 0) sys_keep_failure();
    bool ok = to >= 0 && copy_bytes(from, to, copy_buffer, sizeof copy_buffer);
    if (to >= 0 && ::close(to) != 0) {
        sys_keep_failure();
        ok = false;
    }
    ::close(from);
    if (ok) o.backup = OutputSlot::kComplete;
    return ok;
}

// Keeps the target's inode under the backup name: a second link where the
// file system has them, else the target itself moved aside.
bool keep_earlier_file(const Target& t, OutputSlot& o) {
    o.backup = OutputSlot::kMaking;
    if (::linkat(t.folder, t.name, t.folder, t.backup_name, 0) != 0 &&
        ::renameat(t.folder, t.name, t.folder, t.backup_name) != 0) {
        sys_keep_failure();
        return false;
    }
    o.backup = OutputSlot::kComplete;
    return true;
}

// Decides how `t` is put in place. False if the target may not be written.
bool inspect_target(Target& t) {
    const bool writable_folder = folder_writable(t.folder);
    struct stat st {};
    if (::fstatat(t.folder, t.name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        t.existed = false;
        t.stage_folder = t.folder;
        if (errno == ENOENT && writable_folder) return true;
        // A new file in a folder the user may not write to.
        keep_error(errno == ENOENT ? EACCES : errno);
        return false;
    }
    if (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode)) {
        keep_error(S_ISDIR(st.st_mode) ? EISDIR : ELOOP);
        return false;
    }
    if (output_is_input(identity_of(st))) {
        sys_keep_failure(kIsInput);
        return false;
    }
    if (::faccessat(t.folder, t.name, W_OK, 0) != 0) {
        sys_keep_failure();
        return false;
    }
    t.existed = true;
    t.earlier = st;
    t.regular = S_ISREG(st.st_mode);
    // A rename would split a hard link off, replace a device or a pipe by a
    // plain file, or is not allowed in the folder.
    t.in_place = !t.regular || st.st_nlink > 1 || !writable_folder;
    t.stage_folder = writable_folder ? t.folder : open_temp_folder();
    if (t.stage_folder < 0) sys_keep_failure();
    return t.stage_folder >= 0;
}

}  // namespace

bool sys_target_open(int slot, const char* target) {
    Target& t = targets[slot];
    t = Target{};
    char path[kPathSize];
    const std::size_t len = std::strlen(target);
    if (len == 0 || len >= sizeof path) {
        keep_error(len == 0 ? ENOENT : ENAMETOOLONG);
        return false;
    }
    std::memcpy(path, target, len + 1);
    if (!follow_links(path)) return false;

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
    if (name_len == 0 || name_len >= kNameSize) {
        keep_error(name_len == 0 ? EISDIR : ENAMETOOLONG);
        return false;
    }

    std::memcpy(t.name, name, name_len + 1);
    t.folder = ::open(folder, kFolderFlags);
    if (t.folder < 0) sys_keep_failure();
    if (t.folder < 0 || !inspect_target(t)) return false;
    // A replacement keeps the earlier file's owner (where the process may set
    // it) and permission bits.
    t.keep_owner = t.existed && !t.in_place;
    return true;
}

bool sys_target_undoable(int slot) {
    return targets[slot].regular;
}

bool sys_target_keep(int slot, OutputSlot& o) {
    const Target& t = targets[slot];
    if (t.in_place) return !t.regular || keep_earlier_bytes(t, o);
    return !t.existed || keep_earlier_file(t, o);
}

bool sys_target_place(int slot, OutputSlot& o) {
    Target& t = targets[slot];
    if (t.in_place) {
        t.written = 1;
        return write_in_place(t, t.stage_folder, t.stage_name, copy_buffer, sizeof copy_buffer);
    }
    t.created = !t.existed;
    if (::renameat(t.stage_folder, t.stage_name, t.folder, t.name) != 0) {
        sys_keep_failure();
        return false;
    }
    o.stage = OutputSlot::kAbsent;
    return true;
}

// Async-signal-safe: only system calls on names held in the record.
void sys_target_restore(int slot, OutputSlot& o, bool in_handler) {
    Target& t = targets[slot];
    char* buffer = in_handler ? signal_copy_buffer : copy_buffer;
    const std::size_t size = in_handler ? sizeof signal_copy_buffer : sizeof copy_buffer;
    if (!t.in_place) {
        // Renaming the backup back also covers a put interrupted between its
        // two steps: both names then lead to one file and the rename does
        // nothing.
        if (o.backup == OutputSlot::kComplete) {
            ::renameat(t.folder, t.backup_name, t.folder, t.name);
        } else if (t.created) {
            ::unlinkat(t.folder, t.name, 0);
        }
    } else if (t.written && o.backup == OutputSlot::kComplete) {
        write_in_place(t, t.stage_folder, t.backup_name, buffer, size);
    }
    t.created = 0;
    t.written = 0;
}

bool sys_folder_identity(int slot, FileIdentity& folder) {
    const Target& t = targets[slot];
    struct stat st {};
    if (t.folder < 0 || ::fstat(t.folder, &st) != 0) return false;
    folder = identity_of(st);
    return true;
}

bool sys_folder_lock_open(int slot, const FileIdentity&, SysFile& handle) {
    return folder_lock_open(targets[slot].folder, handle);
}

bool sys_folder_try_lock(SysFile handle) {
    return folder_lock_try(handle);
}

void sys_folder_note(SysFile handle, int slot) {
    const Target& t = targets[slot];
    // Only files in the target's own folder can be put back from there.
    if (t.stage_folder == t.folder) {
        folder_lock_note(handle, t.in_place, t.stage_name, t.backup_name, t.existed, t.name);
    }
}

void sys_folder_note_kept(SysFile handle, int slot) {
    const Target& t = targets[slot];
    if (t.in_place && t.regular && t.stage_folder == t.folder) {
        folder_lock_note_kept(handle, t.backup_name);
    }
}

void sys_folder_note_placed(SysFile handle) {
    folder_lock_note_placed(handle);
}

// Closing the handle gives the lock up; so does the end of the process,
// however it ends.
void sys_folder_unlock(SysFile handle, bool held) {
    folder_lock_close(handle, held);
}

void sys_folder_drop(SysFile handle) {
    folder_lock_drop(handle);
}

void sys_pause_ms(unsigned ms) {
    timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

void sys_target_close(int slot) {
    const Target& t = targets[slot];
    if (t.stage_folder >= 0 && t.stage_folder != t.folder) ::close(t.stage_folder);
    if (t.folder >= 0) ::close(t.folder);
}

bool sys_stage_name(int slot, unsigned serial) {
    Target& t = targets[slot];
    const unsigned pid = sys_process_id();
    std::snprintf(t.stage_name, sizeof t.stage_name, "vextal-%u-%u.tmp", pid, serial);
    std::snprintf(t.backup_name, sizeof t.backup_name, "vextal-%u-%u.bak", pid, serial);
    return true;
}

// A new file gets 0666 less the umask, a replacement the earlier file's owner
// and permission bits.
StageOutcome sys_stage_create(int slot, SysFile& staging) {
    const Target& t = targets[slot];
    int fd = ::openat(t.stage_folder, t.stage_name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      t.in_place ? 0600 : 0666);
    if (fd < 0) {
        // Kept too: where every name is taken, it is why the output fails.
        sys_keep_failure();
        return errno == EEXIST ? StageOutcome::kNameTaken : StageOutcome::kFailed;
    }
    if (t.keep_owner) {
        if (::fchown(fd, t.earlier.st_uid, t.earlier.st_gid) != 0) {
            (void)::fchown(fd, static_cast<uid_t>(-1), t.earlier.st_gid);
        }
        (void)::fchmod(fd, t.earlier.st_mode & 07777);
    }
    staging = fd;
    return StageOutcome::kCreated;
}

void sys_stage_remove(int slot) {
    const Target& t = targets[slot];
    ::unlinkat(t.stage_folder, t.stage_name, 0);
}

void sys_backup_remove(int slot) {
    const Target& t = targets[slot];
    ::unlinkat(backup_folder(t), t.backup_name, 0);
}

}  // namespace vextal
