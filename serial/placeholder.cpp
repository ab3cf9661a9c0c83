#include "port.h"
#include "settings.h"

namespace vextal {

int port_open_default(const char*, int) {
    error_exit("Serial ports are not available in this build.", 2);
}

int port_close(int) { return -308; }

}  // namespace vextal
