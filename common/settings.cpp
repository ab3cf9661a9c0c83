#include "common/settings.h"

namespace vextal {

Settings g_settings;

}  // namespace vextal
