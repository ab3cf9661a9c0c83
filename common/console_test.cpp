#include "common/console.h"

#include <gtest/gtest.h>

#include <string>

namespace vextal {
namespace {

struct Conversion {
    std::string latin1;
    std::string utf8;
};

// Each Latin-1 byte above 0x7F becomes two bytes; a well-formed UTF-8
// character is kept, anything that only looks like the start of one is not.
TEST(Console, Latin1ToUtf8KeepsOnlyWellFormedCharacters) {
    const Conversion cases[] = {
        {"H\xF6he, zul\xE4ssig", "H\xC3\xB6he, zul\xC3\xA4ssig"},
        {"\xFF\x80", "\xC3\xBF\xC2\x80"},
        {"m\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80",
         "m\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"\xC3", "\xC3\x83"},                                      // cut off at the end
        {"\xC3x", "\xC3\x83x"},                                    // not continued
        {"\xC0\x80", "\xC3\x80\xC2\x80"},                          // overlong
        {"\xE0\x80\x80", "\xC3\xA0\xC2\x80\xC2\x80"},              // overlong
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},              // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // beyond U+10FFFF
    };
    for (const auto& c : cases) {
        char out[64];
        const std::size_t n = latin1_to_utf8(c.latin1.data(), c.latin1.size(), out);
        EXPECT_EQ(std::string(out, n), c.utf8) << c.latin1;
    }
}

}  // namespace
}  // namespace vextal
