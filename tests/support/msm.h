// Measurement files as the tests write them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace vextal::test {

/// The stage and the reading of one measurement, as the file writes them.
struct MsmPoint {
    MsmPoint(std::string stage_text, std::string psd_text)
        : stage(std::move(stage_text)), psd(std::move(psd_text)) {}
    MsmPoint(std::string stage_text, int reading)
        : stage(std::move(stage_text)), psd(std::to_string(reading)) {}
    std::string stage;
    std::string psd;
};

/// One measurement element, without a line end.
std::string msm_line(const std::string& no, const std::string& stage, const std::string& psd);
std::string msm_line(int no, const std::string& stage, const std::string& psd);

/// A measurement file from its lines, each ended by `eol`.
std::string msm_file(const std::vector<std::string>& lines, const std::string& eol = "\n");

/// A whole measurement file: the `header` line, one element for each point,
/// numbered from 1, and the end tag, each line ended by `eol`.
std::string msm_file(const std::string& header, const std::vector<MsmPoint>& points,
                     const std::string& eol = "\n");

}  // namespace vextal::test
