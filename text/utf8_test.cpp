#include "text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace vextal {
namespace {

// A well-formed UTF-8 character is one character; every byte of anything
// else is a Latin-1 character of its own.
TEST(Utf8, DecodesWellFormedCharactersAndLatin1Otherwise) {
    const struct {
        std::string bytes;
        uint32_t code;
        std::size_t length;
    } cases[] = {
        {"a", 'a', 1},
        {"\xC3\xBC", 0xFC, 2},              // u umlaut
        {"\xC2\x80", 0x80, 2},              // the lowest two-byte character
        {"\xC5\x81", 0x141, 2},             // L with stroke
        {"\xE2\x82\xAC", 0x20AC, 3},        // euro sign
        {"\xEF\xBF\xBF", 0xFFFF, 3},        // the highest three-byte character
        {"\xF0\x9F\x98\x80", 0x1F600, 4},   // beyond the 16-bit range
        {"\xF4\x8F\xBF\xBF", 0x10FFFF, 4},  // the last code point
        {"\xFC", 0xFC, 1},                  // a Latin-1 u umlaut
        {"\xC3", 0xC3, 1},                  // cut off at the end
        {"\xC3x", 0xC3, 1},                 // not continued
        {"\xC0\x80", 0xC0, 1},              // overlong
        {"\xE0\x9F\xBF", 0xE0, 1},          // overlong
        {"\xED\xA0\x80", 0xED, 1},          // a surrogate
        {"\xF4\x90\x80\x80", 0xF4, 1},      // beyond U+10FFFF
        {"\xE2\x82", 0xE2, 1},              // three bytes announced, two given
        {"\x80", 0x80, 1},                  // a lone continuation byte
    };
    for (const auto& c : cases) {
        const TextChar t = decode_text_char(c.bytes.data(), c.bytes.size());
        EXPECT_EQ(t.code, c.code) << c.bytes;
        EXPECT_EQ(t.length, c.length) << c.bytes;
    }
}

TEST(Utf8, EncodesEveryLengthAndReadsItBack) {
    for (const uint32_t code :
         {0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFDu, 0x10000u, 0x10FFFFu}) {
        char out[4];
        const std::size_t n = encode_utf8(code, out);
        EXPECT_EQ(n, code < 0x80 ? 1u : code < 0x800 ? 2u : code < 0x10000 ? 3u : 4u) << code;
        const TextChar t = decode_text_char(out, n);
        EXPECT_EQ(t.code, code);
        EXPECT_EQ(t.length, n);
    }
}

}  // namespace
}  // namespace vextal
