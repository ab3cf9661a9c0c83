// A small calibration run whose outputs are short enough to write out in
// full: the tests of where and how outputs are written use it.
#pragma once

#include <string>
#include <vector>

#include "tests/support/six_records.h"

namespace vextal::test {

// Records 2 to 5 of the six-record run, positions falling from 25.0 to 8.0
// while the readings rise: with three steps every requantized entry lies
// before the range and takes its first y.
inline const std::string kInput = msm_file("<Vextal>", six_record_points(2, 5));
inline const std::string kCal =
    "# Original Table:\r\n0\t25.00\r\n4\t25.00\r\n6\t20.00\r\n10\t10.70\r\n15\t8.00\r\n"
    "16\t99.90\r\n255\t99.90\r\n\r\n\r\n# Requantized Table:\r\n0\t25.00\r\n1\t25.00\r\n"
    "2\t25.00\r\n";
inline const std::string kCValues = "{250, 250, 250};\r\n\r\n";

// The run of every test: `cal d -f <prefix> -n 3`.
inline std::vector<std::string> cal_args(const std::string& prefix) {
    return {"cal", "d", "-f", prefix, "-n", "3"};
}
inline std::string c_file(const std::string& prefix) {
    return "// CallParams: cal d -f " + prefix + " -n 3  \r\n" + kCValues;
}

}  // namespace vextal::test
