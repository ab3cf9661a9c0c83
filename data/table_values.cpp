#include "data/table_values.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "data/import_state.h"
#include "data/table_records.h"
#include "text/numscan.h"

namespace vextal {

namespace {

const char* mark_name(DecimalMark mark) {
    return mark == DecimalMark::kPoint ? "point" : "comma";
}

bool waits(const ImportState& state, NumberKind kind) {
    return state.values.mark == DecimalMark::kUndecided &&
           (kind == NumberKind::kEitherPoint || kind == NumberKind::kEitherComma);
}

// The mark a field of `kind` is read by once it no longer waits.
DecimalMark mark_for(const ImportState& state, NumberKind kind) {
    if (kind == NumberKind::kPointOnly) return DecimalMark::kPoint;
    if (kind == NumberKind::kCommaOnly) return DecimalMark::kComma;
    return state.values.mark;
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

void take_reading(ImportState& state, LineNo line_no, Text field, DecimalMark mark,
                  RecordText& point) {
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
        char after[120];
        std::snprintf(after, sizeof after,
                      " is not a whole number; to round each reading to the nearest whole "
                      "number, give %s",
                      state.options->words.round);
        fail_field(line_no, "the reading ", field, after);
    }
    // Rounded on the digits as written, halves away from zero: a double
    // would round 2.4999999999999999 up.
    bool changed = false;
    if (!round_decimal_text(text, point.psd, changed)) {
        fail_field(line_no, "the reading ", field, " is out of range");
    }
    if (changed) ++state.table->rounded;
}

// A waiting line, read now that the mark is known.
void release(ImportState& state, WaitingLine& w) {
    if (w.position_n > 0) {
        take_position(w.line, {w.position.data(), w.position_n}, state.values.mark, w.point);
    }
    if (w.reading_n > 0) {
        take_reading(state, w.line, {w.reading.data(), w.reading_n}, state.values.mark, w.point);
    }
    records_add(state, w.line, w.point);
}

void release_waiting(ImportState& state) {
    for (int32_t i = 0; i < state.values.waiting; ++i)
        release(state, state.values.lines[static_cast<std::size_t>(i)]);
    state.values.waiting = 0;
}

// A field that reads only one way decides the file's mark, or must agree
// with it.
void settle(ImportState& state, LineNo line_no, const char* what, Text field, NumberKind kind) {
    if (kind != NumberKind::kPointOnly && kind != NumberKind::kCommaOnly) return;
    const DecimalMark own =
        kind == NumberKind::kPointOnly ? DecimalMark::kPoint : DecimalMark::kComma;
    if (state.values.mark == DecimalMark::kUndecided) {
        state.values.mark = own;
        state.values.mark_line = line_no;
        release_waiting(state);
        return;
    }
    if (state.values.mark == own) return;
    char after[120];
    if (state.values.mark_line == 0) {
        std::snprintf(after, sizeof after, " is a number only with a decimal %s, not with %s %s",
                      mark_name(own), state.options->words.decimal, mark_name(state.values.mark));
    } else {
        std::snprintf(after, sizeof after,
                      " is a number only with a decimal %s, but line %s has a decimal %s",
                      mark_name(own), number_text(state.values.mark_line).text,
                      mark_name(state.values.mark));
    }
    fail_field(line_no, what, field, after);
}

// A number that still reads two ways at the end of the file.
[[noreturn]] void fail_either_way(const ImportState& state, LineNo line_no, const char* what,
                                  Text field) {
    char comma[kEitherWayText];
    char point[kEitherWayText];
    const int comma_n = static_cast<int>(plain_number(field, DecimalMark::kComma, comma));
    const int point_n = static_cast<int>(plain_number(field, DecimalMark::kPoint, point));
    const char* decimal = state.options->words.decimal;
    char after[160];
    std::snprintf(after, sizeof after,
                  " reads as %.*s with a decimal comma and as %.*s with a decimal point; say "
                  "which with %s comma or %s point",
                  comma_n, comma, point_n, point, decimal, decimal);
    fail_field(line_no, what, field, after);
}

// Where no line decided, a file separated by commas or blanks has the
// decimal point and one separated by semicolons or tabs the decimal comma,
// as such files have always been read; a number that this does not settle
// (1.080 with semicolons) cannot be read.
void settle_by_custom(ImportState& state) {
    const bool point =
        state.values.sep == Separator::kComma || state.values.sep == Separator::kBlank;
    const NumberKind settled = point ? NumberKind::kEitherPoint : NumberKind::kEitherComma;
    state.values.mark = point ? DecimalMark::kPoint : DecimalMark::kComma;
    for (int32_t i = 0; i < state.values.waiting; ++i) {
        WaitingLine& w = state.values.lines[static_cast<std::size_t>(i)];
        const Text position{w.position.data(), w.position_n};
        const Text reading{w.reading.data(), w.reading_n};
        if (w.position_n > 0 && number_kind(position, state.values.sep) != settled) {
            fail_either_way(state, w.line, "the position ", position);
        }
        if (w.reading_n > 0 && number_kind(reading, state.values.sep) != settled) {
            fail_either_way(state, w.line, "the reading ", reading);
        }
        release(state, w);
    }
    state.values.waiting = 0;
}

// One field of a data line: taken now where it reads one way or the mark is
// known, kept for later where it waits.
void take_field(ImportState& state, LineNo line_no, Text field, bool position, WaitingLine& entry) {
    const char* what = position ? "the position " : "the reading ";
    if (field.n == 0) {
        fail_line(line_no, position ? "the position is missing" : "the reading is missing");
    }
    const NumberKind kind = number_kind(field, state.values.sep);
    if (kind == NumberKind::kNotNumber) fail_field(line_no, what, field, " is not a number");
    settle(state, line_no, what, field, kind);
    if (waits(state, kind)) {
        // A number that reads both ways has a mark before three digits and
        // at most three digits before it.
        auto& kept = position ? entry.position : entry.reading;
        if (field.n > kept.size()) fail_field(line_no, what, field, " is not a number");
        std::memcpy(kept.data(), field.p, field.n);
        (position ? entry.position_n : entry.reading_n) = field.n;
    } else if (position) {
        take_position(line_no, field, mark_for(state, kind), entry.point);
    } else {
        take_reading(state, line_no, field, mark_for(state, kind), entry.point);
    }
}

}  // namespace

void values_start(ImportState& state) {
    ImportValues& values = state.values;
    values.sep = Separator::kNone;
    values.mark = static_cast<DecimalMark>(state.options->decimal_mark);
    values.mark_line = 0;
    values.waiting = 0;
}

int32_t values_waiting(const ImportState& state) {
    return state.values.waiting;
}

void take_values(ImportState& state, LineNo line_no, Separator sep, Text position, Text reading) {
    state.values.sep = sep;
    WaitingLine entry;
    entry.line = line_no;
    take_field(state, line_no, position, true, entry);
    take_field(state, line_no, reading, false, entry);
    // A reading that decided the mark settles the position before it.
    if (entry.position_n > 0 && state.values.mark != DecimalMark::kUndecided) {
        take_position(line_no, {entry.position.data(), entry.position_n}, state.values.mark,
                      entry.point);
        entry.position_n = 0;
    }
    if (entry.position_n == 0 && entry.reading_n == 0 && state.values.waiting == 0) {
        records_add(state, line_no, entry.point);
        return;
    }
    if (state.values.waiting >= kMaxMeasurements) {
        const char* decimal = state.options->words.decimal;
        char what[160];
        std::snprintf(what, sizeof what,
                      "more than 1000 lines wait for the decimal mark to be known; say which "
                      "with %s comma or %s point",
                      decimal, decimal);
        fail_line(line_no, what);
    }
    state.values.lines[static_cast<std::size_t>(state.values.waiting++)] = entry;
}

void values_finish(ImportState& state, Separator sep) {
    state.values.sep = sep;
    if (state.values.waiting > 0) settle_by_custom(state);
}

}  // namespace vextal
