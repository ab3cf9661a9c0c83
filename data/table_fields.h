// One line of an imported table taken apart: its fields, as spreadsheets
// write them (quoted where they hold the separator or a quote), and the
// numbers in them, read by the decimal mark of the file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "files/line_reader.h"

namespace vextal {

/// Lines are counted in 64 bits: a file of empty lines may hold more than any
/// 32-bit count.
using LineNo = uint64_t;

/// A count or a line number in decimal, NUL-terminated.
struct NumberText {
    char text[24];
};
NumberText number_text(uint64_t n);
/// Ends the program with "Line <line_no>: <what>" and exit code 2.
[[noreturn]] void fail_line(LineNo line_no, const char* what);

/// A piece of a line, by its start and length: it is never NUL-terminated.
struct Text {
    const char* p;
    std::size_t n;
};

/// Longest part of a field or a name shown in a message.
constexpr std::size_t kShownField = 40;
/// Room for a field as shown: every character may take four.
constexpr std::size_t kShownFieldText = 4 * kShownField + 4;
/// Writes `field` as a message shows it into `out` (kShownFieldText bytes,
/// NUL-terminated): cut to kShownField characters with "..." after it, a
/// control character written \r, \t or \xhh. Returns the length.
std::size_t shown_field(Text field, char* out);
/// Ends the program with "Line <line_no>: <before>'<field>'<after>", the
/// field shown by shown_field.
[[noreturn]] void fail_field(LineNo line_no, const char* before, Text field, const char* after);

/// The separators, by the character they are written as, in the order in
/// which they are tried.
enum class Separator : char {
    kNone = '\0',
    kSemicolon = ';',
    kTab = '\t',
    kComma = ',',
    kBlank = ' ',
};
inline constexpr Separator kSeparators[] = {Separator::kSemicolon, Separator::kTab,
                                            Separator::kComma, Separator::kBlank};
constexpr int kSeparatorCount = 4;
/// The place of `sep` in kSeparators.
int separator_index(Separator sep);

/// Whether `t` holds the character `c`.
bool holds(Text t, char c);
/// The first separator the line holds: a comma beside a semicolon or a tab is
/// taken for part of a number, a blank beside any of them for padding.
Separator separator_of(Text line);

/// One field of a line: its quotes taken off (a doubled quote inside stands
/// for one), the blanks around it dropped. A line holds no more characters
/// than the line reader gives, so neither does a field.
struct Field {
    std::array<char, kLineSize> text;
    std::size_t n = 0;
    Text view() const { return {text.data(), n}; }
};

/// How a line splits: the number of its fields, those empty at the end of
/// the line not counted, and the text after a quote that opens a field and is
/// not closed (empty `p` where every quote closes).
struct SplitLine {
    int32_t count = 0;
    Text unclosed{nullptr, 0};
};

/// The fields of `line` separated by `sep` (a run of blanks is one
/// separator); `kNone` makes the whole line one field. Blanks, tabs and CRs
/// around a field are dropped unless they are the separator, so an empty
/// field keeps its place. Copies the fields numbered `a` and `b` (from 0)
/// into `first` and `second`, empty where the line has no such field. A
/// quote that is not closed runs to the end of the line.
SplitLine split_fields(Text line, Separator sep, int32_t a, Field& first, int32_t b, Field& second);

/// The columns (from 0) of the first and the second field of a line that
/// read a name, -1 where there is none.
struct FoundField {
    int32_t column = -1;
    int32_t again = -1;
};
/// The fields of `line` under `sep` that read `name`.
FoundField find_field(Text line, Separator sep, Text name);

/// What a field is as a number. The decimal mark is a point or a comma; the
/// other one groups the digits before it in threes (1.080,5 or 1,080.5).
/// A field may be a number with either mark, with one only, or with neither.
/// Where the columns are separated by blanks a comma is no part of a number.
enum class NumberKind {
    kNotNumber,
    kPlain,        ///< no mark at all: the same number either way
    kPointOnly,    ///< a number only with a decimal point
    kCommaOnly,    ///< a number only with a decimal comma
    kEitherPoint,  ///< one point before three digits, 1.080: 1080 or 1.08
    kEitherComma,  ///< one comma before three digits, 1,080: 1.08 or 1080
};
NumberKind number_kind(Text t, Separator sep);

/// The decimal mark of a file, once decided.
enum class DecimalMark : char { kUndecided = '\0', kPoint = '.', kComma = ',' };

/// Most characters of a number that reads both ways: a sign, three digits,
/// the mark, three digits.
constexpr std::size_t kEitherWayText = 8;

/// Writes the number `t` as the measurement file takes it, read with `mark`
/// (kUndecided for a number without a mark): the grouping marks dropped, the
/// decimal mark made a point, everything else as written. `t` must be a
/// number under `mark`; `out` needs t.n bytes. Returns the length written.
std::size_t plain_number(Text t, DecimalMark mark, char* out);

/// Whether `t` is a whole number as written: an optional sign and digits.
bool is_integer(Text t);

}  // namespace vextal
