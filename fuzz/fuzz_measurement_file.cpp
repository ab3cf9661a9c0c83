// The measurement file reader on a whole file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "common/settings.h"
#include "data/measurement.h"
#include "fuzz/fuzz_exit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    fuzz::install_exit_handler();
    static const std::string path = "/tmp/vextal_fuzz_" + std::to_string(getpid()) + ".msm";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    g_settings = Settings{};
    g_measurements.count = 0;
    try {
        load_measurement_file(path.c_str());
        // A file that loads holds no more records than the table.
        if (g_measurements.count < 0 || g_measurements.count > kMaxMeasurements) __builtin_trap();
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
    }
    return 0;
}
