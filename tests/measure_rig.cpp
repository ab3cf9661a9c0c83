// The parts of the measure rig that every platform shares.
#include "tests/measure_rig.h"

#include <fstream>

namespace vextal::test {

bool MeasureRig::loaded() const {
    return std::filesystem::exists(log_file());
}

std::vector<std::string> MeasureRig::log() const {
    std::vector<std::string> lines;
    std::ifstream in(log_file());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace vextal::test
