// The firmware table reader of check -t on a fuzzed .c file: it takes a list
// of 1 to 4096 integers in braces or ends the run with exit code 2.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "calib/calibration.h"
#include "fuzz/fuzz_exit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    fuzz::install_exit_handler();
    static const std::string path = "/tmp/vextal_fuzz_table_" + std::to_string(getpid()) + ".c";
    static FirmwareTable table;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    try {
        read_firmware_table(path.c_str(), table);
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
        return 0;
    }
    if (table.count < 1 || table.count > kMaxTableEntries) __builtin_trap();
    return 0;
}
