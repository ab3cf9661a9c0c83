#include <cmath>
#include <cstdio>

#include "calib/check.h"
#include "calib/check_text.h"
#include "common/console.h"
#include "data/measurement.h"
#include "files/sys_file.h"
#include "text/format.h"

// The check's report: the summary lines, the result line and the CSV.
namespace vextal {

using check_text::record;
using check_text::Text;

namespace {

// " <unit>" after a figure in stage units, as every message writes a word
// of the command line; nothing without a unit.
Text& put_unit(Text& text, const CheckRequest& request) {
    if (request.unit == nullptr) return text;
    char shown[kSummarySize];
    return text.put(" ").put(shown, sys_name_text(request.unit, shown, sizeof shown));
}

// A stage in the shortest form that reads back the same value.
Text& put_stage(Text& text, double stage) {
    if (!std::isfinite(stage)) return text.fixed(stage, 2);
    char shown[kRoundTripTextMax];
    return text.put(shown, format_round_trip(stage, shown));
}

}  // namespace

void check_summary_line(const CheckRequest& request, const CheckResult& result, int line,
                        char (&out)[kSummarySize]) {
    Text text(out);
    const bool any = result.max_record >= 0;
    switch (line) {
        case 0:
            text.put("points: ").put(result.checked).put(" checked, ").put(result.outside);
            if (!request.by_range) {
                text.put(" outside the table's range");
            } else if (!request.range_known) {
                text.put(" outside the working range, which a run without records lacks");
            } else {
                put_unit(put_stage(text.put(" outside the working range "), request.range_near),
                         request);
                put_unit(put_stage(text.put(" to "), request.range_far), request);
            }
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
    if (result.checked == 0) text.put("no record was judged: ");
    text.put(result.over).put(result.over == 1 ? " point" : " points");
    put_unit(text.put(" off by more than ").fixed(request.tolerance, 2), request);
    text.put(", ").put(result.no_answer).put(result.no_answer == 1 ? " point" : " points");
    text.put(" without an answer");
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
