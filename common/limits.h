// The limits the command line and the files are held to.
#pragma once

#include <cstdint>

namespace vextal {

/// Capacity of the measurement table: the largest step count the command
/// line accepts.
constexpr int32_t kMaxMeasurements = 1000;
/// Fewest records a calibration can be made from.
constexpr int32_t kMinCalRecords = 3;
/// Entries of the requantized table that `-n` accepts.
constexpr int32_t kMinSteps = 3;
constexpr int32_t kMaxSteps = 1000;
/// Averaging counts that `-m` accepts for measure.
constexpr int32_t kMinAverage = 3;
constexpr int32_t kMaxAverage = 100;
/// Largest maximum range that `-z` accepts for measure.
constexpr double kMaxRange = 170.0;

}  // namespace vextal
