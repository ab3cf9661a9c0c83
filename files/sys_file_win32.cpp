#include "files/sys_file_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <initializer_list>
#include <type_traits>

#include "files/sys_file.h"

namespace vextal {

namespace {

// Longest path the plain (not "\\?\") form takes, terminating NUL excluded.
constexpr std::size_t kPlainPathMax = MAX_PATH - 1;

bool has_long_prefix(const wchar_t* path) {
    return std::wcsncmp(path, L"\\\\?\\", 4) == 0;
}

}  // namespace

// The "\\?\" form takes full paths only: a relative path is made full first.
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

// Bytes that are not UTF-8 are read in the ANSI code page, as the file
// functions of a program of that code page would.
bool to_wide(const char* name, wchar_t (&path)[kWideSize]) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, path, kWideSize);
    if (n == 0) n = MultiByteToWideChar(CP_ACP, 0, name, -1, path, kWideSize);
    return n > 0 && long_form(path);
}

FileIdentity identity_of(const BY_HANDLE_FILE_INFORMATION& info) {
    return {info.dwVolumeSerialNumber,
            (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
}

namespace {

// The reason kept for the report of a failed file: the system's error code,
// or a text of the program's own. Set on the console handler's thread too,
// so the text is made only when it is asked for.
volatile DWORD kept_error = 0;
const char* volatile kept_reason = nullptr;

// The texts of the common errors as the POSIX build gives them, so that both
// builds report the same; the others in the system's English words.
struct ErrorText {
    DWORD code;
    const char* text;
};
constexpr ErrorText kErrorTexts[] = {
    {ERROR_FILE_NOT_FOUND, "No such file or directory"},
    {ERROR_PATH_NOT_FOUND, "No such file or directory"},
    {ERROR_ACCESS_DENIED, "Permission denied"},
    {ERROR_SHARING_VIOLATION, "Device or resource busy"},
    {ERROR_LOCK_VIOLATION, "Device or resource busy"},
    {ERROR_DISK_FULL, "No space left on device"},
    {ERROR_HANDLE_DISK_FULL, "No space left on device"},
    {ERROR_WRITE_PROTECT, "Read-only file system"},
    {ERROR_FILENAME_EXCED_RANGE, "File name too long"},
    {ERROR_DIRECTORY, "Not a directory"},
    {ERROR_FILE_EXISTS, "File exists"},
    {ERROR_ALREADY_EXISTS, "File exists"},
    {ERROR_BROKEN_PIPE, "Broken pipe"},
    {ERROR_NO_DATA, "Broken pipe"},
};

constexpr char kIsDevice[] = "a device, not a file";

bool ascii_equal(const wchar_t* a, const char* b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        wchar_t c = a[i];
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c != static_cast<unsigned char>(b[i])) return false;
    }
    return true;
}

// Names that Windows takes as a device in every folder and with every
// extension ("COM1", "aux.msm", "NUL .txt"), and the device namespace.
bool names_a_device(const wchar_t* path) {
    if (std::wcsncmp(path, L"\\\\.\\", 4) == 0) return true;
    const wchar_t* name = path + std::wcslen(path);
    while (name > path && name[-1] != L'\\' && name[-1] != L'/' && name[-1] != L':') --name;
    std::size_t base = 0;
    while (name[base] != L'\0' && name[base] != L'.' && name[base] != L' ') ++base;
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"}) {
        if (base == std::strlen(device) && ascii_equal(name, device, base)) return true;
    }
    // COM0 to COM9 and LPT0 to LPT9, the superscript digits included.
    if (base != 4 || !(ascii_equal(name, "COM", 3) || ascii_equal(name, "LPT", 3))) return false;
    const wchar_t digit = name[3];
    return (digit >= L'0' && digit <= L'9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

void sys_keep_failure(const char* reason) {
    kept_reason = reason;
    kept_error = GetLastError();
}

const char* sys_failure_reason() {
    static char text[200];
    if (kept_reason != nullptr) return kept_reason;
    if (kept_error == 0) return "";
    for (const ErrorText& e : kErrorTexts) {
        if (e.code == kept_error) return e.text;
    }
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             kept_error, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text,
                             sizeof text, nullptr);
    if (n == 0) {
        std::snprintf(text, sizeof text, "error %lu", static_cast<unsigned long>(kept_error));
        return text;
    }
    // The system's text ends in ".\r\n".
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.')) --n;
    text[n] = '\0';
    return text;
}

SysFile sys_open_read(const char* path, FileIdentity& identity) {
    wchar_t wide[kWideSize];
    if (!to_wide(path, wide)) {
        sys_keep_failure();
        return kNoFile;
    }
    // A name part longer than the file systems take, as POSIX reports it.
    const wchar_t* part = wide + std::wcslen(wide);
    while (part > wide && part[-1] != L'\\' && part[-1] != L'/') --part;
    if (std::wcslen(part) > kMaxNamePart) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        sys_keep_failure();
        return kNoFile;
    }
    // A console or a serial port would be read for ever.
    if (names_a_device(wide)) {
        sys_keep_failure(kIsDevice);
        return kNoFile;
    }
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened: the same
    // outcome as on POSIX. An input is held until the run ends (so that no
    // output can take its identity); FILE_SHARE_DELETE lets others rename or
    // remove it meanwhile, as on POSIX, and a removed file keeps its
    // identity while the handle is open.
    HANDLE h =
        CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD attributes = GetFileAttributesW(wide);
        const bool folder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (folder) SetLastError(ERROR_SUCCESS);
        sys_keep_failure(folder ? kIsFolder : nullptr);
        return kNoFile;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) == FILE_TYPE_CHAR || !GetFileInformationByHandle(h, &info)) {
        sys_keep_failure(kIsDevice);
        CloseHandle(h);
        return kNoFile;
    }
    identity = identity_of(info);
    return reinterpret_cast<SysFile>(h);
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
            sys_keep_failure();
            return false;
        }
        p += done;
        size -= done;
    }
    return true;
}

SysFile sys_duplicate(SysFile file) {
    HANDLE self = GetCurrentProcess();
    HANDLE copy = nullptr;
    if (DuplicateHandle(self, reinterpret_cast<HANDLE>(file), self, &copy, 0, FALSE,
                        DUPLICATE_SAME_ACCESS) == 0) {
        return kNoFile;
    }
    return reinterpret_cast<SysFile>(copy);
}

bool sys_close(SysFile file) {
    if (CloseHandle(reinterpret_cast<HANDLE>(file)) != 0) return true;
    sys_keep_failure();
    return false;
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

bool copy_file_over(const wchar_t* from, const wchar_t* to, char* buffer, DWORD size) {
    HANDLE in = CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
    if (in == INVALID_HANDLE_VALUE) {
        sys_keep_failure();
        return false;
    }
    HANDLE out = CreateFileW(to, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = out != INVALID_HANDLE_VALUE;
    if (!ok) sys_keep_failure();
    for (DWORD got = 0; ok;) {
        if (!ReadFile(in, buffer, size, &got, nullptr)) {
            sys_keep_failure();
            ok = false;
        } else if (got == 0) {
            break;
        } else {
            ok = sys_write_all(reinterpret_cast<SysFile>(out), buffer, got);
        }
    }
    if (out != INVALID_HANDLE_VALUE && !CloseHandle(out)) ok = false;
    CloseHandle(in);
    return ok;
}

}  // namespace vextal
