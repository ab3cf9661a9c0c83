#include <cstdio>
#include <cstring>

#include "app/check_command.h"
#include "app/cli_table.h"
#include "app/command_line.h"
#include "app/help.h"
#include "app/option_words.h"
#include "app/outputs.h"
#include "calib/calibration.h"
#include "common/console.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/import_state.h"
#include "data/measurement_file.h"
#include "data/table_file.h"
#include "files/file_name.h"
#include "files/sys_file.h"
#include "serial/port.h"
#include "stage/stage.h"

namespace vextal {

int run_measurement() {
    return 0;
}

namespace {

// `import`: the table is read whole before anything is written, so a fault in
// it leaves an earlier measurement file of the same name untouched. Without
// -f the output is the input name without its last extension.
int run_import_with(const Settings& s) {
    static ImportTable table;
    static ImportState state;  // static for its tables
    console_puts(stdout, "\nLoading Data...\n");
    std::array<char, kMaxPath> path;
    const char* base = s.output_prefix != nullptr ? s.output_prefix : s.input_file;
    const std::size_t length =
        s.output_prefix != nullptr ? std::strlen(base) : without_extension(base);
    make_file_name(path, base, length, kMeasurementExtension);
    if (sys_same_file(s.input_file, path.data())) {
        error_exit(kImportOverItsInput, kExitError);
    }
    ImportOptions options;
    options.words = import_words();
    if (s.columns != nullptr) parse_column_choice(s.columns, options.columns);
    options.decimal_mark = s.decimal_mark;
    options.round = s.round_readings != 0;
    options.mean = s.mean_readings != 0;
    options.keep_order = s.keep_order != 0;
    read_table_file(s.input_file, options, state, table);
    print_import_summary(options, table);
    console_puts(stdout, "Writing Data...\n");
    write_import_output(path.data(), table);
    // What was written, once it is in place.
    print_import_result(table);
    return 0;
}

// What measure, load and cal do after their own step: the outputs.
int write_outputs_after(int result) {
    console_puts(stdout, "Writing Data...\n");
    write_outputs();
    return result;
}

}  // namespace

int run_import() {
    return run_import_with(g_settings);
}

int run_measure() {
    const Settings& s = g_settings;
    int slot = port_open_default(s.serial_port, kBaud115200);
    if (slot < 0) error_exit("Serial Port could not be opened!", kExitError, port_open_failure());
    stage_init(s.home_on_init != 0, s.centre_position);
    const int result = run_measurement();
    port_close(slot);
    write_outputs_after(result);
    axis_set_flag(0, 0);
    return result;
}

int run_load() {
    console_puts(stdout, "\nLoading Data...\n");
    return write_outputs_after(load_measurements(g_settings.input_file));
}

int run_interactive() {
    error_exit("Unrecognized Command", kExitError);
}

int run_program(int argc, const char* const* argv) {
    if (argc < 2) print_usage();
    answer_help_or_version(argv[1]);
    return parse_command_line(argc, argv).run();
}

}  // namespace vextal
