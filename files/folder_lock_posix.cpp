// The lock of a folder between runs on POSIX: the file vextal.lock in the
// folder, taken with flock. It can be made and opened in a folder the user
// may write but not read (a drop box), and it ends with its holder however
// that holder ends; a lock file left behind is taken like a new one. While a
// run holds it, the lock file holds the run's list of its outputs in that
// folder (files/folder_journal.h), which the next run follows where the run
// died without its clean-up.
#include "files/folder_lock_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "files/folder_journal.h"
#include "files/output_slots.h"

namespace vextal {

namespace {

constexpr char kLockName[] = "vextal.lock";

struct LockFile {
    int fd = -1;
    int folder = -1;    // a handle of the folder, for the lock file's name
    bool file = false;  // a lock file, not the folder itself
    bool cut = false;   // a note could not be written whole: no more follow
    bool keep = false;  // another user's list, left for that user's next run
};
LockFile locks[kMaxOutputs];
char journal[kJournalSize];
JournalRecord record;
char copy_buffer[4096];

int open_lock_file(int folder) {
    constexpr int kFlags = O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folder, kLockName, O_RDWR | kFlags, 0644);
    // Every user who may write into the folder may take its lock (flock asks
    // only for reading, whatever the umask), but only its maker may write
    // the list: the next run of that user follows it, and a list that
    // others could write could name that user's files. Another user's run
    // takes the lock and goes without notes.
    if (fd >= 0) (void)::fchmod(fd, 0644);
    if (fd < 0 && errno == EACCES) fd = ::openat(folder, kLockName, O_RDONLY | kFlags);
    return fd;
}

// Whether the lock file's name still leads to `fd`, whose status is
// `held`: a holder that ended removed it, and a lock on a removed file locks
// nothing.
bool still_named(const LockFile& l, struct stat& held) {
    struct stat named {};
    return ::fstat(l.fd, &held) == 0 &&
           ::fstatat(l.folder, kLockName, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Reads the list a dead holder left and puts its outputs back.
void recover(int lock) {
    const LockFile& l = locks[lock];
    std::size_t size = 0;
    for (ssize_t n = 0; size < sizeof journal; size += static_cast<std::size_t>(n)) {
        n = ::pread(l.fd, journal + size, sizeof journal - size, static_cast<off_t>(size));
        if (n <= 0) break;
    }
    journal_recover(lock, journal, size);
}

// A list that cannot be written (a full disk, the file size limit) leaves
// only the recovery undone; after a note cut short nothing more is noted, so
// that no later record is read as part of it. A record is written with one
// call, so that it costs one system call and a record cut short is one a
// dead holder was writing.
void append(LockFile& l, std::size_t size) {
    if (!l.file) return;
    if (size == 0) l.cut = true;
    for (const char* text = record; size > 0 && !l.cut;) {
        const ssize_t n = ::write(l.fd, text, size);
        if (n <= 0) l.cut = true;
        if (n <= 0) return;
        text += n;
        size -= static_cast<std::size_t>(n);
    }
}

}  // namespace

bool folder_lock_open(int folder, SysFile& handle) {
    int i = 0;
    while (i < kMaxOutputs && locks[i].fd >= 0) ++i;
    if (i == kMaxOutputs) return false;
    LockFile& l = locks[i];
    l.file = true;
    l.fd = open_lock_file(folder);
    if (l.fd < 0) {
        // A folder the user may not write keeps no lock file; its own handle
        // takes the lock where it may be read.
        l.file = false;
        l.fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    l.folder = l.fd < 0 ? -1 : ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (l.folder < 0) {
        if (l.fd >= 0) ::close(l.fd);
        l = LockFile{};
        return false;
    }
    handle = i;
    return true;
}

bool folder_lock_try(SysFile handle) {
    LockFile& l = locks[handle];
    if (::flock(l.fd, LOCK_EX | LOCK_NB) != 0) return false;
    if (!l.file) return true;
    struct stat held {};
    if (!still_named(l, held)) {
        // Taken from a holder that has just removed it: the next try takes
        // the lock file that now has the name.
        ::close(l.fd);
        l.fd = open_lock_file(l.folder);
        return false;
    }
    // An empty list, as every holder that ended leaves it by removing the
    // file, needs neither recovery nor a fresh start.
    l.cut = false;
    if (held.st_size == 0) return true;
    // Only a list of this user's own is followed: in a folder that others
    // may write into, a list someone else left could name this user's files.
    // It stays for that user's next run, and this run's outputs go without
    // notes.
    if (held.st_uid != ::geteuid()) {
        l.cut = true;
        l.keep = true;
        return true;
    }
    recover(static_cast<int>(handle));
    // This run's notes start the list afresh, or are not made at all.
    l.cut = ::ftruncate(l.fd, 0) != 0;
    return true;
}

void folder_lock_note(SysFile handle, bool in_place, const char* stage, const char* backup,
                      bool existed, const char* name) {
    append(locks[handle], journal_output(record, in_place, stage, backup, existed, name));
}

void folder_lock_note_kept(SysFile handle, const char* backup) {
    append(locks[handle], journal_kept(record, backup));
}

void folder_lock_note_placed(SysFile handle) {
    append(locks[handle], journal_placed(record));
}

void folder_lock_close(SysFile handle, bool held) {
    LockFile& l = locks[handle];
    if (held) folder_lock_drop(handle);
    if (l.fd >= 0) ::close(l.fd);
    if (l.folder >= 0) ::close(l.folder);
    l = LockFile{};
}

// A lock file that cannot be removed (a folder whose sticky bit keeps
// others' files) is left empty: the list of a run that ended asks nothing of
// the next.
void folder_lock_drop(SysFile handle) {
    const LockFile& l = locks[handle];
    if (!l.file || l.keep || l.folder < 0) return;
    if (::unlinkat(l.folder, kLockName, 0) != 0) (void)::ftruncate(l.fd, 0);
}

bool journal_remove(int lock, const char* name) {
    return ::unlinkat(locks[lock].folder, name, 0) == 0;
}

bool journal_exists(int lock, const char* name) {
    struct stat st {};
    return ::fstatat(locks[lock].folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool journal_rename(int lock, const char* from, const char* to) {
    return ::renameat(locks[lock].folder, from, locks[lock].folder, to) == 0;
}

bool journal_copy_back(int lock, const char* from, const char* to) {
    const int folder = locks[lock].folder;
    const int in = ::openat(folder, from, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int out = ::openat(folder, to, O_WRONLY | O_TRUNC | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = in >= 0 && out >= 0;
    for (ssize_t n = 0; ok && (n = ::read(in, copy_buffer, sizeof copy_buffer)) > 0;) {
        ok = ::write(out, copy_buffer, static_cast<std::size_t>(n)) == n;
    }
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    return ok;
}

}  // namespace vextal
