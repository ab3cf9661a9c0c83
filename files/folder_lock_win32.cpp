// The lock of a folder between runs on Windows. A mutex named by the
// folder's identity keeps two runs on one machine apart; the system gives it
// up when its holder ends, however it ends. Its holder also keeps the file
// vextal.lock in the folder, taken with LockFileEx (which keeps apart runs
// on machines that share the folder), with the run's list of its outputs
// there (files/folder_journal.h): a run ended by TerminateProcess or a power
// cut leaves it, and the next run that takes the lock follows it.
#include "files/folder_lock_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "files/folder_journal.h"
#include "files/output_slots.h"
#include "files/sys_file_win32.h"

namespace vextal {

namespace {

constexpr wchar_t kLockName[] = L"vextal.lock";
// Longest name part in UTF-8: three bytes for each UTF-16 unit.
constexpr std::size_t kLeafSize = 3 * kMaxNamePart + 1;

struct LockFile {
    HANDLE mutex = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;  // the lock file, while the lock is held
    bool cut = false;                    // a note could not be written whole: no more follow
    bool keep = false;                   // another user's list, left for that user's next run
    std::size_t folder_length = 0;
    wchar_t folder[kWideSize] = {};  // the folder's part of a path, for names in it
};
LockFile locks[kMaxOutputs];
char journal[kJournalSize];
JournalRecord record;
char copy_buffer[4096];
char leaves[3][kLeafSize];

// The path of `name` (UTF-16) in the lock's folder.
bool path_in(const LockFile& l, const wchar_t* name, wchar_t (&path)[kWideSize]) {
    const std::size_t n = std::wcslen(name);
    if (l.folder_length + n + 1 > kWideSize) return false;
    std::wmemcpy(path, l.folder, l.folder_length);
    std::wmemcpy(path + l.folder_length, name, n + 1);
    return long_form(path);
}

// The path of a name of the list (UTF-8), which holds no separator or drive.
bool listed_path(int lock, const char* name, wchar_t (&path)[kWideSize]) {
    wchar_t wide[kMaxNamePart + 1];
    if (std::strpbrk(name, "\\:") != nullptr ||
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide, kMaxNamePart + 1) == 0) {
        return false;
    }
    return path_in(locks[lock], wide, path);
}

// The last name part of `path` in UTF-8; false where it has none (a lone
// surrogate), and then the output goes without notes.
bool leaf_of(const wchar_t* path, char (&leaf)[kLeafSize]) {
    const wchar_t* start = path + std::wcslen(path);
    while (start > path && start[-1] != L'\\' && start[-1] != L'/' && start[-1] != L':') --start;
    return WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, start, -1, leaf, kLeafSize, nullptr,
                               nullptr) > 0;
}

// A SID of this process's token: its user's, or the owner its new files get
// (the administrators' group for an elevated process on Windows, a group
// under wine).
bool token_sid(HANDLE token, TOKEN_INFORMATION_CLASS which, unsigned char (&buffer)[256],
               PSID& sid) {
    DWORD size = 0;
    if (!GetTokenInformation(token, which, buffer, sizeof buffer, &size)) return false;
    sid = which == TokenUser ? reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid
                             : reinterpret_cast<TOKEN_OWNER*>(buffer)->Owner;
    return true;
}

// Whether the lock file was made by this user: in a folder that others may
// write into, a list someone else left could name this user's files.
bool made_by_this_user(HANDLE file) {
    alignas(SECURITY_DESCRIPTOR) unsigned char descriptor[1024];
    DWORD size = 0;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetKernelObjectSecurity(file, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                                 &size) ||
        !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr) {
        return false;
    }
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    bool same = false;
    for (const TOKEN_INFORMATION_CLASS which : {TokenUser, TokenOwner}) {
        alignas(TOKEN_USER) unsigned char buffer[256];
        PSID mine = nullptr;
        if (!same && token_sid(token, which, buffer, mine)) same = EqualSid(owner, mine) != 0;
    }
    CloseHandle(token);
    return same;
}

// Reads the list a dead holder left, puts its outputs back, and starts this
// run's list afresh (or makes no notes, where it cannot be emptied).
void recover(int lock) {
    LockFile& l = locks[lock];
    DWORD size = 0;
    for (DWORD got = 0; size < sizeof journal; size += got) {
        if (!ReadFile(l.file, journal + size, sizeof journal - size, &got, nullptr) || got == 0) {
            break;
        }
    }
    if (size == 0) return;
    // Another user's list stays for that user's next run, and this run's
    // outputs go without notes.
    l.keep = !made_by_this_user(l.file);
    if (!l.keep) journal_recover(lock, journal, size);
    l.cut = l.keep || SetFilePointer(l.file, 0, nullptr, FILE_BEGIN) != 0 || !SetEndOfFile(l.file);
}

// The lock file, where the folder takes one; where it does not (a folder the
// user may not write), the mutex alone keeps runs apart and nothing is noted.
void open_lock_file(LockFile& l) {
    wchar_t path[kWideSize];
    l.cut = false;
    l.keep = false;
    l.file = INVALID_HANDLE_VALUE;
    if (!path_in(l, kLockName, path)) return;
    l.file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// After a note cut short nothing more is noted, so that no later record is
// read as part of it. One record, one call: a record cut short is one a dead
// holder was writing.
void append(LockFile& l, std::size_t size) {
    if (l.file == INVALID_HANDLE_VALUE || l.cut) return;
    DWORD done = 0;
    if (size == 0 || !WriteFile(l.file, record, static_cast<DWORD>(size), &done, nullptr) ||
        done != size) {
        l.cut = true;
    }
}

// A lock file that cannot be removed (where the user may make files but
// not delete them) is left empty: the list of a run that ended asks nothing
// of the next.
void remove_lock_file(const LockFile& l) {
    wchar_t path[kWideSize];
    if (path_in(l, kLockName, path) && DeleteFileW(path)) return;
    if (SetFilePointer(l.file, 0, nullptr, FILE_BEGIN) == 0) SetEndOfFile(l.file);
}

}  // namespace

bool folder_lock_open(const FileIdentity& folder, const wchar_t* path, std::size_t length,
                      SysFile& handle) {
    int i = 0;
    while (i < kMaxOutputs && locks[i].mutex != nullptr) ++i;
    if (i == kMaxOutputs || length >= kWideSize) return false;
    LockFile& l = locks[i];
    wchar_t name[80];
    for (const wchar_t* space : {L"Global", L"Local"}) {
        std::swprintf(name, 80, L"%ls\\vextal-folder-%llx-%llx", space,
                      static_cast<unsigned long long>(folder.volume),
                      static_cast<unsigned long long>(folder.index));
        l.mutex = CreateMutexW(nullptr, FALSE, name);
        if (l.mutex != nullptr) break;
    }
    if (l.mutex == nullptr) return false;
    std::wmemcpy(l.folder, path, length);
    l.folder[length] = L'\0';
    l.folder_length = length;
    handle = i;
    return true;
}

bool folder_lock_try(SysFile handle) {
    LockFile& l = locks[handle];
    const DWORD result = WaitForSingleObject(l.mutex, 0);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) return false;
    open_lock_file(l);
    if (l.file == INVALID_HANDLE_VALUE) return true;
    OVERLAPPED whole{};
    // A name that leads to a device ("NUL:x") keeps no list.
    const bool disk = GetFileType(l.file) == FILE_TYPE_DISK;
    if (disk && LockFileEx(l.file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD,
                           MAXDWORD, &whole)) {
        recover(static_cast<int>(handle));
        return true;
    }
    // Held by a run on another machine that shares the folder: that run is
    // waited for. A file system that takes no locks keeps no list.
    const bool held_elsewhere = disk && GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(l.file);
    l.file = INVALID_HANDLE_VALUE;
    if (held_elsewhere) ReleaseMutex(l.mutex);
    return !held_elsewhere;
}

void folder_lock_note(SysFile handle, bool in_place, const wchar_t* stage, const wchar_t* backup,
                      bool existed, const wchar_t* name) {
    LockFile& l = locks[handle];
    if (!leaf_of(stage, leaves[0]) || !leaf_of(backup, leaves[1]) || !leaf_of(name, leaves[2])) {
        l.cut = true;
        return;
    }
    append(l, journal_output(record, in_place, leaves[0], leaves[1], existed, leaves[2]));
}

void folder_lock_note_kept(SysFile handle, const wchar_t* backup) {
    LockFile& l = locks[handle];
    if (!leaf_of(backup, leaves[1])) l.cut = true;
    append(l, journal_kept(record, leaves[1]));
}

void folder_lock_note_placed(SysFile handle) {
    append(locks[handle], journal_placed(record));
}

// The lock file goes while the mutex is still held, so that the next run on
// this machine makes a new one.
void folder_lock_close(SysFile handle, bool held) {
    LockFile& l = locks[handle];
    if (l.file != INVALID_HANDLE_VALUE) {
        if (!l.keep) remove_lock_file(l);
        CloseHandle(l.file);
    }
    if (held) ReleaseMutex(l.mutex);
    CloseHandle(l.mutex);
    l.mutex = nullptr;
    l.file = INVALID_HANDLE_VALUE;
}

// The outputs are already put back: an empty list asks nothing of a run that
// opens the lock file before the system has removed it.
void folder_lock_drop(SysFile handle) {
    LockFile& l = locks[handle];
    if (l.file == INVALID_HANDLE_VALUE || l.keep) return;
    l.cut = true;
    if (SetFilePointer(l.file, 0, nullptr, FILE_BEGIN) == 0) SetEndOfFile(l.file);
    remove_lock_file(l);
}

bool journal_remove(int lock, const char* name) {
    wchar_t path[kWideSize];
    return listed_path(lock, name, path) && DeleteFileW(path) != 0;
}

bool journal_exists(int lock, const char* name) {
    wchar_t path[kWideSize];
    return listed_path(lock, name, path) && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool journal_rename(int lock, const char* from, const char* to) {
    wchar_t a[kWideSize];
    wchar_t b[kWideSize];
    return listed_path(lock, from, a) && listed_path(lock, to, b) &&
           MoveFileExW(a, b, MOVEFILE_REPLACE_EXISTING) != 0;
}

bool journal_copy_back(int lock, const char* from, const char* to) {
    wchar_t a[kWideSize];
    wchar_t b[kWideSize];
    return listed_path(lock, from, a) && listed_path(lock, to, b) &&
           copy_file_over(a, b, copy_buffer, sizeof copy_buffer);
}

}  // namespace vextal
