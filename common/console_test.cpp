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

// What a Windows console is given: the messages' own Latin-1 letters and
// names in either form show as the characters they stand for, whatever the
// console's code page.
TEST(Console, WideConsoleUnitsShowNamesAndMessagesRight) {
    const struct {
        const char* what;
        std::string text;
        std::u16string units;
    } cases[] = {
        {"own message", "Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs\n",
         u"Anzahl Schritte ausserhalb des zul\u00E4ssigen Bereichs\r\n"},
        {"name beyond Latin-1", "Unbekannte Option: -x\xE2\x82\xAC\n",
         u"Unbekannte Option: -x\u20AC\r\n"},
        {"Polish name",
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA.msm",
         u"\u0141\u00F3d\u017A.msm"},
        {"Latin-1 name", "M\xFCller.csv", u"M\u00FCller.csv"},
        {"surrogate pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        {"not UTF-8", "\xE2\x82 \xC3", u"\u00E2\u0082 \u00C3"},
    };
    for (const auto& c : cases) {
        char16_t out[64];
        std::size_t done = 0;
        const std::size_t n = console_units(c.text.data(), c.text.size(), done, out, 64);
        EXPECT_EQ(std::u16string(out, n), c.units) << c.what;
        EXPECT_EQ(done, c.text.size()) << c.what;
    }
}

// A piece that is full ends before a character that does not fit whole.
TEST(Console, WideConsolePiecesEndBetweenCharacters) {
    const std::string text = "a\n\xF0\x9F\x98\x80";
    char16_t out[3];
    std::size_t done = 0;
    EXPECT_EQ(console_units(text.data(), text.size(), done, out, 3), 3u);  // a, CR LF
    EXPECT_EQ(done, 2u);
    EXPECT_EQ(console_units(text.data(), text.size(), done, out, 3), 2u);  // the pair
    EXPECT_EQ(done, text.size());
}

}  // namespace
}  // namespace vextal
