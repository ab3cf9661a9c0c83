#include <cstdio>

#include "calibration.h"
#include "import_file.h"
#include "measurement.h"
#include "port.h"
#include "settings.h"
#include "stage.h"
#include "sys_file.h"

namespace vextal {

int run_measurement() {
    return 0;
}

namespace {

// `import`: the table is read whole before anything is written, so a fault in
// it leaves an earlier measurement file of the same name untouched.
int run_import(const Settings& s) {
    static ImportTable table;
    std::fputs("\nLoading Data...\n", stdout);
    std::array<char, kMaxPath> path;
    import_output_name(s.input_file, s.output_prefix, path);
    if (sys_same_file(s.input_file, path.data())) {
        error_exit("The measurement file to write is the input file itself; name another with -f",
                   2);
    }
    read_import_file(s.input_file, table);
    std::fputs("Writing Data...\n", stdout);
    ImportHeader header;
    header.has_max_range = s.max_range_given != 0;
    header.max_range = s.max_range;
    header.has_average = s.average_given != 0;
    header.average = s.average;
    write_import_file(path.data(), table, header);
    return 0;
}

}  // namespace

int run_program(int argc, const char* const* argv) {
    if (argc < 2) print_usage();
    parse_command_line(argc, argv);
    const Settings& s = g_settings;
    if (s.command == kImport) return run_import(s);

    int result = 0;
    if (s.command == kMeasure) {
        int slot = port_open_default(s.serial_port, kBaud115200);
        if (slot < 0) error_exit("Serial Port could not be opened!", 2);
        stage_init();
        result = run_measurement();
        port_close(slot);
    } else if (s.command == kLoad || s.command == kCal) {
        std::fputs("\nLoading Data...\n", stdout);
        result = load_measurement_file(s.input_file);
    } else {
        error_exit("Unrecognized Command", 2);
    }

    std::fputs("Writing Data...\n", stdout);
    if (s.command == kMeasure || s.command == kLoad) {
        if (s.psd_plot) write_plot_file(s.output_prefix);
    } else if (s.command == kCal) {
        if (g_measurements.count < 3) {
            error_exit("File does not contain enough measurements!\n", 2);
        }
        write_calibration(s.output_prefix, s.steps);
    }
    if (s.command == kMeasure) axis_set_flag(0, 0);
    return result;
}

}  // namespace vextal
