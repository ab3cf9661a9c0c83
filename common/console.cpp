#include "common/console.h"

#include <cctype>
#include <cstring>

#include "text/utf8.h"

namespace vextal {

namespace {

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
    for (std::size_t i = 0; i < length;) {
        const TextChar c = decode_text_char(text + i, length - i);
        if (c.length > 1) {
            std::memcpy(out + n, text + i, c.length);
            n += c.length;
        } else {
            n += encode_utf8(c.code, out + n);
        }
        i += c.length;
    }
    return n;
}

std::size_t console_units(const char* text, std::size_t length, std::size_t& done, char16_t* out,
                          std::size_t room) {
    std::size_t n = 0;
    while (done < length && n + 2 <= room) {
        const TextChar c = decode_text_char(text + done, length - done);
        done += c.length;
        if (c.code == '\n') {
            out[n++] = u'\r';
            out[n++] = u'\n';
        } else if (c.code >= 0x10000) {
            out[n++] = static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10));
            out[n++] = static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        } else {
            out[n++] = static_cast<char16_t>(c.code);
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
