// A write that fails part way, as on a full disk: the file size limit makes
// every write beyond it fail instead of ending the process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/outputs.h"
#include "common/settings.h"
#include "data/measurement.h"

namespace vextal {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> files_in(const fs::path& dir) {
    std::map<std::string, std::string> all;
    for (const auto& e : fs::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        all[e.path().filename().string()] = bytes.str();
    }
    return all;
}

// Writes the calibration under a file size limit of `limit` bytes.
void write_limited(const std::string& prefix, rlim_t limit) {
    signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit then fails with EFBIG
    rlimit r{limit, limit};
    setrlimit(RLIMIT_FSIZE, &r);
    g_settings.command = kCal;
    g_settings.output_prefix = prefix.c_str();
    g_settings.steps = 20;
    write_outputs();
}

TEST(CalibrationFileWrite, FailedWriteLeavesEarlierFilesUntouched) {
    const fs::path dir = fs::temp_directory_path() / "vextal_calib_write_failure";
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "demo.cal", std::ios::binary) << "earlier cal\r\n";
    std::ofstream(dir / "demo.c", std::ios::binary) << "earlier c\r\n";
    const auto before = files_in(dir);

    g_measurements = MeasurementTable{};
    const Measurement records[] = {{30.0, 40}, {25.0, 9}, {20.0, 12},
                                   {10.7, 20}, {8.0, 30}, {5.0, 28}};
    for (std::size_t i = 0; i < 6; ++i) g_measurements.records[i] = records[i];
    g_measurements.count = 6;
    std::strcpy(g_settings.call_params.data(), "cal demo -n 20 ");

    // 200 bytes hold the .c file (about 160) and the error report, but not
    // the .cal file (over 400).
    EXPECT_EXIT(write_limited((dir / "demo").string(), 200), ::testing::ExitedWithCode(2),
                "^Error: Ausgabedateien konnten nicht geschrieben werden.\n\n"
                ".*/demo\\.cal: File too large\n$");
    EXPECT_EQ(files_in(dir), before);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace vextal
