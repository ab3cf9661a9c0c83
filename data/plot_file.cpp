#include "data/plot_file.h"

#include <cstring>

#include "common/error_exit.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/output_file.h"
#include "text/format.h"

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

[[noreturn]] void fail_writing() {
    file_error_exit(kPlotWriteFailed);
}

}  // namespace

const char kPlotWriteFailed[] = "PlotFile konnte nicht geschrieben werden.\n";

bool prepare_plot_file(OutFile& plot_out, const char* prefix, const MeasurementTable& table) {
    if (prefix == nullptr) return false;

    std::array<char, kMaxPath> name;
    make_file_name(name, prefix, ".psd");

    // Written to a temporary file that replaces the target only when complete:
    // a failed write leaves an earlier plot file as it was.
    if (!out_open(plot_out, name.data())) {
        file_error_exit("PlotFile kann nicht geoeffnet werden.\n");
    }
    for (int32_t i = 0; i < table.count; ++i) {
        write_plot_line(plot_out, table.records[static_cast<std::size_t>(i)]);
    }
    if (!out_close(plot_out)) fail_writing();
    return true;
}

}  // namespace vextal
