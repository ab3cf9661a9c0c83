#include "common/process.h"

namespace vextal {

// Windows hands out no small numbers for files and ports: a closed standard
// handle is never reused by CreateFile, so there is nothing to guard.
void guard_standard_streams() {}

// The C runtime's own choice stands: start-up cost is not measured there.
void buffer_standard_output() {}

}  // namespace vextal
