// Measurement files as the tests write them.
#pragma once

#include <string>
#include <vector>

namespace vextal::test {

/// One measurement element, without a line end.
inline std::string msm_line(const std::string& no, const std::string& stage,
                            const std::string& psd) {
    return "<measurement no='" + no + "' stage='" + stage + "' psd='" + psd + "'/>";
}

inline std::string msm_line(int no, const std::string& stage, const std::string& psd) {
    return msm_line(std::to_string(no), stage, psd);
}

/// A measurement file from its lines, each ended by `eol`.
inline std::string msm_file(const std::vector<std::string>& lines, const std::string& eol = "\n") {
    std::string text;
    for (const auto& line : lines) text += line + eol;
    return text;
}

}  // namespace vextal::test
