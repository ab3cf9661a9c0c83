#include "app/warning_words.h"

#include <cstdio>

#include "app/cli_table.h"
#include "common/console.h"
#include "common/error_exit.h"
#include "common/settings.h"
#include "text/format.h"

namespace vextal {
namespace {

// A warning under -strict ends the run as a failed -tol does.
constexpr int kExitStrict = 1;

// The next warning's line, or null past the last one.
char* next_line(Warnings& warnings) {
    if (warnings.count >= kMaxWarnings) return nullptr;
    return warnings.text[static_cast<std::size_t>(warnings.count++)].data();
}

// The record numbers as the user counts them, from 1: "12", "12 and 40",
// "12, 40, 77 and 90", and how many more beyond those named.
void record_list(const NamedRecords& named, char (&out)[96]) {
    const int32_t shown = named.count < kNamedRecords ? named.count : kNamedRecords;
    int n = 0;
    for (int32_t k = 0; k < shown; ++k) {
        const char* before =
            k == 0 ? "" : (k + 1 == shown && shown == named.count ? " and " : ", ");
        n += std::snprintf(out + n, sizeof out - static_cast<std::size_t>(n), "%s%d", before,
                           named.record[static_cast<std::size_t>(k)] + 1);
    }
    if (named.count > shown) {
        std::snprintf(out + n, sizeof out - static_cast<std::size_t>(n), " and %d more",
                      named.count - shown);
    }
}

void scale_warning(const NamedRecords& named, int32_t reading, const char* what,
                   Warnings& warnings) {
    char* line = next_line(warnings);
    if (line == nullptr) return;
    char records[96];
    record_list(named, records);
    const bool one = named.count == 1;
    std::snprintf(line, kWarningSize,
                  "%d reading%s of %d in the branch (from the farthest stage to the peak), at "
                  "record%s %s: %s; measure %s again",
                  named.count, one ? "" : "s", reading, one ? "" : "s", records, what,
                  one ? "it" : "them");
}

int bits_of(int32_t full_scale) {
    return full_scale == 255 ? 8 : full_scale == 1023 ? 10 : 12;
}

}  // namespace

void branch_warnings(const MeasurementTable& run, int32_t first, int32_t last, bool fit,
                     Warnings& warnings) {
    BranchFindings f;
    find_branch_faults(run, first, last, f);
    if (f.zeros.count > 0) {
        scale_warning(f.zeros, 0, "the sensor dropped out there", warnings);
    }
    if (f.full.count > 0) {
        char what[64];
        std::snprintf(what, sizeof what,
                      "the full scale of %d-bit readings, a spike or an overload",
                      bits_of(f.full_scale));
        scale_warning(f.full, f.full_scale, what, warnings);
    }
    if (!fit && f.branch > 0 && stretch_leaves_branch(f)) {
        char* line = next_line(warnings);
        if (line != nullptr) {
            std::snprintf(line, kWarningSize,
                          "the monotone stretch holds %d of the branch's %d records (from the "
                          "farthest stage to the peak), so the table leaves the rest unused; %s "
                          "uses the whole branch",
                          f.stretch, f.branch, option_word(OptionId::kFit));
        }
    }
    if (f.repeated > 0) {
        char* line = next_line(warnings);
        if (line == nullptr) return;
        char stage[kFixedTextMax + 1];
        stage[format_fixed(run.records[static_cast<std::size_t>(f.repeat_first)].stage, 2, stage)] =
            '\0';
        std::snprintf(line, kWarningSize,
                      "%d stage%s hold%s several records (the first: records %d and %d, stage "
                      "%.40s): repeated readings; import %s makes one record of their mean at "
                      "each position",
                      f.repeated, f.repeated == 1 ? "" : "s", f.repeated == 1 ? "s" : "",
                      f.repeat_first + 1, f.repeat_next + 1, stage, option_word(OptionId::kMean));
    }
}

void print_warnings_to_stderr(const Warnings& warnings) {
    for (int32_t i = 0; i < warnings.count; ++i) {
        console_puts(stderr, "Warning: ");
        console_puts(stderr, warnings.text[static_cast<std::size_t>(i)].data());
        console_puts(stderr, "\n");
    }
}

void end_if_strict(const Warnings& warnings, const char* what) {
    if (g_settings.strict == 0 || warnings.count == 0) return;
    char message[160];
    std::snprintf(message, sizeof message, "%d warning%s with %s: %s", warnings.count,
                  warnings.count == 1 ? "" : "s", option_word(OptionId::kStrict), what);
    error_exit(message, kExitStrict);
}

}  // namespace vextal
