// Monotone range detection, piecewise-linear lookup and the calibration files.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

/// One point of a piecewise-linear table, in single precision.
struct CalPoint {
    float x;  ///< input value: half the PSD reading
    float y;  ///< output value: a stage position
};

/// Writes "<prefix>.cal" and "<prefix>.c" from g_measurements with `steps`
/// requantized entries; ends the program on failure.
void write_calibration(const char* prefix, int32_t steps);

}  // namespace vextal
