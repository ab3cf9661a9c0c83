// The attribute scanner: finds name='value' inside one line of the
// measurement file and converts the value to a number.
#pragma once

#include <cstdint>

namespace vextal {

/// Position just after the opening quote of the first usable `name` attribute
/// in `line`, or nullptr when there is none. `name` must not be empty.
const char* find_attribute(const char* line, const char* name);

/// Stores the value of `name` as a double; true if found, false (target
/// untouched) if not.
bool read_double_attribute(const char* line, const char* name, double& target);

/// Stores the value of `name` as a 32-bit integer; true if found, false
/// (target untouched) if not.
bool read_int_attribute(const char* line, const char* name, int32_t& target);

/// The file format's "long" attributes are 32-bit integers too: the same
/// reader under the name the format gives it.
inline bool read_long_attribute(const char* line, const char* name, int32_t& target) {
    return read_int_attribute(line, name, target);
}

}  // namespace vextal
