#include <cstdio>

#include "calib/calibration.h"
#include "data/measurement.h"
#include "serial/port.h"
#include "common/settings.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "app/command_line.h"
#include "stage/stage.h"
#include "common/console.h"
#include "app/help.h"
#include "app/outputs.h"

namespace vextal {

int run_measurement() { return 0; }

int run_program(int argc, const char* const* argv) {
    if (argc < 2) print_usage();
    answer_help_or_version(argv[1]);
    parse_command_line(argc, argv);
    const Settings& s = g_settings;

    int result = 0;
    if (s.command == kMeasure) {
        int slot = port_open_default(s.serial_port, kBaud115200);
        if (slot < 0) error_exit("Serial Port could not be opened!", kExitError);
        stage_init();
        result = run_measurement();
        port_close(slot);
    } else if (s.command == kLoad || s.command == kCal) {
        console_puts(stdout, "\nLoading Data...\n");
        result = load_measurement_file(s.input_file);
    } else {
        error_exit("Unrecognized Command", kExitError);
    }

    console_puts(stdout, "Writing Data...\n");
    write_outputs();
    if (s.command == kMeasure) axis_set_flag(0, 0);
    return result;
}

}  // namespace vextal
