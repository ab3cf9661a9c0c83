#include <cstring>

#include "format.h"
#include "measurement.h"
#include "settings.h"
#include "text_file.h"

namespace vextal {

namespace {

// Room for one plot line: a stage, a tab and a reading.
constexpr std::size_t kPlotLineSize = kFixedTextMax + 1 + kIntTextMax;

// One "%.1f\t%d\n" line; the line end reaches the file as CR LF.
void write_plot_line(OutFile& out, const Measurement& record) {
    char text[kPlotLineSize];
    std::size_t n = format_fixed(record.stage, 1, text);
    text[n++] = '\t';
    n += format_int(record.psd, 0, text + n);
    out_line(out, text, n);
}

}  // namespace

int write_plot_file(const char* prefix) {
    if (prefix == nullptr) return 1;

    // The extension is always appended, even to a prefix that has one.
    std::array<char, kMaxPath> name;
    const std::size_t len = std::strlen(prefix);
    if (len + 4 >= name.size()) error_exit("Dateiname zu lang.\n", 2);
    std::memcpy(name.data(), prefix, len);
    std::memcpy(name.data() + len, ".psd", 5);

    // Written to a temporary file that replaces the target only when complete:
    // a failed write leaves an earlier plot file as it was.
    OutFile out;
    if (!out_open(out, name.data())) error_exit("PlotFile kann nicht geoeffnet werden.\n", 2);
    for (int32_t i = 0; i < g_measurements.count; ++i) {
        write_plot_line(out, g_measurements.records[static_cast<std::size_t>(i)]);
    }
    if (!out_close(out) || !out_commit_all()) {
        out_discard(out);
        error_exit("PlotFile konnte nicht geschrieben werden.\n", 2);
    }
    return 0;
}

}  // namespace vextal
