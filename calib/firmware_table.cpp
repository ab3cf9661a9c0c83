// Reading a firmware table as the C compiler reads the file that the firmware
// includes in its array initialiser, in three layers: the bytes become lines
// (a BOM at the start dropped; LF, CR LF and a CR alone end a line), a
// backslash at a line's end joins it to the next, and what is left is read as
// the list in braces: integer literals of C, comments and white space.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "calib/calibration.h"
#include "common/error_exit.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/line_reader.h"

namespace vextal {
namespace {

/// Characters of a literal quoted in a message; a longer one ends in "...".
constexpr std::size_t kShownLiteral = 24;
constexpr uint64_t kInt32Max = 2147483647;
constexpr uint64_t kInt64Max = 9223372036854775807u;

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// A character that continues a number for the compiler: a number runs on
// through letters, digits, '_' and '.' (and a sign after an exponent's
// letter), and is then an integer or an error.
bool continues_number(char c) {
    return is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '.';
}

int digit_value(char c) {
    if (is_digit(c)) return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The suffixes C gives an integer: u and one of l or ll, in either order,
// each in either case but ll not mixed ("lL" is none).
bool read_suffix(const char* s, bool& is_unsigned, int& longs) {
    is_unsigned = false;
    longs = 0;
    for (int part = 0; part < 2 && *s != '\0'; ++part) {
        if ((*s == 'u' || *s == 'U') && !is_unsigned) {
            is_unsigned = true;
            ++s;
        } else if ((*s == 'l' || *s == 'L') && longs == 0) {
            longs = s[1] == s[0] ? 2 : 1;
            s += longs;
        } else {
            return false;
        }
    }
    return *s == '\0';
}

// The list in braces, character by character after the line splices.
class TableParser {
  public:
    TableParser(const char* path, FirmwareTable& table) : path_(path), table_(table) {}

    /// The physical line that the characters now given come from.
    unsigned long line = 1;

    void take(char c) {
        if (in_comment(c)) return;
        if (state_ == kInLiteral) {
            if (continues_number(c) || ((c == '+' || c == '-') && exponent_)) {
                literal_char(c);
                return;
            }
            end_literal();
        }
        if (is_blank(c) || c == '\n') return;
        switch (state_) {
            case kBeforeList:
                if (c != '{') fail("expected the '{' that opens the table");
                state_ = kBeforeEntry;
                break;
            case kBeforeEntry:
            case kAfterComma:
                if (c == '}' && state_ == kAfterComma) {
                    state_ = kAfterList;
                } else if (c == '}' && table_.count == 0) {
                    fail("the table holds no entries");
                } else {
                    start_entry(c);
                }
                break;
            case kAfterSign:
                if (!is_digit(c)) fail("expected a digit");
                start_literal(c);
                break;
            case kInLiteral:
                break;  // ended above
            case kAfterEntry:
                if (c == ',') {
                    state_ = kAfterComma;
                } else if (c == '}') {
                    state_ = kAfterList;
                } else {
                    fail("expected ',' or '}' after an entry");
                }
                break;
            case kAfterList:
                if (c != ';' || semicolon_) fail("text after the table's closing '}'");
                semicolon_ = true;
                break;
        }
    }

    void finish() {
        if (state_ == kInLiteral) end_literal();
        if (state_ == kAfterSign) fail("expected a digit");
        if (comment_ == kBlock || comment_ == kBlockStar) fail("a comment that is not closed");
        if (comment_ == kSlash) fail("a '/' that starts no comment");
        if (state_ == kBeforeList) fail("no table: expected a list of integers in braces");
        if (state_ != kAfterList) fail("the table is not closed by '}'");
    }

    [[noreturn]] void fail(const char* what) const {
        char message[kMaxPath + 160];
        std::snprintf(message, sizeof message, "%s, line %lu: %s", shown_name(path_).text.data(),
                      line, what);
        error_exit(message, kExitError);
    }

  private:
    enum State {
        kBeforeList,
        kBeforeEntry,
        kAfterSign,
        kInLiteral,
        kAfterEntry,
        kAfterComma,
        kAfterList
    };
    enum Comment { kNone, kSlash, kLine, kBlock, kBlockStar };

    // Follows // and /* */ comments; true while `c` belongs to one.
    bool in_comment(char c) {
        switch (comment_) {
            case kLine:
                if (c == '\n') comment_ = kNone;
                return true;
            case kBlock:
                if (c == '*') comment_ = kBlockStar;
                return true;
            case kBlockStar:
                comment_ = c == '/' ? kNone : (c == '*' ? kBlockStar : kBlock);
                return true;
            case kSlash:
                if (c == '/' || c == '*') {
                    comment_ = c == '/' ? kLine : kBlock;
                    return true;
                }
                fail("a '/' that starts no comment");
            case kNone:
                if (c != '/') return false;
                if (state_ == kInLiteral) end_literal();
                comment_ = kSlash;
                return true;
        }
        return false;
    }

    void start_entry(char c) {
        if (table_.count >= kMaxTableEntries) fail("more than 4096 entries");
        negative_ = c == '-';
        if (c == '-' || c == '+') {
            state_ = kAfterSign;
            return;
        }
        if (!is_digit(c)) fail("expected an integer");
        start_literal(c);
    }

    void start_literal(char c) {
        state_ = kInLiteral;
        shown_ = 0;
        length_ = 0;
        suffix_length_ = 0;
        has_digits_ = false;
        magnitude_ = 0;
        base_ = c == '0' ? 8 : 10;
        too_large_ = false;
        octal_digit_ = true;
        literal_char(c);
    }

    void literal_char(char c) {
        // As for the compiler, "1e+5" and "0x1e+5" are one number each.
        exponent_ = c == 'e' || c == 'E' || c == 'p' || c == 'P';
        if (shown_ < kShownLiteral) shown_text_[shown_++] = c;
        ++length_;
        if (length_ == 2 && base_ == 8 && (c == 'x' || c == 'X')) {
            base_ = 16;
            has_digits_ = false;
            return;
        }
        const int d = digit_value(c);
        if (suffix_length_ == 0 && d >= 0 && d < (base_ == 16 ? 16 : 10)) {
            if (d >= base_) octal_digit_ = false;
            const auto b = static_cast<uint64_t>(base_);
            const auto v = static_cast<uint64_t>(d);
            if (magnitude_ > (UINT64_MAX - v) / b) too_large_ = true;
            magnitude_ = magnitude_ * b + v;
            has_digits_ = true;
            return;
        }
        if (suffix_length_ < sizeof suffix_ - 1) suffix_[suffix_length_] = c;
        ++suffix_length_;
    }

    // The literal's value in the initialiser of the firmware's array.
    void end_literal() {
        bool is_unsigned = false;
        int longs = 0;
        suffix_[suffix_length_ < sizeof suffix_ ? suffix_length_ : sizeof suffix_ - 1] = '\0';
        if (!has_digits_ || suffix_length_ >= sizeof suffix_ ||
            !read_suffix(suffix_, is_unsigned, longs)) {
            fail_literal("'%s%s' is not a C integer");
        }
        if (!octal_digit_) {
            fail_literal(
                "'%s%s' is not a C integer: a number that starts with 0 is octal, of "
                "the digits 0 to 7");
        }
        // Decimal literals are signed unless they say u; octal and
        // hexadecimal ones take the first of int, unsigned int, long,
        // unsigned long that holds them.
        if (base_ != 10 && !is_unsigned) {
            const bool beyond_int =
                longs == 0 && magnitude_ > kInt32Max && magnitude_ <= UINT32_MAX;
            is_unsigned = beyond_int || magnitude_ > kInt64Max;
        }
        if (too_large_ || (base_ == 10 && !is_unsigned && magnitude_ > kInt64Max)) {
            fail("an entry beyond the 32-bit integers");
        }
        if (negative_ && is_unsigned && magnitude_ != 0) {
            fail_literal(
                "'-%s%s': a '-' before an unsigned integer, which C does not negate but "
                "wraps around");
        }
        if (magnitude_ > kInt32Max + (negative_ ? 1 : 0)) {
            fail("an entry beyond the 32-bit integers");
        }
        const auto m = static_cast<int64_t>(magnitude_);
        table_.entries[static_cast<std::size_t>(table_.count++)] =
            static_cast<int32_t>(negative_ ? -m : m);
        state_ = kAfterEntry;
    }

    [[noreturn]] void fail_literal(const char* form) const {
        char text[kShownLiteral + 1];
        std::memcpy(text, shown_text_, shown_);
        text[shown_] = '\0';
        char what[kShownLiteral + 120];
        std::snprintf(what, sizeof what, form, text, length_ > shown_ ? "..." : "");
        fail(what);
    }

    const char* path_;
    FirmwareTable& table_;
    State state_ = kBeforeList;
    Comment comment_ = kNone;
    bool negative_ = false;
    bool semicolon_ = false;
    // The literal being read: its first characters, its digits' value in
    // its base, and what follows the digits.
    char shown_text_[kShownLiteral] = {};
    std::size_t shown_ = 0;
    std::size_t length_ = 0;
    char suffix_[4] = {};
    std::size_t suffix_length_ = 0;
    bool has_digits_ = false;
    int base_ = 10;
    uint64_t magnitude_ = 0;
    bool too_large_ = false;
    bool octal_digit_ = true;
    bool exponent_ = false;  // the last character may start an exponent
};

// The lines as the compiler sees them: a CR alone ends a line as LF and
// CR LF do, and a backslash right before a line end joins the two lines,
// also inside a comment or a number.
class Splicer {
  public:
    explicit Splicer(TableParser& parser) : parser_(parser) {}

    void take(char c) {
        if (c == '\r') c = '\n';
        if (backslash_) {
            if (c == '\n') {
                if (blanks_after_) {
                    parser_.fail(
                        "blanks between a '\\' and the line end, which compilers do "
                        "not all read alike");
                }
                backslash_ = false;
                ++parser_.line;
                return;
            }
            if (is_blank(c)) {
                blanks_after_ = true;
                return;
            }
            backslash_ = false;
            parser_.take('\\');
            if (blanks_after_) parser_.take(' ');
        }
        if (c == '\\') {
            backslash_ = true;
            blanks_after_ = false;
            trigraph_ = false;
            questions_ = 0;
            return;
        }
        // With trigraphs read, "??/" is a backslash: at a line end it would
        // join the lines for one compiler and not for another.
        if (trigraph_ && c == '\n') {
            parser_.fail("a '?\?/' at the line end, which compilers do not all read alike");
        }
        if (!is_blank(c)) trigraph_ = c == '/' && questions_ >= 2;
        questions_ = c == '?' ? (questions_ < 2 ? questions_ + 1 : 2) : 0;
        parser_.take(c);
        if (c == '\n') ++parser_.line;
    }

    void finish() {
        if (backslash_) {
            parser_.take('\\');
            if (blanks_after_) parser_.take(' ');
        }
        parser_.finish();
    }

  private:
    TableParser& parser_;
    bool backslash_ = false;
    bool blanks_after_ = false;  // between a backslash and what follows
    bool trigraph_ = false;
    int questions_ = 0;  // the '?' just before, up to two
};

}  // namespace

void read_firmware_table(const char* path, FirmwareTable& table) {
    LineReader reader;
    if (!line_reader_open(reader, path)) {
        char message[kMaxPath + 64];
        std::snprintf(message, sizeof message, "The table file cannot be opened: %s",
                      shown_name(path).text.data());
        file_error_exit(message);
    }
    table.count = 0;
    TableParser parser(path, table);
    Splicer splicer(parser);
    char line[kLineSize];
    bool first = true;
    for (std::size_t n; (n = line_reader_next(reader, line)) != 0; first = false) {
        // The UTF-8 byte order mark that some editors put at the start.
        const std::size_t from =
            first && n >= 3 && std::memcmp(line, "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
        for (std::size_t i = from; i < n; ++i) splicer.take(line[i]);
    }
    splicer.finish();
}

}  // namespace vextal
