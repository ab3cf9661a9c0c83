// The header values: the run's settings take them over and nothing later
// prints them, so they are checked here rather than end to end.
#include "data/measurement_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "data/measurement.h"
#include "tests/support/temp_folder.h"

namespace vextal {
namespace {

namespace fs = std::filesystem;

struct HeaderCase {
    std::string text;  // the whole measurement file
    double max_range;
    int32_t average;
    int32_t serial_number;
};

// The values as the command line left them before the file is read.
constexpr double kGivenRange = 12.5;
constexpr int32_t kGivenAverage = 50;
constexpr int32_t kGivenSerial = 77;

TEST(MeasurementFile, HeaderAttributesOverrideOnlyWhenPresentOnLine1) {
    const std::string pad(240, ' ');
    const HeaderCase cases[] = {
        {"<Vextal max_range='80' avg='10' sn='1234'>\n</Vextal>\n", 80.0, 10, 1234},
        {"<Vextal sn=\"9\" avg = '3' max_range='0.5'>\n", 0.5, 3, 9},
        {"<Vextal>\n", kGivenRange, kGivenAverage, kGivenSerial},
        {"<Vextal avg='4'>\n", kGivenRange, 4, kGivenSerial},
        // Found but not a number: stored as 0.
        {"<Vextal max_range='x' avg='' sn='abc'>\n", 0.0, 0, 0},
        // Out of the target's range: saturated.
        {"<Vextal max_range='1e999' avg='99999999999' sn='-99999999999'>\n", 1.7976931348623157e308,
         INT32_MAX, INT32_MIN},
        // Out of the ranges the command line enforces: stored all the same.
        {"<Vextal max_range='-5' avg='1000'>\n", -5.0, 1000, kGivenSerial},
        // Attributes on line 2 are body text.
        {"<Vextal>\n<x max_range='80' avg='10' sn='1'/>\n", kGivenRange, kGivenAverage,
         kGivenSerial},
        // Only the first 249 characters of line 1 are the header.
        {"<Vextal" + pad + " avg='5'>\n", kGivenRange, kGivenAverage, kGivenSerial},
        {"<Vextal avg='6'" + pad + "sn='5'>\r\n", kGivenRange, 6, kGivenSerial},
        // "avg" inside another word, or a tab before '=': not the attribute.
        {"<Vextal xavg='7' sn\t='8'>\n", kGivenRange, kGivenAverage, kGivenSerial},
    };
    const test::TempFolder dir;
    const fs::path file = dir.path() / "header.msm";
    for (const auto& c : cases) {
        std::ofstream(file, std::ios::binary) << c.text;
        static MeasurementTable table;
        table.count = 1;
        HeaderValues values{kGivenRange, kGivenAverage, kGivenSerial};
        EXPECT_EQ(load_measurement_file(file.string().c_str(), table, values), 0) << c.text;
        EXPECT_EQ(values.max_range, c.max_range) << c.text;
        EXPECT_EQ(values.average, c.average) << c.text;
        EXPECT_EQ(values.serial_number, c.serial_number) << c.text;
        EXPECT_EQ(table.has_max_range, c.max_range != kGivenRange) << c.text;
        EXPECT_EQ(table.count, 0) << c.text;
    }
}

}  // namespace
}  // namespace vextal
