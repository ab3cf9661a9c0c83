#include <windows.h>

#include "common/console.h"

namespace vextal {

namespace {

HANDLE handle_of(std::FILE* stream) {
    return GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

// Wide characters written per call; a line end takes two.
constexpr std::size_t kPiece = 256;

}  // namespace

// A console shows wide characters right whatever its code page; a handle
// that is no console (a file, a pipe) keeps receiving the bytes as written.
ConsoleKind console_kind(std::FILE* stream) {
    DWORD mode = 0;
    if (GetConsoleMode(handle_of(stream), &mode)) return ConsoleKind::kWideConsole;
    return ConsoleKind::kBytes;
}

bool console_is_terminal(std::FILE* stream) {
    DWORD mode = 0;
    return GetConsoleMode(handle_of(stream), &mode) != 0;
}

void console_write_wide(std::FILE* stream, const char* text, std::size_t length) {
    // What the stream holds still goes first, so the order of lines stays.
    std::fflush(stream);
    const HANDLE handle = handle_of(stream);
    // A console's wide characters are UTF-16 units; a line end is CR LF on
    // the console as in the text-mode stream.
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    char16_t units[2 * kPiece];
    for (std::size_t done = 0; done < length;) {
        const std::size_t n = console_units(text, length, done, units, 2 * kPiece);
        DWORD written = 0;
        WriteConsoleW(handle, reinterpret_cast<const wchar_t*>(units), static_cast<DWORD>(n),
                      &written, nullptr);
    }
}

}  // namespace vextal
