#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "files/output_platform.h"
#include "files/sys_file.h"

namespace vextal {

namespace {

// Room of a name in UTF-16 units: the longest UTF-8 name the program builds,
// made a full path with the long-path prefix.
constexpr std::size_t kWideSize = 4096 + 1024;
// Longest path the plain (not "\\?\") form takes, terminating NUL excluded.
constexpr std::size_t kPlainPathMax = MAX_PATH - 1;
// Longest name part, in UTF-16 units, that the Windows file systems take.
constexpr std::size_t kMaxNamePart = 255;

bool has_long_prefix(const wchar_t* path) {
    return std::wcsncmp(path, L"\\\\?\\", 4) == 0;
}

// Gives a path too long for the plain form the "\\?\" form, which takes full
// paths only: a relative path is made full first.
bool long_form(wchar_t (&path)[kWideSize]) {
    if (std::wcslen(path) <= kPlainPathMax || has_long_prefix(path)) return true;
    wchar_t full[kWideSize];
    DWORD len = GetFullPathNameW(path, kWideSize, full, nullptr);
    if (len == 0 || len + 8 >= kWideSize) return false;
    // "\\server\share\..." becomes "\\?\UNC\server\share\...".
    const bool unc = full[0] == L'\\' && full[1] == L'\\';
    std::wcscpy(path, unc ? L"\\\\?\\UNC\\" : L"\\\\?\\");
    std::wcscat(path, unc ? full + 2 : full);
    return true;
}

// A program name as Windows takes it: UTF-8 converted, with the long-path
// form where it needs it. Bytes that are not UTF-8 are read in the ANSI code
// page, as the file functions of a program of that code page would.
bool to_wide(const char* name, wchar_t (&path)[kWideSize]) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, path, kWideSize);
    if (n == 0) n = MultiByteToWideChar(CP_ACP, 0, name, -1, path, kWideSize);
    return n > 0 && long_form(path);
}

}  // namespace

SysFile sys_open_read(const char* path) {
    wchar_t wide[kWideSize];
    if (!to_wide(path, wide)) return kNoFile;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened: the same
    // outcome as on POSIX.
    HANDLE h = CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<SysFile>(h);
}

long sys_read(SysFile file, void* buffer, std::size_t size) {
    DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file), buffer, want, &got, nullptr)) return -1;
    return static_cast<long>(got);
}

bool sys_write_all(SysFile file, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD done = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(file), p, chunk, &done, nullptr) || done == 0) {
            return false;
        }
        p += done;
        size -= done;
    }
    return true;
}

bool sys_close(SysFile file) {
    return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0;
}

namespace {

// The volume and the file index tell a file apart from every other, whatever
// the name's case or the path by which it is reached.
bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    wchar_t wide[kWideSize];
    if (!to_wide(path, wide)) return false;
    HANDLE h = CreateFileW(wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool sys_same_file(const char* a, const char* b) {
    BY_HANDLE_FILE_INFORMATION ia{};
    BY_HANDLE_FILE_INFORMATION ib{};
    if (!file_identity(a, ia) || !file_identity(b, ib)) return false;
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

unsigned sys_process_id() {
    return static_cast<unsigned>(GetCurrentProcessId());
}

bool sys_name_holds(const char* name, const char* part) {
    auto folded = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const std::size_t n = std::strlen(part);
    for (; *name != '\0'; ++name) {
        std::size_t i = 0;
        while (i < n && name[i] != '\0' && folded(name[i]) == folded(part[i])) ++i;
        if (i == n) return true;
    }
    return n == 0;
}

// A name is written as Latin-1 when every character of it is within Latin-1,
// so that the bytes stay those of earlier builds for such names; any other
// name is written as its UTF-8 bytes (and so are bytes that are not UTF-8).
std::size_t sys_name_text(const char* name, char* out, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(name);
    bool latin1 = true;
    for (std::size_t i = 0; p[i] != 0 && latin1; ++i) {
        if (p[i] < 0x80) continue;
        latin1 = (p[i] == 0xC2 || p[i] == 0xC3) && (p[i + 1] & 0xC0) == 0x80;
        ++i;
    }
    std::size_t n = 0;
    if (latin1) {
        for (std::size_t i = 0; p[i] != 0 && n + 1 < size; ++i, ++n) {
            out[n] =
                static_cast<char>(p[i] < 0x80 ? p[i] : ((p[i] & 0x03) << 6) | (p[i + 1] & 0x3F));
            if (p[i] >= 0x80) ++i;
        }
    } else {
        // Cut before a character that does not fit whole.
        std::size_t whole = 0;
        for (std::size_t i = 0; p[i] != 0 && i + 1 < size; ++i) {
            if ((p[i] & 0xC0) != 0x80) whole = i;
            out[i] = static_cast<char>(p[i]);
            n = i + 1;
        }
        if (p[n] != 0 && (p[n] & 0xC0) == 0x80) n = whole;
    }
    out[n] = '\0';
    return n;
}

// ---- outputs ----

namespace {

static_assert(std::is_same_v<OutputFlag, LONG>);

// The target of one output slot. The console control handler runs on a
// thread of its own; the fields it reads are volatile and set before the step
// they stand for.
struct Target {
    volatile LONG created = 0;
    bool existed = false;
    wchar_t target[kWideSize] = {};
    wchar_t stage_name[kWideSize] = {};
    wchar_t backup_name[kWideSize] = {};
};

Target targets[kMaxOutputs];

// Where the last name part of `path` starts.
std::size_t name_start(const wchar_t* path) {
    std::size_t start = std::wcslen(path);
    while (start > 0 && path[start - 1] != L'\\' && path[start - 1] != L'/' &&
           path[start - 1] != L':') {
        --start;
    }
    return start;
}

// "<target's folder>\vextal-<pid>-<n><ext>": short, whatever the target's name.
bool beside_target(const Target& t, unsigned n, const wchar_t* ext, wchar_t (&name)[kWideSize]) {
    const std::size_t keep = name_start(t.target);
    wchar_t leaf[40];
    std::swprintf(leaf, 40, L"vextal-%u-%u%ls", sys_process_id(), n, ext);
    if (keep + std::wcslen(leaf) + 1 >= kWideSize) return false;
    std::wmemcpy(name, t.target, keep);
    std::wcscpy(name + keep, leaf);
    return long_form(name);
}

}  // namespace

bool sys_target_open(int slot, const char* target) {
    Target& t = targets[slot];
    t.created = 0;
    if (!to_wide(target, t.target)) return false;
    // The staging file's short name would be created where the target's
    // name part is longer than the file systems take.
    if (std::wcslen(t.target + name_start(t.target)) > kMaxNamePart) return false;
    const DWORD attributes = GetFileAttributesW(t.target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
        t.existed = false;
    } else {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
        t.existed = true;
    }
    return true;
}

bool sys_target_undoable(int) {
    return true;
}

// The earlier file is kept by the put itself.
bool sys_target_keep(int, OutputSlot&) {
    return true;
}

bool sys_target_place(int slot, OutputSlot& o) {
    Target& t = targets[slot];
    bool ok = false;
    if (t.existed) {
        // The earlier file keeps its name until the new one takes it, and
        // lends it its attributes; it stays as the backup.
        o.backup = OutputSlot::kMaking;
        ok = ReplaceFileW(t.target, t.stage_name, t.backup_name, REPLACEFILE_IGNORE_MERGE_ERRORS,
                          nullptr, nullptr) != 0;
        if (ok) {
            o.stage = OutputSlot::kAbsent;
            o.backup = OutputSlot::kComplete;
        } else if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The earlier file went to the backup name, the new one stayed.
            MoveFileExW(t.backup_name, t.target, 0);
        }
    } else {
        t.created = 1;
        ok = MoveFileExW(t.stage_name, t.target, 0) != 0;
        if (ok) o.stage = OutputSlot::kAbsent;
    }
    return ok;
}

void sys_target_restore(int slot, OutputSlot& o, bool) {
    Target& t = targets[slot];
    if (o.backup == OutputSlot::kComplete) {
        MoveFileExW(t.backup_name, t.target, MOVEFILE_REPLACE_EXISTING);
        o.backup = OutputSlot::kAbsent;
    } else if (t.created) {
        DeleteFileW(t.target);
    }
    t.created = 0;
}

void sys_target_close(int) {}

bool sys_stage_name(int slot, unsigned serial) {
    Target& t = targets[slot];
    return beside_target(t, serial, L".tmp", t.stage_name) &&
           beside_target(t, serial, L".bak", t.backup_name);
}

StageOutcome sys_stage_create(int slot, SysFile& staging) {
    HANDLE h = CreateFileW(targets[slot].stage_name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return GetLastError() == ERROR_FILE_EXISTS ? StageOutcome::kNameTaken
                                                   : StageOutcome::kFailed;
    }
    staging = reinterpret_cast<SysFile>(h);
    return StageOutcome::kCreated;
}

void sys_stage_remove(int slot) {
    DeleteFileW(targets[slot].stage_name);
}

void sys_backup_remove(int slot) {
    DeleteFileW(targets[slot].backup_name);
}

}  // namespace vextal
