// How the POSIX back end finds a port's device.
#pragma once

#include <array>
#include <cstddef>

namespace vextal {

/// Room for "/dev/ttyS" and the highest port number, terminating NUL included.
constexpr std::size_t kDevicePathSize = 16;
using DevicePath = std::array<char, kDevicePathSize>;

/// For "COMn" (n from 1 to 99999, no leading zero, "COM" in any letter case)
/// writes "/dev/ttyS" and n - 1 to `path` and returns true; false for every
/// other name, which is a device path used as given.
bool com_device_path(const char* name, DevicePath& path);

}  // namespace vextal
