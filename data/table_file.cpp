#include "data/table_file.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/error_exit.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/line_reader.h"
#include "text/numscan.h"

namespace vextal {

namespace {

// A piece of a line of the table, by its start and length: it is never
// NUL-terminated.
struct Text {
    const char* p;
    std::size_t n;
};

// The separators, by the character they are written as, in the order in
// which they are tried.
enum class Separator : char {
    kNone = '\0',
    kSemicolon = ';',
    kTab = '\t',
    kComma = ',',
    kBlank = ' ',
};

constexpr char kTwoColumns[] = "expected two columns, the position and the reading";
// Longest part of a field shown in a message.
constexpr std::size_t kShownField = 40;

// ---- messages ----

// Lines are counted in 64 bits: a file of empty lines may hold more than any
// 32-bit count.
using LineNo = uint64_t;

// A line number in decimal, NUL-terminated.
struct LineText {
    char text[24];
};

LineText line_text(LineNo line_no) {
    LineText t{};
    *std::to_chars(t.text, t.text + sizeof t.text - 1, line_no).ptr = '\0';
    return t;
}

[[noreturn]] void fail(LineNo line_no, const char* what) {
    char message[200];
    std::snprintf(message, sizeof message, "Line %s: %s", line_text(line_no).text, what);
    error_exit(message, kExitError);
}

[[noreturn]] void fail_field(LineNo line_no, const char* before, Text field, const char* after) {
    const bool longer = field.n > kShownField;
    const int shown = static_cast<int>(longer ? kShownField : field.n);
    char message[200];
    std::snprintf(message, sizeof message, "Line %s: %s'%.*s%s'%s", line_text(line_no).text, before,
                  shown, field.p, longer ? "..." : "", after);
    error_exit(message, kExitError);
}

// The name as every command's messages write it.
[[noreturn]] void fail_name(const char* what, const char* name) {
    char message[kMaxPath + 64];
    std::snprintf(message, sizeof message, "%s%s", what, shown_name(name).text.data());
    file_error_exit(message);
}

const char* separator_name(Separator sep) {
    switch (sep) {
        case Separator::kSemicolon:
            return "a semicolon";
        case Separator::kTab:
            return "a tab";
        case Separator::kComma:
            return "a comma";
        default:
            return "blanks";
    }
}

// ---- the parts of a line ----

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

bool is_one_of(char c, const char* chars) {
    return c != '\0' && std::strchr(chars, c) != nullptr;
}

void trim(Text& t, const char* chars) {
    while (t.n > 0 && is_one_of(t.p[0], chars)) {
        ++t.p;
        --t.n;
    }
    while (t.n > 0 && is_one_of(t.p[t.n - 1], chars)) --t.n;
}

bool holds(Text t, char c) {
    return std::memchr(t.p, c, t.n) != nullptr;
}

constexpr Separator kSeparators[] = {Separator::kSemicolon, Separator::kTab, Separator::kComma,
                                     Separator::kBlank};

// The first separator the line holds: a comma beside a semicolon or a tab is
// a decimal comma, a blank beside any of them is padding.
Separator separator_of(Text line) {
    for (Separator sep : kSeparators) {
        if (holds(line, static_cast<char>(sep))) return sep;
    }
    return Separator::kNone;
}

// Where a decimal comma may stand: only where the comma separates nothing.
bool decimal_comma(Separator sep) {
    return sep == Separator::kSemicolon || sep == Separator::kTab;
}

// The first field of `t` up to the separator; `t` keeps what follows it.
Text take_field(Text& t, char sep) {
    const char* end = static_cast<const char*>(std::memchr(t.p, sep, t.n));
    const std::size_t len = end != nullptr ? static_cast<std::size_t>(end - t.p) : t.n;
    Text field{t.p, len};
    const std::size_t used = end != nullptr ? len + 1 : len;
    t.p += used;
    t.n -= used;
    if (sep == ' ') trim(t, " ");  // a run of blanks is one separator
    trim(field, " ");
    return field;
}

// The first two columns of a line; false when it has only one.
bool split(Text line, Separator sep, Text& first, Text& second) {
    if (sep == Separator::kNone) {
        first = line;
        return false;
    }
    first = take_field(line, static_cast<char>(sep));
    second = take_field(line, static_cast<char>(sep));
    return true;
}

// A decimal number in full, as the number reader takes it whole: an optional
// sign, digits with at most one decimal mark, an optional exponent with e or E.
bool is_decimal(Text t, bool comma_allowed) {
    std::size_t i = 0;
    if (i < t.n && (t.p[i] == '+' || t.p[i] == '-')) ++i;
    bool digits = false;
    bool mark = false;
    for (; i < t.n; ++i) {
        if (is_digit(t.p[i])) {
            digits = true;
        } else if (!mark && (t.p[i] == '.' || (comma_allowed && t.p[i] == ','))) {
            mark = true;
        } else {
            break;
        }
    }
    if (!digits) return false;
    if (i < t.n && (t.p[i] == 'e' || t.p[i] == 'E')) {
        ++i;
        if (i < t.n && (t.p[i] == '+' || t.p[i] == '-')) ++i;
        if (i == t.n || !is_digit(t.p[i])) return false;
        while (i < t.n && is_digit(t.p[i])) ++i;
    }
    return i == t.n;
}

bool is_integer(Text t) {
    std::size_t i = 0;
    if (i < t.n && (t.p[i] == '+' || t.p[i] == '-')) ++i;
    if (i == t.n) return false;
    for (; i < t.n; ++i) {
        if (!is_digit(t.p[i])) return false;
    }
    return true;
}

// The separator of the first data line: the first that makes its first two
// columns numbers, so that a third column may hold any text ("1.5,10,x;y"
// is separated by commas); failing that, the first it holds.
Separator first_separator(Text line) {
    for (Separator sep : kSeparators) {
        Text first{line.p, 0};
        Text second{line.p, 0};
        if (holds(line, static_cast<char>(sep)) && split(line, sep, first, second) &&
            is_decimal(first, decimal_comma(sep)) && is_decimal(second, decimal_comma(sep))) {
            return sep;
        }
    }
    return separator_of(line);
}

// ---- the lines ----

// What the lines read so far decided.
struct TableState {
    bool content_seen = false;  // the first line with content is a header candidate
    Separator sep = Separator::kNone;
    LineNo sep_line = 0;  // the line that decided the separator
};

// A header names the columns: however the line is split, neither of its first
// two fields is a number.
bool is_header(Text line) {
    if (separator_of(line) == Separator::kNone) return !is_decimal(line, false);
    for (Separator sep : kSeparators) {
        Text first{line.p, 0};
        Text second{line.p, 0};
        if (!holds(line, static_cast<char>(sep))) continue;
        split(line, sep, first, second);
        const bool comma = decimal_comma(sep);
        if (is_decimal(first, comma) || is_decimal(second, comma)) return false;
    }
    return true;
}

void take_position(LineNo line_no, Text field, bool comma, RecordText& point) {
    if (field.n == 0) fail(line_no, "the position is missing");
    if (!is_decimal(field, comma)) fail_field(line_no, "the position ", field, " is not a number");
    if (field.n > kMaxStageText) fail(line_no, "the position has more than 100 characters");
    for (std::size_t i = 0; i < field.n; ++i) {
        point.stage[i] = field.p[i] == ',' ? '.' : field.p[i];
    }
    point.stage[field.n] = '\0';
    // The number reader holds a value beyond the doubles at the largest one,
    // which is then no longer the number written; the largest itself goes
    // with them.
    if (!(std::fabs(text_to_double(point.stage.data())) < DBL_MAX)) {
        fail_field(line_no, "the position ", field, " is out of range");
    }
}

void take_reading(LineNo line_no, Text field, bool comma, RecordText& point) {
    if (field.n == 0) fail(line_no, "the reading is missing");
    if (!is_integer(field)) {
        fail_field(line_no, "the reading ", field,
                   is_decimal(field, comma) ? " is not a whole number" : " is not a number");
    }
    char text[kLineSize];
    std::memcpy(text, field.p, field.n);
    text[field.n] = '\0';
    // Every integer of this size is exact as a double, so the bounds are too.
    const double value = text_to_double(text);
    if (value < INT32_MIN || value > INT32_MAX) {
        fail_field(line_no, "the reading ", field, " is out of range");
    }
    point.psd = text_to_int(text);
}

[[noreturn]] void fail_separator(LineNo line_no, Text line, const TableState& state) {
    const Separator own = separator_of(line);
    if (own == Separator::kNone) fail(line_no, kTwoColumns);
    char what[120];
    std::snprintf(what, sizeof what, "columns separated by %s, but by %s on line %s",
                  separator_name(own), separator_name(state.sep), line_text(state.sep_line).text);
    fail(line_no, what);
}

void take_line(LineNo line_no, Text line, TableState& state, ImportTable& table) {
    if (!state.content_seen) {
        state.content_seen = true;
        if (is_header(line)) return;
    }
    if (table.count >= kMaxMeasurements) fail(line_no, "more than 1000 points");
    // The first data line decides the separator; every later line holds it.
    Separator sep = state.sep;
    if (sep == Separator::kNone) {
        sep = first_separator(line);
    } else if (!holds(line, static_cast<char>(sep))) {
        fail_separator(line_no, line, state);
    }
    Text first{line.p, 0};
    Text second{line.p, 0};
    if (!split(line, sep, first, second)) fail(line_no, kTwoColumns);
    if (state.sep == Separator::kNone) {
        state.sep = sep;
        state.sep_line = line_no;
    }
    RecordText& point = table.points[static_cast<std::size_t>(table.count)];
    take_position(line_no, first, decimal_comma(sep), point);
    take_reading(line_no, second, decimal_comma(sep), point);
    ++table.count;
}

// Reads the next piece of at most 249 characters; its length counts a NUL
// byte inside it, which the returned text would hide.
bool next_piece(LineReader& reader, char (&line)[kLineSize], std::size_t& length) {
    length = line_reader_next(reader, line);
    return length != 0;
}

bool cut(const char (&line)[kLineSize], std::size_t length) {
    return length == kLineSize - 1 && line[length - 1] != '\n';
}

}  // namespace

void read_table_file(const char* name, ImportTable& table) {
    LineReader reader;
    if (!line_reader_open(reader, name)) fail_name("Input file cannot be opened: ", name);
    table.count = 0;
    TableState state;
    char line[kLineSize];
    std::size_t length = 0;
    LineNo line_no = 0;
    while (next_piece(reader, line, length)) {
        ++line_no;
        if (std::strlen(line) != length) {
            fail(line_no, "holds a NUL byte (UTF-16 text is not read)");
        }
        const bool cut_off = cut(line, length);
        Text text{line, cut_off || line[length - 1] != '\n' ? length : length - 1};
        if (line_no == 1 && text.n >= 3 && std::memcmp(text.p, "\xEF\xBB\xBF", 3) == 0) {
            text.p += 3;
            text.n -= 3;
        }
        trim(text, " \t\r");
        const bool comment = text.n > 0 && text.p[0] == '#';
        if (cut_off) {
            if (!comment) fail(line_no, "has more than 248 characters");
            // A comment may be of any length: its further pieces are passed over.
            while (cut(line, length) && next_piece(reader, line, length)) {
            }
            continue;
        }
        if (text.n == 0 || comment) continue;
        take_line(line_no, text, state, table);
    }
    line_reader_close(reader);
    if (table.count == 0) error_exit("The input file holds no data lines", kExitError);
}

}  // namespace vextal
