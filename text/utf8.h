// Text as people give it: names and comments are UTF-8 where their bytes are
// well-formed UTF-8, and Latin-1 byte by byte where they are not (names of
// older systems), so that both kinds keep showing right.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

/// One character of such text: its code point and the bytes it takes.
struct TextChar {
    uint32_t code;
    std::size_t length;
};

/// The character at `p` (`available` bytes, at least one): a well-formed
/// multi-byte UTF-8 character (no overlong form, no surrogate, nothing
/// beyond U+10FFFF) gives its code point and length 2 to 4; any other byte
/// gives itself as a Latin-1 character of length 1.
TextChar decode_text_char(const char* p, std::size_t available);

/// Writes `code` (at most U+10FFFF) as UTF-8 into `out`, which holds at
/// least four bytes; returns the number of bytes written.
std::size_t encode_utf8(uint32_t code, char* out);

}  // namespace vextal
