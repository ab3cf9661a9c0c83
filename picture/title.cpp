#include "picture/title.h"

#include <cstring>

#include "picture/style.h"
#include "text/format.h"

namespace vextal {
namespace {

using namespace style;

// Longest part of a name or comment shown in the title, in bytes: a name is
// cut in the middle beyond it, so that the title's line stays on the canvas.
constexpr std::size_t kShownName = 46;
constexpr std::size_t kShownComment = 90;

const Measurement& record(const PictureContent& c, int32_t i) {
    return c.measurements->records[static_cast<std::size_t>(i)];
}

void title_line_open(Svg& svg, double y, Face face, const char* fill) {
    svg_text_open(svg, kTitleLeft, y, kLineSize, face, "start", fill);
}

void name_line(Svg& svg, const PictureContent& c, const char* what) {
    svg_text_open(svg, kTitleLeft, kTitleY, kTitleSize, Face::kBold, "start", kInk);
    svg_put_name(svg, c.name != nullptr ? c.name : "", kShownName);
    svg_put(svg, what);
    svg_text_close(svg);
}

void header_values(Svg& svg, const PictureContent& c) {
    title_line_open(svg, kHeaderY, Face::kPlain, kInk);
    if (c.serial_number.given) {
        svg_put(svg, "sn ");
        svg_put_int(svg, c.serial_number.value);
        svg_put(svg, ", ");
    }
    if (c.average.given) {
        svg_put(svg, "avg ");
        svg_put_int(svg, c.average.value);
        svg_put(svg, ", ");
    }
    if (c.max_range.given) {
        svg_put(svg, "max_range ");
        svg_put_short(svg, c.max_range.value);
        svg_put(svg, ", ");
    }
    const int32_t n = record_count(c);
    svg_put_int(svg, n);
    svg_put(svg, n == 1 ? " measurement" : " measurements");
    svg_text_close(svg);
}

// Visits the lines of a text wrapped at blanks (or, in a word longer than a
// line, within it): a pointer into the text and a length, and whether it is
// the text's first line.
template <typename Visit>
void each_wrapped_line(const char* text, Visit visit) {
    bool first = true;
    while (*text != '\0') {
        std::size_t n = std::strlen(text);
        if (n > kWrapAt) {
            n = kWrapAt;
            while (n > 0 && text[n] != ' ') --n;
            if (n == 0) n = kWrapAt;
        }
        visit(text, n, first);
        text += n;
        while (*text == ' ') ++text;
        first = false;
    }
}

int32_t line_count(const char* text) {
    int32_t lines = 0;
    each_wrapped_line(text, [&](const char*, std::size_t, bool) { ++lines; });
    return lines;
}

int32_t warning_line_count(const Warnings* warnings) {
    int32_t lines = 0;
    if (warnings == nullptr) return 0;
    for (int32_t i = 0; i < warnings->count; ++i) {
        lines += line_count(warnings->text[static_cast<std::size_t>(i)].data());
    }
    return lines;
}

// A text wrapped into lines from `y` on, the first after `label`, the others
// indented; returns the y after its last line.
double wrapped_lines(Svg& svg, const char* text, const char* label, const char* fill, double y) {
    each_wrapped_line(text, [&](const char* line, std::size_t n, bool first) {
        title_line_open(svg, y, Face::kPlain, fill);
        svg_put(svg, first ? label : "    ");
        svg_put_piece(svg, line, n);
        svg_text_close(svg);
        y += kWarningLineStep;
    });
    return y;
}

// The warnings from `y` on; returns the y after the last line.
double warning_lines(Svg& svg, const Warnings* warnings, double y) {
    if (warnings == nullptr) return y;
    for (int32_t i = 0; i < warnings->count; ++i) {
        y = wrapped_lines(svg, warnings->text[static_cast<std::size_t>(i)].data(),
                          "Warning: ", kClosing, y);
    }
    return y;
}

// Visits the lines of a check's summary and, with a tolerance, its result.
template <typename Visit>
void each_summary_line(const PictureContent& c, Visit visit) {
    char line[kSummarySize];
    for (int i = 0; i < kSummaryLines; ++i) {
        check_summary_line(*c.request, *c.check, i, line);
        visit(line);
    }
    if (c.request->tolerance_given) {
        check_result_line(*c.request, *c.check, line);
        visit(line);
    }
}

// The stretch's line: the steps, the records, the stage and the readings at
// its ends; wrapped where its values are long.
constexpr std::size_t kStretchTextMax = 200;
std::size_t stretch_text(const PictureContent& c, char (&out)[kStretchTextMax]) {
    std::size_t n = 0;
    auto put = [&](const char* text) {
        const std::size_t len = std::strlen(text);
        std::memcpy(out + n, text, len);
        n += len;
    };
    auto put_int = [&](int32_t v) { n += format_int(v, 0, out + n); };
    if (c.kind == PictureKind::kCalibration) {
        put_int(c.steps);
        put(" steps; ");
    }
    if (!c.stretch_known) {
        put("no monotone stretch");
    } else {
        const Measurement& a = record(c, c.stretch_first);
        const Measurement& b = record(c, c.stretch_last);
        put(has_table(c.table) ? "stretch used: records " : "monotone stretch: records ");
        put_int(c.stretch_first + 1);
        put(" to ");
        put_int(c.stretch_last + 1);
        put(", stage ");
        char stage[kPairTextMax];
        pair_text(a.stage, " to ", b.stage, 1, false, stage);
        put(stage);
        put(", readings ");
        put_int(a.psd);
        put(" to ");
        put_int(b.psd);
    }
    out[n] = '\0';
    return n;
}

int32_t stretch_line_count(const PictureContent& c) {
    char text[kStretchTextMax];
    stretch_text(c, text);
    return line_count(text);
}

}  // namespace

int32_t record_count(const PictureContent& c) {
    const int32_t n = c.measurements != nullptr ? c.measurements->count : 0;
    return n < 0 ? 0 : (n > kMaxMeasurements ? kMaxMeasurements : n);
}

bool has_table(const Calibration* cal) {
    return cal != nullptr && cal->points >= 4;
}

void curve_title(Svg& svg, const PictureContent& c) {
    name_line(svg, c, c.kind == PictureKind::kCalibration ? " - calibration" : " - measured curve");
    header_values(svg, c);
    char stretch[kStretchTextMax];
    stretch_text(c, stretch);
    double y =
        wrapped_lines(svg, stretch, "", kInk, kStretchY) - kStretchY + kNoteY - kWarningLineStep;
    auto labelled = [&](const char* text, Face face, const char* fill, const char* label) {
        if (text == nullptr) return;
        title_line_open(svg, y, face, fill);
        svg_put(svg, label);
        svg_put_escaped(svg, text, kShownComment);
        svg_text_close(svg);
        y += kTitleLineStep;
    };
    labelled(c.note, Face::kBold, kClosing, "No calibration written: ");
    labelled(c.comment, Face::kItalic, kInk, "Comment: ");
    warning_lines(svg, c.warnings, y);
}

// The note and the comment fit above the curve's heading, warnings take room.
double title_shift(const PictureContent& c) {
    const double y = kNoteY + kWarningLineStep * (stretch_line_count(c) - 1) +
                     (c.note != nullptr ? kTitleLineStep : 0) +
                     (c.comment != nullptr ? kTitleLineStep : 0) +
                     kWarningLineStep * warning_line_count(c.warnings);
    const double room = kNoteY + 2 * kTitleLineStep;
    return y > room ? y - room : 0.0;
}

void check_title(Svg& svg, const PictureContent& c) {
    name_line(svg, c, " - check");
    title_line_open(svg, kHeaderY, Face::kPlain, kInk);
    if (c.table_file != nullptr) {
        svg_put(svg, "against the table ");
        svg_put_name(svg, c.table_file, kShownName);
        svg_put(svg, ".c");
    } else {
        svg_put(svg, "against the table that cal writes with ");
        svg_put(svg, c.steps_word);
        svg_put(svg, " ");
        svg_put_int(svg, c.steps);
    }
    svg_text_close(svg);
    double y = kCheckSummaryY;
    each_summary_line(c, [&](const char* line) { y = wrapped_lines(svg, line, "", kInk, y); });
    warning_lines(svg, c.warnings, y);
}

double check_heading(const PictureContent& c) {
    int32_t lines = warning_line_count(c.warnings);
    each_summary_line(c, [&](const char* line) { lines += line_count(line); });
    return kCheckSummaryY + kWarningLineStep * (lines - 1) + kCheckHeadingGap;
}

}  // namespace vextal
