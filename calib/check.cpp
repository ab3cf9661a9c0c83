#include "calib/check.h"

#include <cmath>
#include <cstdio>

#include "calib/check_text.h"
#include "calib/fit.h"
#include "common/console.h"
#include "data/measurement.h"

namespace vextal {
namespace {

using check_text::record;
using check_text::record_count;
using check_text::Text;

// The stage unit is the table's tenth.
constexpr double kEntryScale = 10.0;
constexpr int32_t kInt16Min = -32768;
constexpr int32_t kInt16Max = 32767;

// The next warning's line, to be filled in; past the last one, a line that
// is not kept.
Text next_warning(Warnings& warnings) {
    if (warnings.count >= kMaxWarnings) return Text(nullptr, 0);
    return Text(warnings.text[static_cast<std::size_t>(warnings.count++)].data(), kWarningSize);
}

}  // namespace

bool firmware_answer(const FirmwareTable& table, int32_t reading, double& answer) {
    const int32_t index = reading / 2;
    if (index < 0 || index >= table.count) return false;
    const int32_t entry = table.entries[static_cast<std::size_t>(index)];
    if (entry == kOutOfRangeEntry) return false;
    answer = entry / kEntryScale;
    return true;
}

bool default_working_range(const MeasurementTable& run, double& nearest, double& farthest) {
    const int32_t n = record_count(run);
    if (n == 0) return false;
    nearest = record(run, find_peak(run, n)).stage;
    farthest = nearest;
    for (int32_t i = 0; i < n; ++i) {
        if (record(run, i).stage > farthest) farthest = record(run, i).stage;
    }
    return true;
}

void set_working_range(CheckRequest& request, double a, double b) {
    request.by_range = true;
    request.range_known = true;
    request.range_near = b < a ? b : a;
    request.range_far = b < a ? a : b;
}

void check_table(const CheckRequest& request, CheckResult& result) {
    const FirmwareTable& table = *request.table;
    result = CheckResult{};
    result.run = request.run;
    result.count = record_count(*request.run);
    const bool has_range = request.by_range && request.range_known;
    const double lo = request.range_near;
    const double hi = request.range_far;
    double sum = 0.0;
    double squares = 0.0;
    for (int32_t i = 0; i < result.count; ++i) {
        const Measurement& r = record(*request.run, i);
        CheckStatus& status = result.status[static_cast<std::size_t>(i)];
        const bool inside = request.by_range ? has_range && r.stage >= lo && r.stage <= hi
                                             : i >= request.first && i <= request.last;
        if (!inside) {
            status = CheckStatus::kOutside;
            ++result.outside;
            continue;
        }
        ++result.checked;
        double& answer = result.answer[static_cast<std::size_t>(i)];
        if (!firmware_answer(table, r.psd, answer)) {
            status = CheckStatus::kNoAnswer;
            ++result.no_answer;
            continue;
        }
        const double error = answer - r.stage;
        const bool over = request.tolerance_given && std::fabs(error) > request.tolerance;
        status = over ? CheckStatus::kOver : CheckStatus::kOk;
        if (over) ++result.over;
        // The first of several errors of the same size stands for them.
        if (result.answered == 0 || std::fabs(error) > std::fabs(result.max_error)) {
            result.max_error = error;
            result.max_record = i;
        }
        ++result.answered;
        sum += error;
        squares += error * error;
    }
    if (result.answered > 0) {
        result.mean_error = sum / result.answered;
        result.rms_error = std::sqrt(squares / result.answered);
    }
}

double check_error(const CheckResult& result, int32_t i) {
    return result.answer[static_cast<std::size_t>(i)] - record(*result.run, i).stage;
}

bool check_failed(const CheckRequest& request, const CheckResult& result) {
    return request.tolerance_given &&
           (result.over > 0 || result.no_answer > 0 || result.checked == 0);
}

// ---- warnings ----

namespace {

int32_t entry_at(const FirmwareTable& table, int32_t i) {
    return table.entries[static_cast<std::size_t>(i)];
}

// Entries beyond int16_t, which the firmware's array cannot hold.
void wide_entries_warning(const FirmwareTable& table, Warnings& warnings) {
    int32_t wide = 0;
    int32_t first_wide = -1;
    for (int32_t i = 0; i < table.count; ++i) {
        if (entry_at(table, i) < kInt16Min || entry_at(table, i) > kInt16Max) {
            if (wide++ == 0) first_wide = i;
        }
    }
    if (wide == 0) return;
    Text text = next_warning(warnings);
    text.put(wide).put(wide == 1 ? " entry lies" : " entries lie");
    text.put(" outside -32768 to 32767 (entry ").put(first_wide).put(" is ");
    text.put(entry_at(table, first_wide));
    text.put(wide == 1 ? ") and does not fit" : ") and do not fit");
    text.put(" an int16_t array; use a wider type in the firmware, or ");
    text.put("stage positions in a coarser unit");
}

// Entries of 999 with a distance on both sides: the firmware answers "out of
// range" for readings in the middle of the table's range.
void gap_999_warning(const FirmwareTable& table, Warnings& warnings) {
    int32_t first_distance = -1;
    int32_t last_distance = -1;
    for (int32_t i = 0; i < table.count; ++i) {
        if (entry_at(table, i) == kOutOfRangeEntry) continue;
        if (first_distance < 0) first_distance = i;
        last_distance = i;
    }
    int32_t gaps = 0;
    int32_t first_gap = -1;
    for (int32_t i = first_distance + 1; i < last_distance; ++i) {
        if (entry_at(table, i) == kOutOfRangeEntry && gaps++ == 0) first_gap = i;
    }
    if (gaps == 0) return;
    Text text = next_warning(warnings);
    text.put(gaps).put(gaps == 1 ? " entry of 999 lies" : " entries of 999 lie");
    text.put(" between two distances (entry ").put(first_gap).put(", readings ");
    text.put(2 * first_gap).put(" and ").put(2 * first_gap + 1);
    text.put("): the firmware answers \"out of range\" inside the table's range");
}

// Readings of the run whose index lies past the table: the firmware would
// read beyond its array.
void past_table_warning(const MeasurementTable& run, const FirmwareTable& table,
                        const char* steps_word, Warnings& warnings) {
    int32_t past = 0;
    int32_t highest = 0;
    for (int32_t i = 0; i < record_count(run); ++i) {
        const int32_t reading = record(run, i).psd;
        if (reading / 2 < table.count) continue;
        if (past++ == 0 || reading > highest) highest = reading;
    }
    if (past == 0) return;
    Text text = next_warning(warnings);
    text.put(past).put(past == 1 ? " reading of the run lies" : " readings of the run lie");
    text.put(" past the table's ").put(table.count).put(" entries (the highest, ");
    text.put(highest).put(", has index ").put(highest / 2).put("): readings from ");
    text.put(2 * table.count).put(" up have no answer");
    if (highest / 2 < kMaxSteps) {
        text.put("; a table of ").put(steps_word).put(" ").put(highest / 2 + 1);
        text.put(" covers them");
    } else {
        text.put("; the largest table, ").put(steps_word);
        text.put(" 1000, covers readings up to 1999 only");
    }
}

}  // namespace

void table_file_warnings(const MeasurementTable& run, const FirmwareTable& table,
                         const char* steps_word, Warnings& warnings) {
    wide_entries_warning(table, warnings);
    gap_999_warning(table, warnings);
    past_table_warning(run, table, steps_word, warnings);
}

void table_warnings(const MeasurementTable& run, const Calibration& cal, const FirmwareTable& table,
                    const char* steps_word, Warnings& warnings) {
    const int32_t first_half = record(run, cal.first).psd / 2;
    const int32_t last_reading = record(run, cal.last).psd;
    const int32_t last_half = last_reading / 2;
    if (last_half >= table.count) {
        {
            Text text = next_warning(warnings);
            text.put("the stretch reaches reading ").put(last_reading).put(" (half-reading ");
            text.put(last_half).put("), beyond the table's ").put(table.count);
            text.put(" entries: readings from ")
                .put(2 * table.count)
                .put(" up are not in the table");
            if (last_half < kMaxSteps) {
                text.put("; ").put(steps_word).put(" ").put(last_half + 1);
                text.put(" covers the whole stretch");
            } else {
                text.put("; the largest table, ").put(steps_word);
                text.put(" 1000, covers readings up to 1999 only");
            }
        }
    }
    wide_entries_warning(table, warnings);
    int32_t measured_999 = 0;
    int32_t first_999 = -1;
    for (int32_t i = first_half; i <= last_half && i < table.count; ++i) {
        if (i >= 0 && table.entries[static_cast<std::size_t>(i)] == kOutOfRangeEntry) {
            if (measured_999++ == 0) first_999 = i;
        }
    }
    if (measured_999 > 0) {
        {
            Text text = next_warning(warnings);
            text.put(measured_999).put(measured_999 == 1 ? " entry" : " entries");
            text.put(measured_999 == 1 ? " of the stretch holds" : " of the stretch hold");
            text.put(" 999 as a measured distance (entry ").put(first_999);
            text.put(", ");
            text.fixed(cal.requantized[static_cast<std::size_t>(first_999)].y, 2);
            text.put("), which the firmware cannot tell from \"out of range\"; give the stage ");
            text.put("positions in another unit, so that no distance of the stretch lies between ");
            text.put("99.9 and 100");
        }
    }
}

namespace {

// The stretch was ended by record `end` (0-based, next to the stretch);
// `beyond` is the first record past it whose reading goes on the stretch's
// way.
void cut_short_warning(const MeasurementTable& run, Warnings& warnings, int32_t end, int32_t beyond,
                       bool before) {
    Text text = next_warning(warnings);
    const Measurement& r = record(run, end);
    text.put("the stretch was cut short at record ").put(end + 1).put(" (stage ");
    text.fixed(r.stage, 2).put(", reading ").put(r.psd).put(", after ");
    text.put(record(run, end - 1).psd).put(" and before ").put(record(run, end + 1).psd);
    text.put("): the readings go on ");
    text.put(before ? "falling before it (to " : "rising after it (to ")
        .put(record(run, beyond).psd);
    text.put(" at record ").put(beyond + 1).put("), as after a noisy reading; correct or measure ");
    text.put("the readings around it again to use the whole run");
}

}  // namespace

void run_warnings(const MeasurementTable& run, int32_t first, int32_t last, Warnings& warnings) {
    const int32_t n = record_count(run);
    if (n < 2 || first < 0 || last >= n || first > last) return;
    // Before the stretch: an earlier reading below its first one.
    if (first >= 2) {
        const int32_t low = record(run, first).psd;
        for (int32_t j = first - 2; j >= 0; --j) {
            if (record(run, j).psd < low) {
                cut_short_warning(run, warnings, first - 1, j, true);
                break;
            }
        }
    }
    // After it: a later reading above its last one.
    if (last + 2 < n) {
        const int32_t high = record(run, last).psd;
        for (int32_t j = last + 2; j < n; ++j) {
            if (record(run, j).psd > high) {
                cut_short_warning(run, warnings, last + 1, j, false);
                break;
            }
        }
    }
    int32_t falls = 0;
    int32_t rises = 0;
    for (int32_t i = 1; i < n; ++i) {
        if (record(run, i).psd < record(run, i - 1).psd) ++falls;
        if (record(run, i).psd > record(run, i - 1).psd) ++rises;
    }
    if (falls > rises) {
        {
            Text text = next_warning(warnings);
            text.put(falls).put(" of the run's neighbouring readings fall and ").put(rises);
            text.put(" rise: the run seems to go from near to far, while the table needs far ");
            text.put("to near; write its records from the farthest position to the nearest");
        }
    }
}

void print_warnings(const Warnings& warnings) {
    for (int32_t i = 0; i < warnings.count; ++i) {
        console_puts(stdout, "warning: ");
        console_puts(stdout, warnings.text[static_cast<std::size_t>(i)].data());
        console_puts(stdout, "\n");
    }
}

}  // namespace vextal
