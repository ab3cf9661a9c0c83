#include "calibration.h"
#include "settings.h"

namespace vextal {

void write_calibration(const char*, int32_t) {
    error_exit("Calibration files are not available in this build.", 2);
}

}  // namespace vextal
