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

void console_write_wide(std::FILE* stream, const char* text, std::size_t length) {
    // What the stream holds still goes first, so the order of lines stays.
    std::fflush(stream);
    const HANDLE handle = handle_of(stream);
    wchar_t wide[2 * kPiece];
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
        // Latin-1 is the first 256 code points; a line end is CR LF on the
        // console as in the text-mode stream.
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\n') wide[n++] = L'\r';
        wide[n++] = static_cast<wchar_t>(c);
        if (n >= 2 * kPiece - 1 || i + 1 == length) {
            DWORD written = 0;
            WriteConsoleW(handle, wide, static_cast<DWORD>(n), &written, nullptr);
            n = 0;
        }
    }
}

}  // namespace vextal
