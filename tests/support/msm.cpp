#include "tests/support/msm.h"

namespace vextal::test {

std::string msm_line(const std::string& no, const std::string& stage, const std::string& psd) {
    return "<measurement no='" + no + "' stage='" + stage + "' psd='" + psd + "'/>";
}

std::string msm_line(int no, const std::string& stage, const std::string& psd) {
    return msm_line(std::to_string(no), stage, psd);
}

std::string msm_file(const std::vector<std::string>& lines, const std::string& eol) {
    std::string text;
    for (const auto& line : lines) text += line + eol;
    return text;
}

std::string msm_file(const std::string& header, const std::vector<MsmPoint>& points,
                     const std::string& eol) {
    std::vector<std::string> lines = {header};
    for (const MsmPoint& p : points) {
        lines.push_back(msm_line(static_cast<int>(lines.size()), p.stage, p.psd));
    }
    lines.push_back("</Vextal>");
    return msm_file(lines, eol);
}

}  // namespace vextal::test
