// The runs that the tests of a killed run end at random moments, on every
// platform: commands that write several outputs, their inputs, and the
// outputs' bytes before and after.
#pragma once

#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/small_cal_run.h"

namespace vextal::test {

struct OutputsRun {
    Args args;
    std::vector<std::string> outputs;
};

inline const std::vector<OutputsRun> kOutputsRuns = {
    {{"cal", "d", "-f", "out", "-n", "3", "-svg"}, {"out.cal", "out.c", "out.svg"}},
    {{"import", "r.csv", "-f", "imp"}, {"imp.msm"}},
    {{"check", "d", "-f", "chk", "-svg"}, {"chk.csv", "chk.svg"}},
};

/// The bytes of the run's outputs in `box`; "" for one that does not exist.
inline std::vector<std::string> outputs_in(const Sandbox& box, const OutputsRun& run) {
    std::vector<std::string> bytes;
    for (const auto& name : run.outputs) bytes.push_back(read_file(box.path() / name));
    return bytes;
}

/// Writes the inputs of every run into `box` and, where `earlier`, earlier
/// bytes of each output of `run`; returns the outputs as they now are.
inline std::vector<std::string> prepare_outputs_run(const Sandbox& box, const OutputsRun& run,
                                                    bool earlier) {
    box.write("d.msm", kInput);
    box.write("r.csv", "pos;psd\n80,5;20\n79,5;21\n79,0;22\n");
    for (const auto& name : run.outputs) {
        if (earlier) box.write(name, "earlier " + name + "\r\n");
    }
    return outputs_in(box, run);
}

}  // namespace vextal::test
