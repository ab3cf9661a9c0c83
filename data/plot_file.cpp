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

// The plot file between writing and being put in place; static because it
// holds its write buffer.
OutFile plot_out;
bool prepared = false;

[[noreturn]] void fail_writing() {
    out_discard(plot_out);
    error_exit("PlotFile konnte nicht geschrieben werden.\n", 2);
}

}  // namespace

bool prepare_plot_file(const char* prefix) {
    if (prefix == nullptr) return false;

    // The extension is always appended, even to a prefix that has one.
    std::array<char, kMaxPath> name;
    const std::size_t len = std::strlen(prefix);
    if (len + 4 >= name.size()) error_exit("Dateiname zu lang.\n", 2);
    std::memcpy(name.data(), prefix, len);
    std::memcpy(name.data() + len, ".psd", 5);

    // Written to a temporary file that replaces the target only when complete:
    // a failed write leaves an earlier plot file as it was.
    if (!out_open(plot_out, name.data())) {
        error_exit("PlotFile kann nicht geoeffnet werden.\n", 2);
    }
    for (int32_t i = 0; i < g_measurements.count; ++i) {
        write_plot_line(plot_out, g_measurements.records[static_cast<std::size_t>(i)]);
    }
    if (!out_close(plot_out)) fail_writing();
    prepared = true;
    return true;
}

void commit_plot_file() {
    if (!prepared) return;
    prepared = false;
    if (!out_commit(plot_out)) fail_writing();
}

int write_plot_file(const char* prefix) {
    if (!prepare_plot_file(prefix)) return 1;
    commit_plot_file();
    return 0;
}

}  // namespace vextal
