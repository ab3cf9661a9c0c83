// The calibration on a fuzzed measurement table and step count, through the
// outputs step the program runs: monotone range or the fit, lookup, both
// output files and, for some inputs, the picture.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/outputs.h"
#include "common/settings.h"
#include "data/measurement.h"
#include "fuzz/fuzz_exit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    fuzz::install_exit_handler();
    static const std::string prefix = "/tmp/vextal_fuzz_cal_" + std::to_string(getpid());
    if (size < 2) return 0;
    // Two bytes of step count, picture flag and -fit, then records of 8 bytes
    // stage and 4 bytes psd.
    const int32_t head = data[0] | (data[1] << 8);
    const int32_t steps = 3 + head % 998;
    const bool picture = (head / 998) % 2 == 1;
    const bool fit = (head / 1996) % 2 == 1;
    data += 2;
    size -= 2;
    int32_t count = 0;
    while (size >= 12 && count < kMaxMeasurements) {
        Measurement& m = g_measurements.records[static_cast<std::size_t>(count++)];
        std::memcpy(&m.stage, data, 8);
        std::memcpy(&m.psd, data + 8, 4);
        data += 12;
        size -= 12;
    }
    if (count < 3) return 0;
    g_measurements.count = count;
    g_settings = Settings{};
    g_settings.command = kCal;
    g_settings.input_file = "fuzz";
    g_settings.output_prefix = prefix.c_str();
    g_settings.steps = steps;
    g_settings.svg = picture ? 1 : 0;
    g_settings.fit = fit ? 1 : 0;
    std::strcpy(g_settings.call_params.data(), "cal fuzz ");
    try {
        write_outputs();
        unlink((prefix + ".cal").c_str());
        unlink((prefix + ".c").c_str());
        unlink((prefix + ".svg").c_str());
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
    }
    return 0;
}
