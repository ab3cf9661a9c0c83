#include "data/table_fields.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "common/error_exit.h"
#include "data/table_file.h"

namespace vextal {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Blanks around a field are padding, never the separator itself; where
// blanks separate, every blank and tab at the ends of the line is padding, as
// a run of them is one separator that bounds no field there.
bool is_padding(char c, char sep) {
    if (c != ' ' && c != '\t' && c != '\r') return false;
    return c != sep || sep == ' ';
}

// Walks the fields of one line.
struct Cursor {
    Text line;
    char sep;
    std::size_t i = 0;
    bool done = false;
    Text unclosed{nullptr, 0};  // the text after a quote that is not closed
};

Cursor cursor(Text line, Separator sep) {
    const char s = static_cast<char>(sep);
    while (line.n > 0 && is_padding(line.p[line.n - 1], s)) --line.n;
    Cursor c{line, s};
    while (c.i < line.n && is_padding(line.p[c.i], s)) ++c.i;
    return c;
}

void put(Field& out, char c) {
    out.text[out.n++] = c;  // a field is never longer than its line
}

// Reads the next field into `out`; false when the line has no more.
bool next_field(Cursor& c, Field& out) {
    out.n = 0;
    if (c.done) return false;
    const char* p = c.line.p;
    const std::size_t n = c.line.n;
    std::size_t& i = c.i;
    while (i < n && is_padding(p[i], c.sep)) ++i;
    std::size_t kept = 0;  // quoted characters, kept with their blanks
    if (i < n && p[i] == '"') {
        const std::size_t open = i + 1;
        bool closed = false;
        for (++i; i < n; ++i) {
            if (p[i] == '"') {
                if (i + 1 == n || p[i + 1] != '"') {
                    ++i;
                    closed = true;
                    break;
                }
                ++i;  // a doubled quote stands for one
            }
            put(out, p[i]);
        }
        if (!closed) c.unclosed = {p + open, n - open};
        kept = out.n;
    }
    // Text after a closing quote belongs to the field, as spreadsheets read it.
    while (i < n && (c.sep == '\0' || p[i] != c.sep)) put(out, p[i++]);
    while (out.n > kept && is_padding(out.text[out.n - 1], c.sep)) --out.n;
    if (i >= n) {
        c.done = true;
    } else {
        ++i;
        if (c.sep == ' ') {
            while (i < n && p[i] == ' ') ++i;  // a run of blanks is one separator
        }
    }
    return true;
}

// Whether the whole of `t` is a number with the decimal mark `mark` and, where
// `group` is not NUL, digits grouped in threes by `group` before it: an
// optional sign, digits with at most one mark, and an optional exponent with
// e or E that an ungrouped number may have.
bool reads_as(Text t, char mark, char group) {
    std::size_t i = 0;
    if (i < t.n && (t.p[i] == '+' || t.p[i] == '-')) ++i;
    const std::size_t first = i;
    while (i < t.n && is_digit(t.p[i])) ++i;
    std::size_t digits = i - first;
    bool grouped = false;
    if (group != '\0' && digits >= 1 && digits <= 3 && t.p[first] != '0') {
        while (i < t.n && t.p[i] == group) {
            const bool three = i + 3 < t.n && is_digit(t.p[i + 1]) && is_digit(t.p[i + 2]) &&
                               is_digit(t.p[i + 3]) && (i + 4 == t.n || !is_digit(t.p[i + 4]));
            if (!three) return false;
            i += 4;
            digits += 3;
            grouped = true;
        }
    }
    if (i < t.n && t.p[i] == mark) {
        const std::size_t after = ++i;
        while (i < t.n && is_digit(t.p[i])) ++i;
        digits += i - after;
    }
    if (digits == 0) return false;
    if (i < t.n && (t.p[i] == 'e' || t.p[i] == 'E')) {
        if (grouped) return false;
        ++i;
        if (i < t.n && (t.p[i] == '+' || t.p[i] == '-')) ++i;
        if (i == t.n || !is_digit(t.p[i])) return false;
        while (i < t.n && is_digit(t.p[i])) ++i;
    }
    return i == t.n;
}

}  // namespace

NumberText number_text(uint64_t n) {
    NumberText t{};
    *std::to_chars(t.text, t.text + sizeof t.text - 1, n).ptr = '\0';
    return t;
}

void fail_line(LineNo line_no, const char* what) {
    char message[kShownFieldText + 240];
    std::snprintf(message, sizeof message, "Line %s: %s", number_text(line_no).text, what);
    error_exit(message, kExitError);
}

std::size_t shown_field(Text field, char* out) {
    static constexpr char kHex[] = "0123456789abcdef";
    const std::size_t shown = field.n > kShownField ? kShownField : field.n;
    std::size_t n = 0;
    for (std::size_t i = 0; i < shown; ++i) {
        const auto c = static_cast<unsigned char>(field.p[i]);
        if (c >= 0x20 && c != 0x7F) {
            out[n++] = static_cast<char>(c);
            continue;
        }
        // A control character would act on the terminal instead of showing.
        out[n++] = '\\';
        if (c == '\r' || c == '\t') {
            out[n++] = c == '\r' ? 'r' : 't';
            continue;
        }
        out[n++] = 'x';
        out[n++] = kHex[c >> 4];
        out[n++] = kHex[c & 0xF];
    }
    if (shown < field.n) {
        std::memcpy(out + n, "...", 3);
        n += 3;
    }
    out[n] = '\0';
    return n;
}

void fail_field(LineNo line_no, const char* before, Text field, const char* after) {
    char shown[kShownFieldText];
    shown_field(field, shown);
    char what[kShownFieldText + 200];
    std::snprintf(what, sizeof what, "%s'%s'%s", before, shown, after);
    fail_line(line_no, what);
}

int separator_index(Separator sep) {
    for (int i = 0; i < kSeparatorCount; ++i) {
        if (kSeparators[i] == sep) return i;
    }
    return 0;
}

bool holds(Text t, char c) {
    return std::memchr(t.p, c, t.n) != nullptr;
}

Separator separator_of(Text line) {
    for (Separator sep : kSeparators) {
        if (holds(line, static_cast<char>(sep))) return sep;
    }
    return Separator::kNone;
}

SplitLine split_fields(Text line, Separator sep, int32_t a, Field& first, int32_t b,
                       Field& second) {
    Field other;
    first.n = second.n = 0;
    Cursor c = cursor(line, sep);
    SplitLine split;
    int32_t count = 0;
    for (;;) {
        Field& out = count == a ? first : count == b ? second : other;
        if (!next_field(c, out)) break;
        ++count;
        if (out.n > 0) split.count = count;
    }
    split.unclosed = c.unclosed;
    return split;
}

FoundField find_field(Text line, Separator sep, Text name) {
    Field field;
    Cursor c = cursor(line, sep);
    FoundField found;
    for (int32_t column = 0; next_field(c, field); ++column) {
        if (field.n != name.n || std::memcmp(field.text.data(), name.p, name.n) != 0) continue;
        if (found.column >= 0) {
            found.again = column;
            break;
        }
        found.column = column;
    }
    return found;
}

NumberKind number_kind(Text t, Separator sep) {
    if (sep == Separator::kBlank) {
        if (!reads_as(t, '.', '\0')) return NumberKind::kNotNumber;
        return holds(t, '.') ? NumberKind::kPointOnly : NumberKind::kPlain;
    }
    const bool point = reads_as(t, '.', ',');
    const bool comma = reads_as(t, ',', '.');
    if (point && comma) {
        if (holds(t, '.')) return NumberKind::kEitherPoint;
        return holds(t, ',') ? NumberKind::kEitherComma : NumberKind::kPlain;
    }
    if (point) return NumberKind::kPointOnly;
    return comma ? NumberKind::kCommaOnly : NumberKind::kNotNumber;
}

std::size_t plain_number(Text t, DecimalMark mark, char* out) {
    const char decimal = static_cast<char>(mark);
    const char group = mark == DecimalMark::kPoint ? ',' : mark == DecimalMark::kComma ? '.' : '\0';
    std::size_t n = 0;
    for (std::size_t i = 0; i < t.n; ++i) {
        const char c = t.p[i];
        if (group != '\0' && c == group) continue;
        out[n++] = decimal != '\0' && c == decimal ? '.' : c;
    }
    return n;
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

bool parse_column_choice(const char* text, ColumnChoice& choice) {
    const std::size_t length = std::strlen(text);
    if (length >= kLineSize) return false;
    Field part[2];
    if (split_fields({text, length}, Separator::kComma, 0, part[0], 1, part[1]).count != 2) {
        return false;
    }
    for (int k = 0; k < 2; ++k) {
        const Text t = part[k].view();
        if (t.n == 0) return false;
        choice.number[k] = 0;
        choice.name[k].fill('\0');
        bool digits = true;
        for (std::size_t i = 0; i < t.n; ++i) digits = digits && is_digit(t.p[i]);
        if (!digits) {
            std::memcpy(choice.name[k].data(), t.p, t.n);
            continue;
        }
        int32_t number = 0;
        for (std::size_t i = 0; i < t.n && number <= kMaxColumn; ++i) {
            number = number * 10 + (t.p[i] - '0');
        }
        if (number < 1 || number > kMaxColumn) return false;
        choice.number[k] = number;
    }
    const bool same_number = choice.number[0] != 0 && choice.number[0] == choice.number[1];
    const bool same_name = choice.number[0] == 0 && choice.number[1] == 0 &&
                           std::strcmp(choice.name[0].data(), choice.name[1].data()) == 0;
    return !same_number && !same_name;
}

}  // namespace vextal
