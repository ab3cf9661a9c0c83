#include "common/console.h"

#include <cctype>
#include <cstring>

namespace vextal {

namespace {

// What each standard stream is connected to, found out on its first use.
// What each standard stream is, found out on its first use. Starting as
// "unknown" (not zero), these lie among the program's initialised data,
// which is written at every start anyway, rather than on a page of their own.
struct StreamKind {
    bool unknown = true;
    ConsoleKind kind = ConsoleKind::kBytes;
};
StreamKind out_kind;
StreamKind err_kind;

ConsoleKind kind_of(std::FILE* stream) {
    StreamKind* slot = stream == stdout ? &out_kind : stream == stderr ? &err_kind : nullptr;
    if (slot == nullptr) return ConsoleKind::kBytes;
    if (slot->unknown) {
        slot->kind = console_kind(stream);
        slot->unknown = false;
    }
    return slot->kind;
}

// Latin-1 bytes converted per piece; a UTF-8 character takes at most two.
constexpr std::size_t kPiece = 256;

// The length of the well-formed multi-byte UTF-8 character at `p` (2 to 4),
// or 0. No message of the program's own is one: its Latin-1 letters stand
// between ASCII letters.
std::size_t utf8_length(const char* p, std::size_t available) {
    const auto lead = static_cast<unsigned char>(p[0]);
    std::size_t length = 0;
    unsigned char low = 0x80;  // bounds of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return 0;
    }
    if (available < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(p[k]);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

}  // namespace

bool locale_is_utf8(const char* value) {
    // The character set is the part between '.' and an optional '@'
    // modifier, compared without case and without '-'.
    const char* dot = std::strchr(value, '.');
    if (dot == nullptr) return false;
    char codeset[8] = {};
    std::size_t n = 0;
    for (const char* p = dot + 1; *p != '\0' && *p != '@'; ++p) {
        if (*p == '-') continue;
        if (n == sizeof codeset - 1) return false;
        codeset[n++] = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    }
    return std::strcmp(codeset, "utf8") == 0;
}

std::size_t latin1_to_utf8(const char* text, std::size_t length, char* out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t kept = utf8_length(text + i, length - i);
        if (kept > 0) {
            std::memcpy(out + n, text + i, kept);
            n += kept;
            i += kept - 1;
        } else if (c < 0x80) {
            out[n++] = static_cast<char>(c);
        } else {
            out[n++] = static_cast<char>(0xC0 | (c >> 6));
            out[n++] = static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return n;
}

void console_write(std::FILE* stream, const char* text, std::size_t length) {
    switch (kind_of(stream)) {
        case ConsoleKind::kBytes:
            std::fwrite(text, 1, length, stream);
            break;
        case ConsoleKind::kUtf8Terminal:
            for (std::size_t done = 0, piece = 0; done < length; done += piece) {
                piece = length - done < kPiece ? length - done : kPiece;
                // A piece ends before a byte that may continue a character,
                // so that no UTF-8 character is cut in two.
                for (int k = 0; k < 3 && done + piece < length; ++k) {
                    const auto next = static_cast<unsigned char>(text[done + piece]);
                    if (next < 0x80 || next > 0xBF) break;
                    --piece;
                }
                char converted[2 * kPiece];
                std::fwrite(converted, 1, latin1_to_utf8(text + done, piece, converted), stream);
            }
            break;
        case ConsoleKind::kWideConsole:
            console_write_wide(stream, text, length);
            break;
    }
}

void console_puts(std::FILE* stream, const char* text) {
    console_write(stream, text, std::strlen(text));
}

}  // namespace vextal
