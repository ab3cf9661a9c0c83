#include "text/utf8.h"

namespace vextal {

TextChar decode_text_char(const char* p, std::size_t available) {
    const auto lead = static_cast<unsigned char>(p[0]);
    TextChar latin1{lead, 1};
    std::size_t length = 0;
    unsigned char low = 0x80;  // bounds of the second byte
    unsigned char high = 0xBF;
    uint32_t code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
    } else {
        return latin1;
    }
    if (available < length) return latin1;
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(p[k]);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return latin1;
        code = code << 6 | (c & 0x3Fu);
    }
    return TextChar{code, length};
}

std::size_t encode_utf8(uint32_t code, char* out) {
    auto put = [&](std::size_t at, uint32_t bits) { out[at] = static_cast<char>(bits); };
    if (code < 0x80) {
        put(0, code);
        return 1;
    }
    if (code < 0x800) {
        put(0, 0xC0 | code >> 6);
        put(1, 0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        put(0, 0xE0 | code >> 12);
        put(1, 0x80 | (code >> 6 & 0x3F));
        put(2, 0x80 | (code & 0x3F));
        return 3;
    }
    put(0, 0xF0 | code >> 18);
    put(1, 0x80 | (code >> 12 & 0x3F));
    put(2, 0x80 | (code >> 6 & 0x3F));
    put(3, 0x80 | (code & 0x3F));
    return 4;
}

}  // namespace vextal
