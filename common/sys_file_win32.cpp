#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "common/sys_file.h"

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

enum State : LONG { kFree = 0, kStaged, kPutting, kPut };
enum FileState : LONG { kAbsent = 0, kMaking, kComplete };

// One output. The console control handler runs on a thread of its own; the
// fields it reads are volatile and set before the step they stand for.
struct Output {
    volatile LONG state = kFree;
    volatile LONG stage = kAbsent;
    volatile LONG backup = kAbsent;
    volatile LONG created = 0;
    bool existed = false;
    wchar_t target[kWideSize] = {};
    wchar_t stage_name[kWideSize] = {};
    wchar_t backup_name[kWideSize] = {};
};

Output outputs[kMaxOutputs];
unsigned serial = 0;

Output* slot_output(int slot) {
    if (slot < 0 || slot >= kMaxOutputs || outputs[slot].state == kFree) return nullptr;
    return &outputs[slot];
}

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
bool beside_target(const Output& o, unsigned n, const wchar_t* ext, wchar_t (&name)[kWideSize]) {
    const std::size_t keep = name_start(o.target);
    wchar_t leaf[40];
    std::swprintf(leaf, 40, L"vextal-%u-%u%ls", sys_process_id(), n, ext);
    if (keep + std::wcslen(leaf) + 1 >= kWideSize) return false;
    std::wmemcpy(name, o.target, keep);
    std::wcscpy(name + keep, leaf);
    return long_form(name);
}

void undo(Output& o) {
    if (o.backup == kComplete) {
        MoveFileExW(o.backup_name, o.target, MOVEFILE_REPLACE_EXISTING);
        o.backup = kAbsent;
    } else if (o.created) {
        DeleteFileW(o.target);
    }
    o.created = 0;
}

void remove_files(Output& o) {
    if (o.stage != kAbsent) DeleteFileW(o.stage_name);
    if (o.backup != kAbsent) DeleteFileW(o.backup_name);
    o.stage = kAbsent;
    o.backup = kAbsent;
}

}  // namespace

int sys_output_open(const char* target, SysFile& staging) {
    staging = kNoFile;
    int slot = 0;
    while (slot < kMaxOutputs && outputs[slot].state != kFree) ++slot;
    if (slot == kMaxOutputs) return -1;
    Output& o = outputs[slot];
    o.stage = kAbsent;
    o.backup = kAbsent;
    o.created = 0;
    if (!to_wide(target, o.target)) return -1;
    // The staging file's short name would be created where the target's
    // name part is longer than the file systems take.
    if (std::wcslen(o.target + name_start(o.target)) > kMaxNamePart) return -1;
    const DWORD attributes = GetFileAttributesW(o.target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return -1;
        o.existed = false;
    } else {
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return -1;
        o.existed = true;
    }
    o.state = kStaged;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned n = serial++;
        if (!beside_target(o, n, L".tmp", o.stage_name) ||
            !beside_target(o, n, L".bak", o.backup_name)) {
            break;
        }
        o.stage = kMaking;
        HANDLE h = CreateFileW(o.stage_name, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            o.stage = kComplete;
            staging = reinterpret_cast<SysFile>(h);
            return slot;
        }
        o.stage = kAbsent;
        if (GetLastError() != ERROR_FILE_EXISTS) break;
    }
    o.state = kFree;
    return -1;
}

bool sys_output_undoable(int slot) {
    return slot_output(slot) != nullptr;
}

bool sys_output_put(int slot) {
    Output* p = slot_output(slot);
    if (p == nullptr || p->state != kStaged) return false;
    Output& o = *p;
    o.state = kPutting;
    bool ok = false;
    if (o.existed) {
        // The earlier file keeps its name until the new one takes it, and
        // lends it its attributes; it stays as the backup.
        o.backup = kMaking;
        ok = ReplaceFileW(o.target, o.stage_name, o.backup_name, REPLACEFILE_IGNORE_MERGE_ERRORS,
                          nullptr, nullptr) != 0;
        if (ok) {
            o.stage = kAbsent;
            o.backup = kComplete;
        } else if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
            // The earlier file went to the backup name, the new one stayed.
            MoveFileExW(o.backup_name, o.target, 0);
        }
    } else {
        o.created = 1;
        ok = MoveFileExW(o.stage_name, o.target, 0) != 0;
        if (ok) o.stage = kAbsent;
    }
    if (!ok) {
        undo(o);
        o.state = kStaged;
        return false;
    }
    o.state = kPut;
    return true;
}

void sys_output_undo(int slot) {
    Output* o = slot_output(slot);
    if (o == nullptr || o->state != kPut) return;
    undo(*o);
    o->state = kStaged;
}

void sys_output_release(int slot) {
    Output* o = slot_output(slot);
    if (o == nullptr) return;
    remove_files(*o);
    o->state = kFree;
}

void sys_output_abandon_all() {
    for (Output& o : outputs) {
        if (o.state == kFree) continue;
        if (o.state == kPutting || o.state == kPut) undo(o);
        remove_files(o);
    }
}

}  // namespace vextal
