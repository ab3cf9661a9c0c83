#include "data/table_file.h"

#include <cstdio>
#include <cstring>

#include "common/error_exit.h"
#include "data/import_state.h"
#include "data/table_fields.h"
#include "data/table_records.h"
#include "data/table_values.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/line_reader.h"

namespace vextal {

namespace {

constexpr char kTwoColumns[] = "expected two columns, the position and the reading";

// ---- messages ----

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

// ---- what the lines read so far decided ----

// ---- the lines ----

bool is_one_of(char c, const char* chars) {
    return c != '\0' && std::strchr(chars, c) != nullptr;
}

Text trimmed(Text t, const char* chars) {
    while (t.n > 0 && is_one_of(t.p[0], chars)) {
        ++t.p;
        --t.n;
    }
    while (t.n > 0 && is_one_of(t.p[t.n - 1], chars)) --t.n;
    return t;
}

// Whether `line` holds `sep` as a separator: blanks at its ends are padding,
// but a tab there separates an empty field from the next.
bool separates(Text line, Separator sep) {
    return holds(trimmed(line, sep == Separator::kTab ? " \r" : " \t\r"), static_cast<char>(sep));
}

[[noreturn]] void fail_unclosed(LineNo line_no, Text rest) {
    fail_field(line_no, "the quote that opens the field ", rest, " is never closed");
}

[[noreturn]] void fail_separator(const ImportState& state, LineNo line_no, Text line) {
    const Separator own = separator_of(trimmed(line, " \t\r"));
    if (own == Separator::kNone) fail_line(line_no, kTwoColumns);
    char what[120];
    std::snprintf(what, sizeof what, "columns separated by %s, but by %s on line %s",
                  separator_name(own), separator_name(state.lines.sep),
                  number_text(state.lines.sep_line).text);
    fail_line(line_no, what);
}

// A data line may hold no more fields than the header, or without a header
// than the first data line: where it does, its columns are not the header's.
void check_fields(ImportState& state, LineNo line_no, int32_t fields) {
    if (state.lines.most_fields == 0) {
        state.lines.most_fields = fields;
        state.lines.most_fields_line = line_no;
        return;
    }
    if (fields <= state.lines.most_fields) return;
    char what[160];
    std::snprintf(what, sizeof what, "holds %s fields, more than the %s of %s %s",
                  number_text(fields).text, number_text(state.lines.most_fields).text,
                  state.lines.header ? "the header on line" : "the first data line, line",
                  number_text(state.lines.most_fields_line).text);
    fail_line(line_no, what);
}

void take_data_line(ImportState& state, LineNo line_no, Text line) {
    ImportTable& table = *state.table;
    if (!state.options->mean && table.count + values_waiting(state) >= kMaxMeasurements) {
        fail_line(line_no, "more than 1000 points");
    }
    Field position;
    Field reading;
    const SplitLine split = split_fields(line, state.lines.sep, state.lines.column[0], position,
                                         state.lines.column[1], reading);
    if (split.unclosed.p != nullptr) fail_unclosed(line_no, split.unclosed);
    if (state.lines.sep == Separator::kNone) fail_line(line_no, kTwoColumns);
    if (!separates(line, state.lines.sep)) fail_separator(state, line_no, line);
    check_fields(state, line_no, split.count);
    take_values(state, line_no, state.lines.sep, position.view(), reading.view());
}

// A line before the data that held a number in a chosen column is a data
// line at fault: it is taken as the first data line, separated by the first
// separator it holds, as such a line always was, and is refused there.
void take_odd_line(ImportState& state, const LinesBefore& b) {
    const Text line{b.odd.data(), b.odd_n};
    const Separator sep = state.lines.sep;
    state.lines.sep = separator_of(trimmed(line, " \t\r"));
    take_data_line(state, b.odd_line, line);
    state.lines.sep = sep;
}

// The data begin, separated by state.lines.sep. A line before them that held a
// number in a chosen column under this separator is taken as a data line
// at fault; the most fields of a line before them are the header's.
void start_data(ImportState& state) {
    state.lines.data = true;
    const LinesBefore& b =
        state.lines.before[static_cast<std::size_t>(separator_index(state.lines.sep))];
    // An open quote is refused as the data would split its line.
    if (b.unclosed_line != 0 && (b.odd_line == 0 || b.unclosed_line <= b.odd_line)) {
        fail_unclosed(b.unclosed_line, {b.unclosed.data(), b.unclosed_n});
    }
    if (b.odd_line != 0) take_odd_line(state, b);
    if (b.fields >= 2) {
        state.lines.most_fields = b.fields;
        state.lines.most_fields_line = b.fields_line;
        state.lines.header = true;
    }
}

// What a line holds in the chosen columns under one separator.
struct Look {
    int32_t fields = 0;
    bool first = false;         // the position's column holds a number
    bool second = false;        // the reading's column holds a number
    Text unclosed{nullptr, 0};  // after a quote that is not closed
};

Look look(const ImportState& state, Text line, Separator sep) {
    Field a;
    Field b;
    Look l;
    const SplitLine split =
        split_fields(line, sep, state.lines.column[0], a, state.lines.column[1], b);
    l.fields = split.count;
    l.unclosed = split.unclosed;
    l.first = a.n > 0 && number_kind(a.view(), sep) != NumberKind::kNotNumber;
    l.second = b.n > 0 && number_kind(b.view(), sep) != NumberKind::kNotNumber;
    return l;
}

void note_unclosed(LinesBefore& b, LineNo line_no, Text unclosed) {
    if (unclosed.p == nullptr || b.unclosed_line != 0) return;
    b.unclosed_line = line_no;
    std::memcpy(b.unclosed.data(), unclosed.p, unclosed.n);
    b.unclosed_n = unclosed.n;
}

void note_before(ImportState& state, LineNo line_no, Separator sep, Text line, const Look& l) {
    LinesBefore& b = state.lines.before[static_cast<std::size_t>(separator_index(sep))];
    note_unclosed(b, line_no, l.unclosed);
    if (l.fields > b.fields) {
        b.fields = l.fields;
        b.fields_line = line_no;
    }
    // A quote that is not closed is a fault of the line wherever it stands.
    if ((l.first || l.second || l.unclosed.p != nullptr) && b.odd_line == 0) {
        b.odd_line = line_no;
        std::memcpy(b.odd.data(), line.p, line.n);
        b.odd_n = line.n;
    }
}

// A header that gives one name to two columns leaves the choice to chance.
[[noreturn]] void fail_shared_name(const ImportState& state, LineNo line_no, int k, int32_t column,
                                   int32_t again) {
    const char* name = state.options->columns.name[static_cast<std::size_t>(k)].data();
    char before[80];
    std::snprintf(before, sizeof before, "columns %s and %s are both named ",
                  number_text(static_cast<uint64_t>(column) + 1).text,
                  number_text(static_cast<uint64_t>(again) + 1).text);
    char after[80];
    std::snprintf(after, sizeof after, "; give %s the number of the one meant",
                  state.options->words.columns);
    fail_field(line_no, before, {name, std::strlen(name)}, after);
}

// The header line of columns chosen by name: the first line that holds each
// name as a field under one separator, which is then the file's.
void find_header(ImportState& state, LineNo line_no, Text line) {
    const ColumnChoice& choice = state.options->columns;
    for (Separator sep : kSeparators) {
        if (state.lines.sep_known && sep != state.lines.sep) continue;
        if (!separates(line, sep)) continue;
        Field a;
        Field b;
        note_unclosed(state.lines.before[static_cast<std::size_t>(separator_index(sep))], line_no,
                      split_fields(line, sep, 0, a, 0, b).unclosed);
        std::array<int32_t, 2> column = state.lines.column;
        std::array<int32_t, 2> again{-1, -1};
        for (int k = 0; k < 2; ++k) {
            if (choice.number[k] != 0) continue;
            const char* name = choice.name[k].data();
            const FoundField found = find_field(line, sep, {name, std::strlen(name)});
            column[k] = found.column;
            again[k] = found.again;
        }
        if (column[0] < 0 || column[1] < 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (again[k] >= 0) fail_shared_name(state, line_no, k, column[k], again[k]);
        }
        if (column[0] == column[1]) {
            char what[120];
            std::snprintf(what, sizeof what,
                          "%s names one column for both the position and the reading",
                          state.options->words.columns);
            fail_line(line_no, what);
        }
        state.lines.column = column;
        state.lines.header_found = true;
        state.lines.sep = sep;
        state.lines.sep_known = true;
        state.lines.sep_line = line_no;
        Look header = look(state, line, sep);
        header.first = header.second = false;  // the names are no data at fault
        note_before(state, line_no, sep, line, header);
        return;
    }
}

// A line before the first data line: passed over (true) unless it is that
// line. Without a known separator, data begins at the first line whose
// chosen columns both hold numbers under a separator it holds, tried in
// turn; a line with a number in one of them only is kept in view, as it is
// a data line at fault if the data turn out to be separated as it is.
bool pass_over(ImportState& state, LineNo line_no, Text line) {
    if (state.lines.named && !state.lines.header_found) {
        find_header(state, line_no, line);
        return true;
    }
    if (state.lines.sep_known) {
        const Look l = look(state, line, state.lines.sep);
        if (l.first || l.second || l.unclosed.p != nullptr) return false;
        note_before(state, line_no, state.lines.sep, line, l);
        return true;
    }
    std::array<Look, kSeparatorCount> looks;
    for (int i = 0; i < kSeparatorCount; ++i) {
        looks[static_cast<std::size_t>(i)] = look(state, line, kSeparators[i]);
    }
    for (int i = 0; i < kSeparatorCount; ++i) {
        const Look& l = looks[static_cast<std::size_t>(i)];
        if (l.first && l.second && separates(line, kSeparators[i])) {
            state.lines.sep = kSeparators[i];
            state.lines.sep_line = line_no;
            return false;
        }
    }
    for (int i = 0; i < kSeparatorCount; ++i) {
        note_before(state, line_no, kSeparators[i], line, looks[static_cast<std::size_t>(i)]);
    }
    return true;
}

void take_line(ImportState& state, LineNo line_no, Text line) {
    if (!state.lines.data) {
        if (pass_over(state, line_no, line)) return;
        start_data(state);
    }
    take_data_line(state, line_no, line);
}

// ---- the file ----

void start(ImportState& state, const ImportOptions& options, ImportTable& table) {
    state.options = &options;
    state.table = &table;
    state.lines = ImportLines{};
    for (int k = 0; k < 2; ++k) {
        state.lines.column[static_cast<std::size_t>(k)] = options.columns.number[k] - 1;
        if (options.columns.number[k] == 0) state.lines.named = true;
    }
    values_start(state);
    records_start(state);
}

// Excel's first line "sep=;" names the separator.
bool take_separator_hint(ImportState& state, Text text) {
    if (text.n < 5 || std::memcmp(text.p, "sep=", 4) != 0) return false;
    Text rest{text.p + 5, text.n - 5};
    while (rest.n > 0 && rest.p[rest.n - 1] == '\r') --rest.n;
    const char c = text.p[4];
    if (rest.n != 0 || (c != ';' && c != ',' && c != '\t')) {
        fail_line(1, "sep= names a separator that is not read (a comma, a semicolon or a tab)");
    }
    state.lines.sep = static_cast<Separator>(c);
    state.lines.sep_known = true;
    state.lines.sep_line = 1;
    return true;
}

[[noreturn]] void fail_no_header(const ImportState& state) {
    const ColumnChoice& choice = state.options->columns;
    char names[2 * (kShownFieldText + 8)] = {};
    std::size_t n = 0;
    int named = 0;
    for (int k = 0; k < 2; ++k) {
        if (choice.number[k] != 0) continue;
        const char* name = choice.name[k].data();
        char shown[kShownFieldText];
        shown_field({name, std::strlen(name)}, shown);
        const int written =
            std::snprintf(names + n, sizeof names - n, "%s'%s'", named > 0 ? " and " : "", shown);
        if (written > 0) n += static_cast<std::size_t>(written);  // always fits
        ++named;
    }
    char message[sizeof names + 64];
    std::snprintf(message, sizeof message, "No line of the input file names the %s %s of %s",
                  named > 1 ? "columns" : "column", names, state.options->words.columns);
    error_exit(message, kExitError);
}

void finish(ImportState& state) {
    if (!state.lines.data) {
        if (state.lines.named && !state.lines.header_found) fail_no_header(state);
        // A line that held a number, and nothing after it that was data: it
        // is a data line at fault, separated as it is.
        const LinesBefore* first = nullptr;
        for (const LinesBefore& b : state.lines.before) {
            if (b.odd_line != 0 && (first == nullptr || b.odd_line < first->odd_line)) first = &b;
        }
        if (first != nullptr) take_odd_line(state, *first);
    }
    values_finish(state, state.lines.sep);
    records_finish(state);
    if (state.table->count == 0) error_exit("The input file holds no data lines", kExitError);
}

// A line of separators alone, as spreadsheets write an empty row.
bool only_separators(Text t) {
    for (std::size_t i = 0; i < t.n; ++i) {
        if (!is_one_of(t.p[i], ",;\t ")) return false;
    }
    return true;
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

void read_table_file(const char* name, const ImportOptions& options, ImportState& state,
                     ImportTable& table) {
    LineReader reader;
    if (!line_reader_open(reader, name, LineEnds::kDetect)) {
        fail_name("Input file cannot be opened: ", name);
    }
    start(state, options, table);
    char line[kLineSize];
    std::size_t length = 0;
    LineNo line_no = 0;
    for (;;) {
        line_no += line_reader_skip_empty(reader);
        if (!next_piece(reader, line, length)) break;
        ++line_no;
        if (std::memchr(line, '\0', length) != nullptr) {
            fail_line(line_no, "holds a NUL byte (UTF-16 text is not read)");
        }
        const bool cut_off = cut(line, length);
        const bool last = !cut_off && line[length - 1] != '\n';
        Text text{line, cut_off || last ? length : length - 1};
        // A Ctrl-Z as the last byte marks the end of a DOS text file.
        if (last && text.p[text.n - 1] == '\x1A') --text.n;
        if (line_no == 1 && text.n >= 3 && std::memcmp(text.p, "\xEF\xBB\xBF", 3) == 0) {
            text.p += 3;
            text.n -= 3;
        }
        if (line_no == 1 && !cut_off && take_separator_hint(state, text)) continue;
        const Text bare = trimmed(text, " \t\r");
        const bool comment = bare.n > 0 && bare.p[0] == '#';
        if (cut_off) {
            if (!comment) fail_line(line_no, "has more than 248 characters");
            // A comment may be of any length: its further pieces are passed over.
            while (cut(line, length) && next_piece(reader, line, length)) {
            }
            continue;
        }
        if (bare.n == 0 || comment || only_separators(bare)) continue;
        // The fields are split before they are trimmed, so that an empty
        // first field keeps its place.
        take_line(state, line_no, text);
    }
    line_reader_close(reader);
    finish(state);
}

}  // namespace vextal
