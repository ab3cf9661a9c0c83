#include "calib/check.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/console.h"
#include "data/measurement.h"
#include "files/sys_file.h"
#include "text/format.h"

namespace vextal {
namespace {

// The stage unit is the table's tenth.
constexpr double kEntryScale = 10.0;
constexpr int32_t kInt16Min = -32768;
constexpr int32_t kInt16Max = 32767;

const Measurement& record(const MeasurementTable& run, int32_t i) {
    return run.records[static_cast<std::size_t>(i)];
}

int32_t record_count(const MeasurementTable& run) {
    const int32_t n = run.count;
    return n < 0 ? 0 : (n > kMaxMeasurements ? kMaxMeasurements : n);
}

// A line of text built piece by piece, NUL-terminated, cut where it would
// overflow.
struct Text {
    char* out;
    std::size_t room;  // bytes of `out`
    std::size_t n = 0;

    /// Without a buffer, a line that is built and not kept.
    Text(char* buffer, std::size_t size) : out(buffer), room(size) {
        if (out != nullptr) out[0] = '\0';
    }
    template <std::size_t N>
    explicit Text(char (&buffer)[N]) : Text(buffer, N) {}
    Text& put(const char* text, std::size_t size) {
        if (out == nullptr) return *this;
        if (size > room - 1 - n) size = room - 1 - n;
        std::memcpy(out + n, text, size);
        n += size;
        out[n] = '\0';
        return *this;
    }
    Text& put(const char* text) { return put(text, std::strlen(text)); }
    Text& put(int32_t value) {
        char digits[kIntTextMax];
        return put(digits, format_int(value, 0, digits));
    }
    Text& fixed(double value, int decimals) {
        char digits[kFixedTextMax];
        return put(digits, format_fixed(value, decimals, digits));
    }
};

// The next warning's line, to be filled in; past the last one, a line that
// is not kept.
Text next_warning(Warnings& warnings) {
    if (warnings.count >= kMaxWarnings) return Text(nullptr, 0);
    return Text(warnings.text[static_cast<std::size_t>(warnings.count++)].data(), kWarningSize);
}

// The table's smallest and largest answer; false when it gives none.
bool answer_range(const FirmwareTable& table, double& lo, double& hi) {
    bool any = false;
    for (int32_t i = 0; i < table.count; ++i) {
        const int32_t entry = table.entries[static_cast<std::size_t>(i)];
        if (entry == kOutOfRangeEntry) continue;
        const double answer = entry / kEntryScale;
        if (!any || answer < lo) lo = answer;
        if (!any || answer > hi) hi = answer;
        any = true;
    }
    return any;
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

void check_table(const CheckRequest& request, CheckResult& result) {
    const FirmwareTable& table = *request.table;
    result = CheckResult{};
    result.run = request.run;
    result.count = record_count(*request.run);
    double lo = 0.0;
    double hi = 0.0;
    const bool has_range = request.by_range && answer_range(table, lo, hi);
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
    return request.tolerance_given && (result.over > 0 || result.no_answer > 0);
}

// ---- warnings ----

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
    int32_t wide = 0;
    int32_t first_wide = -1;
    int32_t measured_999 = 0;
    int32_t first_999 = -1;
    for (int32_t i = 0; i < table.count; ++i) {
        const int32_t entry = table.entries[static_cast<std::size_t>(i)];
        if (entry < kInt16Min || entry > kInt16Max) {
            if (wide++ == 0) first_wide = i;
        }
        if (entry == kOutOfRangeEntry && i >= first_half && i <= last_half) {
            if (measured_999++ == 0) first_999 = i;
        }
    }
    if (wide > 0) {
        {
            Text text = next_warning(warnings);
            text.put(wide).put(wide == 1 ? " entry lies" : " entries lie");
            text.put(" outside -32768 to 32767 (entry ").put(first_wide).put(" is ");
            text.put(table.entries[static_cast<std::size_t>(first_wide)]);
            text.put(wide == 1 ? ") and does not fit" : ") and do not fit");
            text.put(" an int16_t array; use a wider type in the firmware, or ");
            text.put("stage positions in a coarser unit");
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

// ---- the report ----

namespace {

// " <unit>" after a figure in stage units, as every message writes a word
// of the command line; nothing without a unit.
Text& put_unit(Text& text, const CheckRequest& request) {
    if (request.unit == nullptr) return text;
    char shown[kSummarySize];
    return text.put(" ").put(shown, sys_name_text(request.unit, shown, sizeof shown));
}

}  // namespace

void check_summary_line(const CheckRequest& request, const CheckResult& result, int line,
                        char (&out)[kSummarySize]) {
    Text text(out);
    const bool any = result.max_record >= 0;
    switch (line) {
        case 0:
            text.put("points: ").put(result.checked).put(" checked, ").put(result.outside);
            text.put(" outside the table's range");
            break;
        case 1:
            text.put("no answer: ").put(result.no_answer);
            break;
        case 2:
            text.put("max error: ");
            if (!any) {
                text.put("none");
                break;
            }
            put_unit(text.fixed(result.max_error, 2), request).put(" at stage ");
            put_unit(text.fixed(record(*result.run, result.max_record).stage, 2), request)
                .put(" (reading ");
            text.put(record(*result.run, result.max_record).psd).put(")");
            break;
        case 3:
            text.put("mean error: ");
            any ? put_unit(text.fixed(result.mean_error, 2), request) : text.put("none");
            break;
        default:
            text.put("rms error: ");
            any ? put_unit(text.fixed(result.rms_error, 2), request) : text.put("none");
            break;
    }
}

void check_result_line(const CheckRequest& request, const CheckResult& result,
                       char (&out)[kSummarySize]) {
    Text text(out);
    if (!check_failed(request, result)) {
        text.put("result: pass");
        return;
    }
    text.put("result: FAIL: ");
    if (result.over > 0) {
        text.put(result.over).put(result.over == 1 ? " point" : " points");
        put_unit(text.put(" off by more than ").fixed(request.tolerance, 2), request);
        if (result.no_answer > 0) text.put(", ");
    }
    if (result.no_answer > 0) {
        text.put(result.no_answer).put(result.no_answer == 1 ? " point" : " points");
        text.put(" without an answer");
    }
}

void print_warnings(const Warnings& warnings) {
    for (int32_t i = 0; i < warnings.count; ++i) {
        console_puts(stdout, "warning: ");
        console_puts(stdout, warnings.text[static_cast<std::size_t>(i)].data());
        console_puts(stdout, "\n");
    }
}

void print_check_report(const CheckRequest& request, const CheckResult& result,
                        const Warnings& warnings) {
    char line[kSummarySize];
    for (int i = 0; i < kSummaryLines; ++i) {
        check_summary_line(request, result, i, line);
        console_puts(stdout, line);
        console_puts(stdout, "\n");
    }
    print_warnings(warnings);
    if (request.tolerance_given) {
        check_result_line(request, result, line);
        console_puts(stdout, line);
        console_puts(stdout, "\n");
    }
}

void write_check_csv(OutFile& out, const CheckResult& result) {
    static constexpr char kStatus[][10] = {"ok", "over", "no answer", "outside"};
    out_text(out, "no,stage,psd,index,answer,error,status\n");
    for (int32_t i = 0; i < result.count; ++i) {
        const Measurement& r = record(*result.run, i);
        const CheckStatus status = result.status[static_cast<std::size_t>(i)];
        char line[2 * kIntTextMax + kRoundTripTextMax + 3 * kFixedTextMax + 16];
        Text text(line);
        text.put(i + 1).put(",");
        if (std::isfinite(r.stage)) {
            char stage[kRoundTripTextMax];
            text.put(stage, format_round_trip(r.stage, stage));
        } else {
            text.fixed(r.stage, 2);
        }
        text.put(",");
        text.put(r.psd).put(",").put(r.psd / 2).put(",");
        if (status == CheckStatus::kOk || status == CheckStatus::kOver) {
            text.fixed(result.answer[static_cast<std::size_t>(i)], 1).put(",");
            text.fixed(check_error(result, i), 2);
        } else {
            text.put(",");
        }
        text.put(",").put(kStatus[static_cast<int>(status)]);
        out_line(out, line, text.n);
    }
}

}  // namespace vextal
