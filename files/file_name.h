// Output file names: a prefix and a fixed extension.
#pragma once

#include <array>
#include <cstddef>

namespace vextal {

/// Longest file name the program builds, terminating NUL included.
constexpr std::size_t kMaxPath = 4096;

/// Builds `prefix` followed by `extension` in `name`; the extension is always
/// appended, also to a prefix that has one. A name that does not fit ends the
/// run with "Dateiname zu lang.".
void make_file_name(std::array<char, kMaxPath>& name, const char* prefix, const char* extension);

}  // namespace vextal
