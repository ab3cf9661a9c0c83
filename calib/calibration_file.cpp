#include <array>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

#include "calib/calibration.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "files/file_name.h"
#include "files/output_file.h"
#include "text/convert.h"
#include "text/format.h"

namespace vextal {
namespace {

/// Added to the x of the range's last point for the first closing point.
constexpr float kStepAfterRange = 1.0f;
/// x of the last closing point, the end of the table.
constexpr float kClosingX = 255.0f;
/// The ".c" values are positions in tenths.
constexpr double kCScale = 10.0;
constexpr int32_t kValuesPerLine = 16;
constexpr const char* kContinuationIndent = "\n                    ";  // 20 blanks

// The two outputs; static because each holds its write buffer.
OutFile cal_file;
OutFile c_file;

using PointTable = std::array<CalPoint, kMaxCalPoints>;

// Ends the run; the error exit removes both temporary files, so the targets
// stay as they were.
[[noreturn]] void fail(const char* message) {
    error_exit(message, kExitError);
}

void open_outputs(const char* prefix) {
    std::array<char, kMaxPath> name;
    make_file_name(name, prefix, ".cal");
    bool cal_ok = out_open(cal_file, name.data());
    make_file_name(name, prefix, ".c");
    bool c_ok = out_open(c_file, name.data());
    if (!cal_ok || !c_ok) fail("Ausgabedateien konnten nicht geoeffnet werden.\n");
}

// One table line: "%d\t%.2f\n".
void write_point(OutFile& out, int32_t x, double y) {
    char text[kIntTextMax + 1 + kFixedTextMax];
    std::size_t n = format_int(x, 0, text);
    text[n++] = '\t';
    n += format_fixed(y, 2, text + n);
    out_line(out, text, n);
}

// The leading point at x = 0, one point per record of the range (half the
// reading, truncated toward zero, against the stage position) and the two
// closing points. Returns the number of points.
int32_t build_original_table(int32_t first, int32_t last, PointTable& table) {
    const auto& records = g_measurements.records;
    std::size_t m = 0;
    table[m++] = {0.0f, to_single(records[static_cast<std::size_t>(first)].stage)};
    for (int32_t i = first; i <= last; ++i) {
        const Measurement& r = records[static_cast<std::size_t>(i)];
        table[m++] = {static_cast<float>(r.psd / 2), to_single(r.stage)};
    }
    table[m] = {table[m - 1].x + kStepAfterRange, kClosingY};
    ++m;
    table[m++] = {kClosingX, kClosingY};
    return static_cast<int32_t>(m);
}

// The command line on the ".c" file's comment line, which must stay one line
// whatever the arguments hold: line breaks and other control characters are
// written as blanks, and a backslash that would end the line (also as the
// trigraph of two question marks and a slash) gets a '.' after it, since a
// compiler splices the next line onto a comment that ends in a backslash,
// blanks after it notwithstanding.
void write_call_params(const char* text) {
    std::array<char, kCallParamsSize + 1> line{};
    std::size_t n = 0;
    std::size_t end = 0;  // just after the last character that is not a blank
    for (; text[n] != '\0' && n < kCallParamsSize - 1; ++n) {
        const auto c = static_cast<unsigned char>(text[n]);
        line[n] = (c < 0x20 || c == 0x7F) ? ' ' : text[n];
        if (line[n] != ' ') end = n + 1;
    }
    const bool backslash = end >= 1 && line[end - 1] == '\\';
    const bool trigraph =
        end >= 3 && line[end - 3] == '?' && line[end - 2] == '?' && line[end - 1] == '/';
    if (backslash || trigraph) {
        std::memmove(&line[end + 1], &line[end], n - end);
        line[end] = '.';
        ++n;
    }
    out_bytes(c_file, line.data(), n);
}

constexpr const char* kRangeTooSmall = "Monotone PSD range is too small!\n";

void write_c_file(const PointTable& requantized, int32_t steps) {
    out_text(c_file, "// CallParams: ");
    write_call_params(g_settings.call_params.data());
    out_text(c_file, " \n{");
    char text[kIntTextMax + 2];
    for (int32_t i = 0; i < steps; ++i) {
        // Tenths, truncated toward zero: 10.7 (10.6999998 as a float) gives 106.
        double tenths = static_cast<double>(requantized[static_cast<std::size_t>(i)].y) * kCScale;
        int32_t value = truncate_to_int(tenths);
        if (i == steps - 1) {
            out_bytes(c_file, text, format_int(value, 0, text));
            break;
        }
        std::size_t n = format_int(value, 3, text);
        text[n++] = ',';
        text[n++] = ' ';
        out_bytes(c_file, text, n);
        if ((i + 1) % kValuesPerLine == 0) out_text(c_file, kContinuationIndent);
    }
    out_text(c_file, "};\n\n");
}

}  // namespace

const char* const kCalibrationWriteFailed = "Ausgabedateien konnten nicht geschrieben werden.\n";

bool compute_calibration(int32_t steps, Calibration& cal) {
    // The command line keeps steps within 3 to 1000; the bounds only protect
    // the table.
    if (steps < 1) steps = 1;
    if (steps > kMaxSteps) steps = kMaxSteps;
    cal.points = 0;
    cal.steps = 0;
    find_monotone_range(cal.first, cal.last);
    if (cal.last - cal.first < 1) return false;

    cal.points = build_original_table(cal.first, cal.last, cal.original);
    for (int32_t j = 0; j < steps; ++j) {
        float x = static_cast<float>(j);
        double y = table_lookup(cal.original.data(), cal.points, x);
        cal.requantized[static_cast<std::size_t>(j)] = {x, to_single(y)};
    }
    cal.steps = steps;
    return true;
}

const char* prepare_calibration(const char* prefix, int32_t steps, Calibration& cal) {
    open_outputs(prefix != nullptr ? prefix : "");
    if (!compute_calibration(steps, cal)) {
        out_discard(cal_file);
        out_discard(c_file);
        return kRangeTooSmall;
    }

    out_text(cal_file, "# Original Table:\n");
    for (int32_t i = 0; i < cal.points; ++i) {
        const CalPoint& p = cal.original[static_cast<std::size_t>(i)];
        write_point(cal_file, truncate_to_int(p.x), p.y);
    }
    out_text(cal_file, "\n\n# Requantized Table:\n");
    for (int32_t j = 0; j < cal.steps; ++j) {
        write_point(cal_file, j, cal.requantized[static_cast<std::size_t>(j)].y);
    }
    write_c_file(cal.requantized, cal.steps);

    bool cal_ok = out_close(cal_file);
    bool c_ok = out_close(c_file);
    if (!cal_ok || !c_ok) fail(kCalibrationWriteFailed);
    return nullptr;
}

}  // namespace vextal
