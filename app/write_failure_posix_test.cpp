// A write that fails part way, as on a full disk: the file size limit makes
// every write beyond it fail instead of ending the process.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/outputs.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "tests/support/six_records.h"
#include "tests/support/temp_folder.h"

namespace vextal {
namespace {

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
    const test::TempFolder dir(test::current_test_name());
    dir.write("demo.cal", "earlier cal\r\n");
    dir.write("demo.c", "earlier c\r\n");
    const auto before = dir.files();

    g_measurements = MeasurementTable{};
    const std::vector<Measurement> records = test::six_records<Measurement>();
    for (std::size_t i = 0; i < records.size(); ++i) g_measurements.records[i] = records[i];
    g_measurements.count = static_cast<int32_t>(records.size());
    std::strcpy(g_settings.call_params.data(), "cal demo -n 20 ");

    // 200 bytes hold the .c file (about 160) and the error report, but not
    // the .cal file (over 400).
    EXPECT_EXIT(write_limited(dir.file("demo"), 200), ::testing::ExitedWithCode(2),
                "^Error: Ausgabedateien konnten nicht geschrieben werden.\n\n"
                ".*/demo\\.cal: File too large\n$");
    EXPECT_EQ(dir.files(), before);
}

}  // namespace
}  // namespace vextal
