// The importer on a whole table; every table it takes is written and read
// back by the measurement file reader, which must give every value exactly.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/settings.h"
#include "data/measurement.h"
#include "data/measurement_file.h"
#include "data/table_file.h"
#include "files/output_file.h"
#include "fuzz/fuzz_exit.h"
#include "text/numscan.h"

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    fuzz::install_exit_handler();
    static const std::string table_path = "/tmp/vextal_fuzz_import_" + std::to_string(getpid());
    static const std::string msm_path = table_path + ".msm";
    static ImportTable table;
    FILE* f = std::fopen(table_path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    try {
        read_table_file(table_path.c_str(), ImportOptions{}, table);
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
        return 0;
    }
    if (table.count < 1 || table.count > kMaxMeasurements) __builtin_trap();

    // The header values come from the first point, so that they are fuzzed too.
    MeasurementHeader header;
    header.has_max_range = true;
    header.max_range = text_to_double(table.points[0].stage.data());
    header.has_average = true;
    header.average = table.points[0].psd;
    g_settings = Settings{};
    g_measurements.count = 0;
    try {
        static OutFile out;
        if (!out_open(out, msm_path.c_str())) return 0;
        write_measurement_file(out, header, table.points.data(), table.count);
        if (!out_close(out) || !out_commit_all()) __builtin_trap();
        load_measurement_file(msm_path.c_str());
    } catch (const fuzz::RunEnded&) {
        __builtin_trap();  // a table that was taken must be written and read back
    }
    unlink(msm_path.c_str());
    if (g_measurements.count != table.count) __builtin_trap();
    if (!same_bits(g_settings.max_range, header.max_range)) __builtin_trap();
    if (g_settings.average != header.average) __builtin_trap();
    for (int32_t i = 0; i < table.count; ++i) {
        const RecordText& point = table.points[static_cast<std::size_t>(i)];
        const Measurement& record = g_measurements.records[static_cast<std::size_t>(i)];
        if (!same_bits(record.stage, text_to_double(point.stage.data()))) __builtin_trap();
        if (record.psd != point.psd) __builtin_trap();
    }
    return 0;
}
