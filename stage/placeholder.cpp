#include "settings.h"
#include "stage.h"

namespace vextal {

void stage_init() { error_exit("The linear stage is not available in this build.", 2); }

void axis_set_flag(int8_t, uint8_t) {}

}  // namespace vextal
