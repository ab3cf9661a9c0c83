// Microbenchmarks of the work a cal run does: scanning attributes, reading a
// measurement file, requantizing, formatting numbers and writing the files.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "app/outputs.h"
#include "calib/calibration.h"
#include "common/settings.h"
#include "data/attribute.h"
#include "data/measurement.h"
#include "data/measurement_file.h"
#include "text/format.h"

namespace {

namespace fs = std::filesystem;
using namespace vextal;

// A folder in memory where the system has one, so that file benchmarks do not
// measure the disk.
fs::path scratch_folder() {
    fs::path shm = "/dev/shm";
    fs::path base = fs::is_directory(shm) ? shm : fs::temp_directory_path();
    fs::path dir = base / "vextal_bench";
    fs::create_directories(dir);
    return dir;
}

// The largest valid case: 1000 measurements whose readings rise with the
// index, so the whole run is monotone.
std::string largest_file() {
    std::string text = "<Vextal max_range='80' avg='10' sn='42'>\r\n";
    char line[128];
    for (int i = 1; i <= kMaxMeasurements; ++i) {
        std::snprintf(line, sizeof line, "<measurement no='%d' stage='%.2f' psd='%d'/>\r\n", i,
                      80.0 - i * 0.079, 10 + i * 48 / 100);
        text += line;
    }
    return text + "</Vextal>\r\n";
}

void fill_largest_table() {
    g_measurements.count = kMaxMeasurements;
    for (int i = 0; i < kMaxMeasurements; ++i) {
        g_measurements.records[static_cast<std::size_t>(i)] = {80.0 - (i + 1) * 0.079,
                                                               10 + (i + 1) * 48 / 100};
    }
}

void BM_AttributeScanPerLine(benchmark::State& state) {
    const char* line = "<measurement no='517' stage='39.16' psd='258'/>\n";
    for (auto _ : state) {
        int32_t no = 0, psd = 0;
        double stage = 0;
        benchmark::DoNotOptimize(read_int_attribute(line, "no", no));
        benchmark::DoNotOptimize(read_double_attribute(line, "stage", stage));
        benchmark::DoNotOptimize(read_int_attribute(line, "psd", psd));
    }
}
BENCHMARK(BM_AttributeScanPerLine);

void BM_ReadLargestFile(benchmark::State& state) {
    fs::path file = scratch_folder() / "largest.msm";
    {
        std::FILE* f = std::fopen(file.string().c_str(), "wb");
        std::string text = largest_file();
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    std::string name = file.string();
    for (auto _ : state) {
        load_measurements(name.c_str());
        benchmark::DoNotOptimize(g_measurements.count);
    }
    fs::remove(file);
}
BENCHMARK(BM_ReadLargestFile);

void BM_Requantize1000Steps(benchmark::State& state) {
    // A 1003-point table: the leading point, 1000 range points, two closing points.
    static CalPoint table[kMaxMeasurements + 3];
    table[0] = {0.0f, 80.0f};
    for (int i = 0; i < kMaxMeasurements; ++i) {
        table[i + 1] = {static_cast<float>((10 + (i + 1) * 48 / 100) / 2),
                        static_cast<float>(80.0 - (i + 1) * 0.079)};
    }
    table[1001] = {table[1000].x + 1.0f, 99.9f};
    table[1002] = {255.0f, 99.9f};
    for (auto _ : state) {
        for (int j = 0; j < 1000; ++j) {
            benchmark::DoNotOptimize(table_lookup(table, 1003, static_cast<float>(j)));
        }
    }
}
BENCHMARK(BM_Requantize1000Steps);

void BM_FormatFixedPerValue(benchmark::State& state) {
    char text[kFixedTextMax];
    double value = 17.674999237060546875;
    for (auto _ : state) {
        benchmark::DoNotOptimize(format_fixed(value, 2, text));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FormatFixedPerValue);

void BM_WriteCalOutputsLargest(benchmark::State& state) {
    fill_largest_table();
    std::snprintf(g_settings.call_params.data(), g_settings.call_params.size(), "%s",
                  "cal largest -n 1000 ");
    std::string prefix = (scratch_folder() / "largest").string();
    g_settings.command = kCal;
    g_settings.output_prefix = prefix.c_str();
    g_settings.steps = 1000;
    for (auto _ : state) write_outputs();
    fs::remove(prefix + ".cal");
    fs::remove(prefix + ".c");
}
BENCHMARK(BM_WriteCalOutputsLargest);

}  // namespace

BENCHMARK_MAIN();
