// The lock of a folder between runs on POSIX: the file vextal.lock in the
// folder, taken with flock. It can be made and opened in a folder the user
// may write but not read (a drop box), and it ends with its holder however
// that holder ends; a lock file left behind is taken like a new one.
//
// While a run holds it, the lock file lists the outputs the run puts in that
// folder by a rename (their staging, backup and target names) and, once all
// of them are in place, says so. A run killed where no handler runs (SIGKILL,
// the two real-time signals the C library keeps for itself, a power cut)
// leaves the list behind, and the next run that takes the lock puts the
// folder back: all new where the list says every output was in place, all
// old otherwise.
#include "files/folder_lock_posix.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/console.h"
#include "files/file_name.h"
#include "files/output_slots.h"

namespace vextal {

namespace {

constexpr char kLockName[] = "vextal.lock";
// Record kinds in the lock file; fields end with a NUL, as no name holds one.
constexpr char kOutputRecord = 'o';   // put in place by a rename
constexpr char kInPlaceRecord = 'w';  // written over the target
constexpr char kKeptRecord = 'k';     // the backup of one written over is whole
constexpr char kPlacedRecord = 'p';
// A run's list: its outputs, a few staging names tried for each.
constexpr std::size_t kJournalSize = 16384;

struct LockFile {
    int fd = -1;
    int folder = -1;    // a handle of the folder, for the lock file's name
    bool file = false;  // a lock file, not the folder itself
    bool cut = false;   // a note could not be written whole: no more follow
};
LockFile locks[kMaxOutputs];
char journal[kJournalSize];
char copy_buffer[4096];

int open_lock_file(int folder) {
    constexpr int kFlags = O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::openat(folder, kLockName, O_RDWR | kFlags, 0666);
    // Every user who may write into the folder may take its lock and note
    // their outputs in it.
    if (fd >= 0) (void)::fchmod(fd, 0666);
    // A lock file that only its maker may write still takes the lock (flock
    // does not ask for writing); the run's outputs then go without notes.
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

bool exists(int folder, const char* name) {
    struct stat st {};
    return ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
}

// The fields of a record of each kind, the kind included.
int record_fields(char kind) {
    switch (kind) {
        case kOutputRecord:
        case kInPlaceRecord:
            return 5;
        case kKeptRecord:
            return 2;
        default:
            return 1;
    }
}

// Calls `f` with the fields of each whole record of the list; a record cut
// off by the death ends it.
template <typename F>
void each_record(const char* begin, const char* end, F f) {
    const char* fields[5];
    int count = 0;
    for (const char* p = begin; p < end;) {
        const char* nul =
            static_cast<const char*>(std::memchr(p, '\0', static_cast<std::size_t>(end - p)));
        if (nul == nullptr) return;
        fields[count++] = p;
        p = nul + 1;
        if (count == record_fields(fields[0][0])) {
            f(fields);
            count = 0;
        }
    }
}

// Writes the bytes of `backup` over `name`; true when it did.
bool copy_back(int folder, const char* backup, const char* name) {
    const int from = ::openat(folder, backup, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    const int to = ::openat(folder, name, O_WRONLY | O_TRUNC | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    bool ok = from >= 0 && to >= 0;
    for (ssize_t n = 0; ok && (n = ::read(from, copy_buffer, sizeof copy_buffer)) > 0;) {
        ok = ::write(to, copy_buffer, static_cast<std::size_t>(n)) == n;
    }
    if (from >= 0) ::close(from);
    if (to >= 0) ::close(to);
    return ok;
}

// A name in the folder itself: the list names nothing elsewhere, whoever
// wrote it.
bool plain_name(const char* name) {
    return name[0] != '\0' && std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 &&
           std::strcmp(name, "..") != 0;
}

bool staging_name(const char* name) {
    return plain_name(name) && std::strncmp(name, "vextal-", 7) == 0;
}

// Puts back one output of a dead run; true when that changed the folder.
// `kept`: the backup of an output written in place is whole.
bool recover_output(int folder, bool placed, bool kept, const char* const* f) {
    const char* stage = f[1];
    const char* backup = f[2];
    const char* name = f[4];
    if (!staging_name(stage) || !staging_name(backup) || !plain_name(name)) return false;
    bool changed = ::unlinkat(folder, stage, 0) == 0;
    if (!placed && f[0][0] == kInPlaceRecord) {
        changed = (kept && copy_back(folder, backup, name)) || changed;
    } else if (!placed) {
        if (exists(folder, backup)) {
            changed = ::renameat(folder, backup, folder, name) == 0 || changed;
        } else if (f[3][0] == '0') {
            changed = ::unlinkat(folder, name, 0) == 0 || changed;
        }
    }
    // After the rename too: a put cut between its link and its rename left
    // both names on one file, and the rename kept both.
    return ::unlinkat(folder, backup, 0) == 0 || changed;
}

// Reads the list a dead holder left and puts its outputs back. Only a list
// of this user's own is followed: in a folder that others may write into, a
// list someone else left could name this user's files.
void recover(const LockFile& l, const struct stat& st) {
    if (st.st_uid != ::geteuid()) return;
    std::size_t size = 0;
    for (ssize_t n = 0; size < sizeof journal; size += static_cast<std::size_t>(n)) {
        n = ::pread(l.fd, journal + size, sizeof journal - size, static_cast<off_t>(size));
        if (n <= 0) break;
    }
    if (size == 0) return;
    const char* end = journal + size;
    bool placed = false;
    each_record(journal, end, [&](const char* const* f) {
        if (f[0][0] == kPlacedRecord) placed = true;
    });
    bool any = false;
    each_record(journal, end, [&](const char* const* f) {
        if (f[0][0] != kOutputRecord && f[0][0] != kInPlaceRecord) return;
        bool kept = false;
        each_record(journal, end, [&](const char* const* k) {
            if (k[0][0] == kKeptRecord && std::strcmp(k[1], f[2]) == 0) kept = true;
        });
        any = recover_output(l.folder, placed, kept, f) || any;
    });
    if (any) {
        console_puts(stderr, placed ? "A run that was killed left outputs here; all of them "
                                      "are its new ones now.\n"
                                    : "A run that was killed left outputs here; they are "
                                      "back as they were before it.\n");
    }
}

// A list that cannot be written (a full disk, the file size limit) leaves
// only the recovery undone; after a note cut short nothing more is noted, so
// that no later record is read as part of it.
void append(LockFile& l, const char* text, std::size_t size) {
    while (size > 0 && !l.cut) {
        const ssize_t n = ::write(l.fd, text, size);
        if (n <= 0) l.cut = true;
        if (n <= 0) return;
        text += n;
        size -= static_cast<std::size_t>(n);
    }
}

// A record is written with one call, so that it costs one system call and
// a record cut short is one a dead holder was writing.
char record[4 * kMaxPath];

// Adds a field, its NUL included, to the record being built at `n`.
void put_field(std::size_t& n, const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    if (n + size > sizeof record) {
        n = sizeof record + 1;  // too long to note: nothing is written
        return;
    }
    std::memcpy(record + n, text, size);
    n += size;
}

void append_record(LockFile& l, std::size_t n) {
    if (n > sizeof record) {
        l.cut = true;
        return;
    }
    append(l, record, n);
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
    recover(l, held);
    // This run's notes start the list afresh, or are not made at all.
    l.cut = ::ftruncate(l.fd, 0) != 0;
    return true;
}

void folder_lock_note(SysFile handle, bool in_place, const char* stage, const char* backup,
                      bool existed, const char* name) {
    LockFile& l = locks[handle];
    if (!l.file) return;
    const char kind[2] = {in_place ? kInPlaceRecord : kOutputRecord, '\0'};
    std::size_t n = 0;
    put_field(n, kind);
    put_field(n, stage);
    put_field(n, backup);
    put_field(n, existed ? "1" : "0");
    put_field(n, name);
    append_record(l, n);
}

void folder_lock_note_kept(SysFile handle, const char* backup) {
    LockFile& l = locks[handle];
    const char kind[2] = {kKeptRecord, '\0'};
    if (!l.file) return;
    std::size_t n = 0;
    put_field(n, kind);
    put_field(n, backup);
    append_record(l, n);
}

void folder_lock_note_placed(SysFile handle) {
    LockFile& l = locks[handle];
    const char kind[2] = {kPlacedRecord, '\0'};
    if (l.file) append(l, kind, 2);
}

void folder_lock_close(SysFile handle, bool held) {
    LockFile& l = locks[handle];
    if (held) folder_lock_drop(handle);
    if (l.fd >= 0) ::close(l.fd);
    if (l.folder >= 0) ::close(l.folder);
    l = LockFile{};
}

void folder_lock_drop(SysFile handle) {
    const LockFile& l = locks[handle];
    if (l.file && l.folder >= 0) ::unlinkat(l.folder, kLockName, 0);
}

}  // namespace vextal
