#include <cstdio>

#include "calibration.h"
#include "measurement.h"
#include "outputs.h"
#include "port.h"
#include "settings.h"
#include "stage.h"

namespace vextal {

int run_measurement() { return 0; }

int run_program(int argc, const char* const* argv) {
    if (argc < 2) print_usage();
    parse_command_line(argc, argv);
    const Settings& s = g_settings;

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
    write_outputs();
    if (s.command == kMeasure) axis_set_flag(0, 0);
    return result;
}

}  // namespace vextal
