#include "measurement.h"
#include "settings.h"

namespace vextal {

MeasurementTable g_measurements;

int load_measurement_file(const char*) {
    error_exit("Measurement files are not available in this build.", 2);
}

int write_plot_file(const char*) { error_exit("Plot files are not available in this build.", 2); }

}  // namespace vextal
