#include <windows.h>

#include "common/sys_file.h"

namespace vextal {

SysFile sys_open_read(const char* path) {
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened: the same
    // outcome as on POSIX.
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<SysFile>(h);
}

SysFile sys_create_new(const char* path) {
    HANDLE h = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
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

bool sys_close(SysFile file) { return CloseHandle(reinterpret_cast<HANDLE>(file)) != 0; }

bool sys_replace(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) != 0;
}

void sys_remove(const char* path) { DeleteFileA(path); }

bool sys_target_writable(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    return (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

namespace {

// The volume and the file index tell a file apart from every other, whatever
// the name's case or the path by which it is reached.
bool file_identity(const char* path, BY_HANDLE_FILE_INFORMATION& info) {
    HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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

unsigned sys_process_id() { return static_cast<unsigned>(GetCurrentProcessId()); }

}  // namespace vextal
