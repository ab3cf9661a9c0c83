// The output slots' file system work on Windows: targets inspected, staged,
// put in place by a replacement or written over, and undone.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <type_traits>

#include "files/folder_lock_win32.h"
#include "files/output_platform.h"
#include "files/sys_file.h"
#include "files/sys_file_win32.h"

namespace vextal {

namespace {

static_assert(std::is_same_v<OutputFlag, LONG>);

// The target of one output slot. The console control handler runs on a
// thread of its own; the fields it reads are volatile and set before the step
// they stand for.
struct Target {
    volatile LONG created = 0;
    volatile LONG written = 0;  // in place: the target has been opened for writing
    bool existed = false;
    bool in_place = false;  // written over the target rather than replaced
    wchar_t target[kWideSize] = {};
    wchar_t stage_name[kWideSize] = {};
    wchar_t backup_name[kWideSize] = {};
};

Target targets[kMaxOutputs];
char copy_buffer[32768];
char handler_copy_buffer[4096];  // the console handler's thread must not share it

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
    t.written = 0;
    t.in_place = false;
    if (!to_wide(target, t.target)) {
        sys_keep_failure();
        return false;
    }
    // The staging file's short name would be created where the target's
    // name part is longer than the file systems take.
    if (std::wcslen(t.target + name_start(t.target)) > kMaxNamePart) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        sys_keep_failure();
        return false;
    }
    const DWORD attributes = GetFileAttributesW(t.target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            sys_keep_failure();
            return false;
        }
        t.existed = false;
        return true;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        sys_keep_failure(kIsFolder);
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetLastError(ERROR_ACCESS_DENIED);
        sys_keep_failure();
        return false;
    }
    t.existed = true;
    // The file's identity and links, by a handle that asks for no access.
    HANDLE h = CreateFileW(t.target, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (known && output_is_input(identity_of(info))) {
        sys_keep_failure(kIsInput);
        return false;
    }
    // Replacing a file with more than one name would split the others off,
    // which keep the earlier bytes: such a file is written over instead.
    t.in_place = known && info.nNumberOfLinks > 1;
    return true;
}

bool sys_target_undoable(int) {
    return true;
}

// A replacement keeps the earlier file by the put itself; a file written in
// place has its earlier bytes copied aside first.
bool sys_target_keep(int slot, OutputSlot& o) {
    const Target& t = targets[slot];
    if (!t.in_place) return true;
    o.backup = OutputSlot::kMaking;
    if (!CopyFileW(t.target, t.backup_name, TRUE)) {
        sys_keep_failure();
        return false;
    }
    o.backup = OutputSlot::kComplete;
    return true;
}

bool sys_target_place(int slot, OutputSlot& o) {
    Target& t = targets[slot];
    if (t.in_place) {
        t.written = 1;
        return copy_file_over(t.stage_name, t.target, copy_buffer, sizeof copy_buffer);
    }
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
        } else {
            sys_keep_failure();
            // The earlier file went to the backup name, the new one stayed.
            if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) {
                MoveFileExW(t.backup_name, t.target, 0);
            }
        }
    } else {
        t.created = 1;
        ok = MoveFileExW(t.stage_name, t.target, 0) != 0;
        if (ok) {
            o.stage = OutputSlot::kAbsent;
        } else {
            sys_keep_failure();
        }
    }
    return ok;
}

void sys_target_restore(int slot, OutputSlot& o, bool in_handler) {
    Target& t = targets[slot];
    if (t.in_place) {
        if (t.written && o.backup == OutputSlot::kComplete) {
            char* buffer = in_handler ? handler_copy_buffer : copy_buffer;
            const DWORD size = in_handler ? sizeof handler_copy_buffer : sizeof copy_buffer;
            copy_file_over(t.backup_name, t.target, buffer, size);
        }
    } else if (o.backup == OutputSlot::kComplete) {
        MoveFileExW(t.backup_name, t.target, MOVEFILE_REPLACE_EXISTING);
        o.backup = OutputSlot::kAbsent;
    } else if (t.created) {
        DeleteFileW(t.target);
    }
    t.created = 0;
    t.written = 0;
}

bool sys_folder_identity(int slot, FileIdentity& folder) {
    const Target& t = targets[slot];
    wchar_t path[kWideSize];
    const std::size_t keep = name_start(t.target);
    std::wmemcpy(path, t.target, keep);
    path[keep] = L'\0';
    if (keep == 0) std::wcscpy(path, L".");
    HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const bool known = h != INVALID_HANDLE_VALUE && GetFileInformationByHandle(h, &info);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (known) folder = identity_of(info);
    return known;
}

bool sys_folder_lock_open(int slot, const FileIdentity& folder, SysFile& handle) {
    const wchar_t* target = targets[slot].target;
    return folder_lock_open(folder, target, name_start(target), handle);
}

bool sys_folder_try_lock(SysFile handle) {
    return folder_lock_try(handle);
}

void sys_folder_unlock(SysFile handle, bool held) {
    folder_lock_close(handle, held);
}

void sys_folder_note(SysFile handle, int slot) {
    const Target& t = targets[slot];
    folder_lock_note(handle, t.in_place, t.stage_name, t.backup_name, t.existed, t.target);
}

void sys_folder_note_kept(SysFile handle, int slot) {
    const Target& t = targets[slot];
    if (t.in_place) folder_lock_note_kept(handle, t.backup_name);
}

void sys_folder_note_placed(SysFile handle) {
    folder_lock_note_placed(handle);
}

void sys_folder_drop(SysFile handle) {
    folder_lock_drop(handle);
}

void sys_pause_ms(unsigned ms) {
    Sleep(ms);
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
        // Kept too: where every name is taken (a device's namespace, as in
        // "COM1:", takes none), it is why the output fails.
        sys_keep_failure();
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
