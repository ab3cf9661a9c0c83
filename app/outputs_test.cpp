// The calibration files as the outputs step writes them.
#include "app/outputs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "common/settings.h"
#include "data/measurement.h"
#include "tests/support/six_records.h"
#include "tests/support/temp_folder.h"

namespace vextal {
namespace {

namespace fs = std::filesystem;

// A fresh folder for the files of one test.
class CalibrationFile : public ::testing::Test {
  protected:
    void SetUp() override {
        g_measurements = MeasurementTable{};
        g_settings = Settings{};
        g_settings.command = kCal;
        std::strcpy(g_settings.call_params.data(), "cal demo -n 20 ");
    }
    std::string prefix() const { return dir_.file("demo"); }

    // The outputs of `cal <prefix> -n <steps>` from the table as it stands.
    static void write_calibration(const std::string& prefix, int32_t steps) {
        g_settings.output_prefix = prefix.c_str();
        g_settings.steps = steps;
        write_outputs();
    }

    static void set_records(const std::vector<Measurement>& records) {
        for (std::size_t i = 0; i < records.size(); ++i) g_measurements.records[i] = records[i];
        g_measurements.count = static_cast<int32_t>(records.size());
    }

    test::TempFolder dir_{test::current_test_name()};
};

TEST_F(CalibrationFile, WritesTheWorkedExample) {
    set_records(test::six_records<Measurement>());
    dir_.write("demo.cal", "an earlier calibration");
    write_calibration(prefix(), 20);

    const std::string cal =
        "# Original Table:\r\n"
        "0\t25.00\r\n4\t25.00\r\n6\t20.00\r\n10\t10.70\r\n15\t8.00\r\n16\t99.90\r\n255\t99.90\r\n"
        "\r\n\r\n"
        "# Requantized Table:\r\n"
        "0\t25.00\r\n1\t25.00\r\n2\t25.00\r\n3\t25.00\r\n4\t25.00\r\n"
        "5\t22.50\r\n6\t20.00\r\n7\t17.67\r\n8\t15.35\r\n9\t13.02\r\n"
        "10\t10.70\r\n11\t10.16\r\n12\t9.62\r\n13\t9.08\r\n14\t8.54\r\n"
        "15\t8.00\r\n16\t99.90\r\n17\t99.90\r\n18\t99.90\r\n19\t99.90\r\n";
    const std::string c =
        "// CallParams: cal demo -n 20  \r\n"
        "{250, 250, 250, 250, 250, 225, 200, 176, 153, 130, 106, 101,  96,  90,  85,  80, \r\n"
        "                    999, 999, 999, 999};\r\n"
        "\r\n";
    std::map<std::string, std::string> expected = {{"demo.cal", cal}, {"demo.c", c}};
    EXPECT_EQ(dir_.entries(), expected);
}

TEST_F(CalibrationFile, SaturatesPositionsBeyondTheFloatRange) {
    // 1e300 is held as the largest float; its tenths saturate at INT32_MAX,
    // those of -1e300 at INT32_MIN.
    set_records({{1e300, 8}, {-1e300, 10}, {6.0, 12}});
    std::strcpy(g_settings.call_params.data(), "x ");
    write_calibration(prefix(), 6);
    const std::string max = "340282346638528860000000000000000000000.00";
    const std::string cal = "# Original Table:\r\n0\t" + max + "\r\n4\t" + max + "\r\n5\t-" + max +
                            "\r\n6\t6.00\r\n7\t99.90\r\n255\t99.90\r\n\r\n\r\n"
                            "# Requantized Table:\r\n0\t" +
                            max + "\r\n1\t" + max + "\r\n2\t" + max + "\r\n3\t" + max + "\r\n4\t" +
                            max + "\r\n5\t-" + max + "\r\n";
    const std::string c =
        "// CallParams: x  \r\n"
        "{2147483647, 2147483647, 2147483647, 2147483647, 2147483647, -2147483648};\r\n\r\n";
    std::map<std::string, std::string> expected = {{"demo.cal", cal}, {"demo.c", c}};
    EXPECT_EQ(dir_.entries(), expected);
}

// Each failure ends the run with exit code 2 and its message, and leaves the
// folder exactly as it was: earlier outputs untouched, no temporary file.
TEST_F(CalibrationFile, FailuresLeaveEarlierFilesUntouched) {
    const std::vector<Measurement> good = {{30.0, 10}, {20.0, 20}, {10.0, 30}};
    const std::vector<Measurement> falling = {{30.0, 30}, {20.0, 20}, {10.0, 10}};
    const std::string long_prefix = dir_.file(std::string(4092 - dir_.path().string().size(), 'p'));
    struct {
        const char* what;
        std::vector<Measurement> records;
        std::string prefix;
        bool c_is_folder;
        const char* message;
        const char* detail;  // a pattern of the line naming the file, or ""
    } const cases[] = {
        {"range of one record", falling, prefix(), false, "Monotone PSD range is too small!", ""},
        {"output is a folder", good, prefix(), true,
         "Ausgabedateien konnten nicht geoeffnet werden.", ".*demo\\.c: Is a directory\n"},
        // Opening comes before the range test.
        {"folder and short range", falling, prefix(), true,
         "Ausgabedateien konnten nicht geoeffnet werden.", ".*demo\\.c: Is a directory\n"},
        {"name too long", good, long_prefix, false, "Dateiname zu lang.", ""},
    };
    for (const auto& c : cases) {
        dir_.clear();
        dir_.write("demo.cal", "earlier cal\r\n");
        if (c.c_is_folder) {
            fs::create_directory(dir_.path() / "demo.c");
        } else {
            dir_.write("demo.c", "earlier c\r\n");
        }
        const auto before = dir_.entries();
        set_records(c.records);
        EXPECT_EXIT(write_calibration(c.prefix, 20), ::testing::ExitedWithCode(2),
                    std::string("^Error: ") + c.message + "\n\n" + c.detail + "$")
            << c.what;
        EXPECT_EQ(dir_.entries(), before) << c.what;
    }
}

}  // namespace
}  // namespace vextal
