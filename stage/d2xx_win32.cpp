#include <windows.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "files/sys_file.h"
#include "stage/d2xx.h"

namespace vextal {

namespace {

constexpr char kLibraryName[] = "FTD2XX.dll";

D2xxSymbol lookup(void* library, const char* name) {
    // GetProcAddress hands out every function under one type; the binder
    // gives each its own type back.
    return reinterpret_cast<D2xxSymbol>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// The system's own text for `code` (126: the module was not found, 193: it
// is not a program of this bitness), in English where Windows has it, else
// in the user's language; written as the messages write a name.
void system_text(DWORD code, char* out, std::size_t size) {
    wchar_t wide[256];
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    DWORD n = FormatMessageW(flags, nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                             wide, 256, nullptr);
    if (n == 0) n = FormatMessageW(flags, nullptr, code, 0, wide, 256, nullptr);
    char utf8[4 * 256];
    const int bytes = n == 0 ? 0
                             : WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(n), utf8,
                                                   sizeof utf8 - 1, nullptr, nullptr);
    utf8[bytes > 0 ? bytes : 0] = '\0';
    if (bytes <= 0) std::strcpy(utf8, "no text for it");
    sys_name_text(utf8, out, size);
}

}  // namespace

bool d2xx_load(D2xxFunctions& table) {
    // By bare name, so that the standard DLL search order applies.
    HMODULE library = LoadLibraryA(kLibraryName);
    if (library == nullptr) {
        const DWORD code = GetLastError();
        std::array<char, 600> reason{};
        const int n = std::snprintf(reason.data(), reason.size(),
                                    "error %lu: ", static_cast<unsigned long>(code));
        system_text(code, reason.data() + n, reason.size() - static_cast<std::size_t>(n));
        d2xx_report(kLibraryName, reason.data());
        return false;
    }
    return d2xx_bind(table, library, lookup, kLibraryName);
}

}  // namespace vextal
