#include "data/table_values.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/table_records.h"
#include "text/format.h"
#include "text/numscan.h"

namespace vextal {

namespace {

constexpr char kSayWhich[] = "; say which with -decimal comma or -decimal point";

const char* mark_name(DecimalMark mark) {
    return mark == DecimalMark::kPoint ? "point" : "comma";
}

// A data line that waits for the file's decimal mark: a field of it reads
// two ways, or one before it does. Such a field is short (kEitherWayText).
struct Waiting {
    LineNo line = 0;
    RecordText point;
    std::array<char, kEitherWayText> position{};
    std::array<char, kEitherWayText> reading{};
    std::size_t position_n = 0;  // nonzero where the position waits
    std::size_t reading_n = 0;   // nonzero where the reading waits
};

struct ValueState {
    const ImportOptions* options = nullptr;
    ImportTable* table = nullptr;
    Separator sep = Separator::kNone;
    DecimalMark mark = DecimalMark::kUndecided;
    LineNo mark_line = 0;  // 0 where -decimal gave the mark
    int32_t waiting = 0;
};

ValueState state;
std::array<Waiting, kMaxMeasurements> waiting;

bool waits(NumberKind kind) {
    return state.mark == DecimalMark::kUndecided &&
           (kind == NumberKind::kEitherPoint || kind == NumberKind::kEitherComma);
}

// The mark a field of `kind` is read by once it no longer waits.
DecimalMark mark_for(NumberKind kind) {
    if (kind == NumberKind::kPointOnly) return DecimalMark::kPoint;
    if (kind == NumberKind::kCommaOnly) return DecimalMark::kComma;
    return state.mark;
}

void take_position(LineNo line_no, Text field, DecimalMark mark, RecordText& point) {
    char text[kLineSize];
    const std::size_t n = plain_number(field, mark, text);
    if (n > kMaxStageText) fail_line(line_no, "the position has more than 100 characters");
    std::memcpy(point.stage.data(), text, n);
    point.stage[n] = '\0';
    // The number reader holds a value beyond the doubles at the largest one,
    // which is then no longer the number written; the largest itself goes
    // with them.
    if (!(std::fabs(text_to_double(point.stage.data())) < DBL_MAX)) {
        fail_field(line_no, "the position ", field, " is out of range");
    }
}

// The whole number `text` (NUL-terminated) as a reading, when it is one.
bool reading_value(const char* text, int32_t& psd) {
    // Every integer of this size is exact as a double, so the bounds are too.
    const double value = text_to_double(text);
    if (value < INT32_MIN || value > INT32_MAX) return false;
    psd = text_to_int(text);
    return true;
}

void take_reading(LineNo line_no, Text field, DecimalMark mark, RecordText& point) {
    char text[kLineSize];
    const std::size_t n = plain_number(field, mark, text);
    text[n] = '\0';
    if (is_integer({text, n})) {
        if (!reading_value(text, point.psd)) {
            fail_field(line_no, "the reading ", field, " is out of range");
        }
        return;
    }
    if (!state.options->round) {
        fail_field(line_no, "the reading ", field,
                   " is not a whole number; to round each reading to the nearest whole "
                   "number, give -round");
    }
    // Rounded as every number the program writes: halves away from zero.
    const double value = text_to_double(text);
    char whole[kFixedTextMax + 1];
    whole[format_fixed(value, 0, whole)] = '\0';
    if (!reading_value(whole, point.psd)) {
        fail_field(line_no, "the reading ", field, " is out of range");
    }
    if (point.psd != value) ++state.table->rounded;
}

// A waiting line, read now that the mark is known.
void release(Waiting& w) {
    if (w.position_n > 0) {
        take_position(w.line, {w.position.data(), w.position_n}, state.mark, w.point);
    }
    if (w.reading_n > 0) {
        take_reading(w.line, {w.reading.data(), w.reading_n}, state.mark, w.point);
    }
    records_add(w.line, w.point, *state.table);
}

void release_waiting() {
    for (int32_t i = 0; i < state.waiting; ++i) release(waiting[static_cast<std::size_t>(i)]);
    state.waiting = 0;
}

// A field that reads only one way decides the file's mark, or must agree
// with it.
void settle(LineNo line_no, const char* what, Text field, NumberKind kind) {
    if (kind != NumberKind::kPointOnly && kind != NumberKind::kCommaOnly) return;
    const DecimalMark own =
        kind == NumberKind::kPointOnly ? DecimalMark::kPoint : DecimalMark::kComma;
    if (state.mark == DecimalMark::kUndecided) {
        state.mark = own;
        state.mark_line = line_no;
        release_waiting();
        return;
    }
    if (state.mark == own) return;
    char after[120];
    if (state.mark_line == 0) {
        std::snprintf(after, sizeof after,
                      " is a number only with a decimal %s, not with -decimal %s", mark_name(own),
                      mark_name(state.mark));
    } else {
        std::snprintf(after, sizeof after,
                      " is a number only with a decimal %s, but line %s has a decimal %s",
                      mark_name(own), number_text(state.mark_line).text, mark_name(state.mark));
    }
    fail_field(line_no, what, field, after);
}

// A number that still reads two ways at the end of the file.
[[noreturn]] void fail_either_way(LineNo line_no, const char* what, Text field) {
    char comma[kEitherWayText];
    char point[kEitherWayText];
    const int comma_n = static_cast<int>(plain_number(field, DecimalMark::kComma, comma));
    const int point_n = static_cast<int>(plain_number(field, DecimalMark::kPoint, point));
    char after[160];
    std::snprintf(after, sizeof after,
                  " reads as %.*s with a decimal comma and as %.*s with a decimal point%s", comma_n,
                  comma, point_n, point, kSayWhich);
    fail_field(line_no, what, field, after);
}

// Where no line decided, a file separated by commas or blanks has the
// decimal point and one separated by semicolons or tabs the decimal comma,
// as such files have always been read; a number that this does not settle
// (1.080 with semicolons) cannot be read.
void settle_by_custom() {
    const bool point = state.sep == Separator::kComma || state.sep == Separator::kBlank;
    const NumberKind settled = point ? NumberKind::kEitherPoint : NumberKind::kEitherComma;
    state.mark = point ? DecimalMark::kPoint : DecimalMark::kComma;
    for (int32_t i = 0; i < state.waiting; ++i) {
        Waiting& w = waiting[static_cast<std::size_t>(i)];
        const Text position{w.position.data(), w.position_n};
        const Text reading{w.reading.data(), w.reading_n};
        if (w.position_n > 0 && number_kind(position, state.sep) != settled) {
            fail_either_way(w.line, "the position ", position);
        }
        if (w.reading_n > 0 && number_kind(reading, state.sep) != settled) {
            fail_either_way(w.line, "the reading ", reading);
        }
        release(w);
    }
    state.waiting = 0;
}

// One field of a data line: taken now where it reads one way or the mark is
// known, kept for later where it waits.
void take_field(LineNo line_no, Text field, bool position, Waiting& entry) {
    const char* what = position ? "the position " : "the reading ";
    if (field.n == 0) {
        fail_line(line_no, position ? "the position is missing" : "the reading is missing");
    }
    const NumberKind kind = number_kind(field, state.sep);
    if (kind == NumberKind::kNotNumber) fail_field(line_no, what, field, " is not a number");
    settle(line_no, what, field, kind);
    if (waits(kind)) {
        // A number that reads both ways has a mark before three digits and
        // at most three digits before it.
        auto& kept = position ? entry.position : entry.reading;
        if (field.n > kept.size()) fail_field(line_no, what, field, " is not a number");
        std::memcpy(kept.data(), field.p, field.n);
        (position ? entry.position_n : entry.reading_n) = field.n;
    } else if (position) {
        take_position(line_no, field, mark_for(kind), entry.point);
    } else {
        take_reading(line_no, field, mark_for(kind), entry.point);
    }
}

}  // namespace

void values_start(const ImportOptions& options, ImportTable& table) {
    state = ValueState{};
    state.options = &options;
    state.table = &table;
    state.mark = static_cast<DecimalMark>(options.decimal_mark);
}

int32_t values_waiting() {
    return state.waiting;
}

void take_values(LineNo line_no, Separator sep, Text position, Text reading) {
    state.sep = sep;
    Waiting entry;
    entry.line = line_no;
    take_field(line_no, position, true, entry);
    take_field(line_no, reading, false, entry);
    // A reading that decided the mark settles the position before it.
    if (entry.position_n > 0 && state.mark != DecimalMark::kUndecided) {
        take_position(line_no, {entry.position.data(), entry.position_n}, state.mark, entry.point);
        entry.position_n = 0;
    }
    if (entry.position_n == 0 && entry.reading_n == 0 && state.waiting == 0) {
        records_add(line_no, entry.point, *state.table);
        return;
    }
    if (state.waiting >= kMaxMeasurements) {
        fail_line(line_no,
                  "more than 1000 lines wait for the decimal mark to be known; say which "
                  "with -decimal comma or -decimal point");
    }
    waiting[static_cast<std::size_t>(state.waiting++)] = entry;
}

void values_finish(Separator sep) {
    state.sep = sep;
    if (state.waiting > 0) settle_by_custom();
}

}  // namespace vextal
