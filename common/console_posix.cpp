#include <unistd.h>

#include <cstdlib>
#include <initializer_list>

#include "common/console.h"

namespace vextal {

namespace {

// The character set of the messages' reader, decided as the C library
// decides it: the first of LC_ALL, LC_CTYPE and LANG that is set and not
// empty. The program never calls setlocale, so the name alone decides, and
// a locale that is not installed is taken at its word.
bool reader_uses_utf8() {
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') return locale_is_utf8(value);
    }
    return false;
}

}  // namespace

bool console_is_terminal(std::FILE* stream) {
    return isatty(stream == stderr ? STDERR_FILENO : STDOUT_FILENO) == 1;
}

ConsoleKind console_kind(std::FILE* stream) {
    // Only the two standard streams are ever asked about.
    const int fd = stream == stderr ? STDERR_FILENO : STDOUT_FILENO;
    if (isatty(fd) == 1 && reader_uses_utf8()) return ConsoleKind::kUtf8Terminal;
    return ConsoleKind::kBytes;
}

// No stream is ever of the wide kind here.
void console_write_wide(std::FILE* stream, const char* text, std::size_t length) {
    std::fwrite(text, 1, length, stream);
}

}  // namespace vextal
