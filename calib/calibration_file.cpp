#include <array>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "calib/calibration.h"
#include "calib/fit.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/line_reader.h"
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

using PointTable = std::array<CalPoint, kMaxCalPoints>;

void open_outputs(const char* prefix, CalibrationFiles& files) {
    std::array<char, kMaxPath> name;
    make_file_name(name, prefix, ".cal");
    bool cal_ok = out_open(files.cal, name.data());
    make_file_name(name, prefix, ".c");
    bool c_ok = out_open(files.c, name.data());
    if (!cal_ok || !c_ok) file_error_exit("Ausgabedateien konnten nicht geoeffnet werden.\n");
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
int32_t build_original_table(const MeasurementTable& run, int32_t first, int32_t last,
                             PointTable& table) {
    const auto& records = run.records;
    std::size_t m = 0;
    table[m++] = {0.0f, to_single(records[static_cast<std::size_t>(first)].stage)};
    for (int32_t i = first; i <= last; ++i) {
        const Measurement& r = records[static_cast<std::size_t>(i)];
        table[m++] = {static_cast<float>(r.psd / 2), to_single(r.stage)};
    }
    table[m] = {table[m - 1].x + kStepAfterRange, kClosingY};
    ++m;
    // The table ends at 255, or one step further where the stretch reaches
    // beyond it (readings of 510 and more), so that its x stay ordered.
    const float after = table[m - 1].x;
    table[m++] = {after > kClosingX ? after + kStepAfterRange : kClosingX, kClosingY};
    return static_cast<int32_t>(m);
}

// The command line on the ".c" file's comment line, which must stay one line
// whatever the arguments hold: line breaks and other control characters are
// written as blanks, and a backslash that would end the line (also as the
// trigraph of two question marks and a slash) gets a '.' after it, since a
// compiler splices the next line onto a comment that ends in a backslash,
// blanks after it notwithstanding.
void write_call_params(OutFile& c_file, const char* text) {
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

// Tenths, truncated toward zero: 10.7 (10.6999998 as a float) gives 106; the
// -fit table rounds them.
int32_t firmware_entry(const CalPoint& point, bool rounded) {
    if (rounded) return fit_entry(point.y);
    return truncate_to_int(static_cast<double>(point.y) * kCScale);
}

void write_c_file(OutFile& c_file, const char* call_params, const PointTable& requantized,
                  int32_t steps, bool rounded) {
    out_text(c_file, "// CallParams: ");
    write_call_params(c_file, call_params);
    out_text(c_file, " \n{");
    char text[kIntTextMax + 2];
    for (int32_t i = 0; i < steps; ++i) {
        const int32_t value = firmware_entry(requantized[static_cast<std::size_t>(i)], rounded);
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

const char kCalibrationWriteFailed[] = "Ausgabedateien konnten nicht geschrieben werden.\n";
const char kRangeTooSmall[] = "Monotone PSD range is too small!\n";

void firmware_table(const Calibration& cal, FirmwareTable& table) {
    table.count = cal.steps < kMaxTableEntries ? cal.steps : kMaxTableEntries;
    for (int32_t i = 0; i < table.count; ++i) {
        table.entries[static_cast<std::size_t>(i)] =
            firmware_entry(cal.requantized[static_cast<std::size_t>(i)], cal.rounded);
    }
}

bool compute_calibration(const MeasurementTable& table, int32_t steps, Calibration& cal) {
    // The command line keeps steps within 3 to 1000; the bounds only protect
    // the table.
    if (steps < 1) steps = 1;
    if (steps > kMaxSteps) steps = kMaxSteps;
    cal.points = 0;
    cal.steps = 0;
    cal.rounded = false;
    find_monotone_range(table, cal.first, cal.last);
    if (cal.last - cal.first < 1) return false;

    cal.points = build_original_table(table, cal.first, cal.last, cal.original);
    for (int32_t j = 0; j < steps; ++j) {
        float x = static_cast<float>(j);
        double y = table_lookup(cal.original.data(), cal.points, x);
        cal.requantized[static_cast<std::size_t>(j)] = {x, to_single(y)};
    }
    cal.steps = steps;
    return true;
}

const char* prepare_calibration(const CalibrationJob& job, CalibrationFiles& files,
                                Calibration& cal) {
    open_outputs(job.prefix != nullptr ? job.prefix : "", files);
    const bool computed = job.fit ? compute_fit_calibration(*job.table, job.steps, cal)
                                  : compute_calibration(*job.table, job.steps, cal);
    if (!computed) {
        out_discard(files.cal);
        out_discard(files.c);
        return kRangeTooSmall;
    }
    OutFile& cal_file = files.cal;

    out_text(cal_file, "# Original Table:\n");
    for (int32_t i = 0; i < cal.points; ++i) {
        const CalPoint& p = cal.original[static_cast<std::size_t>(i)];
        write_point(cal_file, truncate_to_int(p.x), p.y);
    }
    out_text(cal_file, "\n\n# Requantized Table:\n");
    for (int32_t j = 0; j < cal.steps; ++j) {
        write_point(cal_file, j, cal.requantized[static_cast<std::size_t>(j)].y);
    }
    write_c_file(files.c, job.call_params, cal.requantized, cal.steps, cal.rounded);

    bool cal_ok = out_close(cal_file);
    bool c_ok = out_close(files.c);
    if (!cal_ok || !c_ok) file_error_exit(kCalibrationWriteFailed);
    return nullptr;
}

}  // namespace vextal
