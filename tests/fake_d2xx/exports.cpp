// The simulated bus as a shared library under the D2XX library's name, so that
// the program loads it in place of the real one. The scenario comes from the
// file named by VEXTAL_FAKE_D2XX_SCENARIO (none: no device connected); every
// call is appended to the file named by VEXTAL_FAKE_D2XX_LOG, after a first
// line "load" written when the library is loaded.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/fake_d2xx/sim.h"

namespace {

bool configured = false;
std::size_t logged = 0;

void append_to_log(const std::string& line) {
    const char* path = std::getenv("VEXTAL_FAKE_D2XX_LOG");
    if (path == nullptr) return;
    // Opened per line, so that the log is complete whenever the program ends.
    if (std::FILE* f = std::fopen(path, "ab")) {
        std::fputs(line.c_str(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
}

void configure() {
    if (configured) return;
    configured = true;
    std::string text;
    if (const char* path = std::getenv("VEXTAL_FAKE_D2XX_SCENARIO")) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "fake D2XX: cannot read scenario %s\n", path);
            std::abort();
        }
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string error;
    if (!fake_d2xx::sim_configure(text, error)) {
        std::fprintf(stderr, "fake D2XX: %s\n", error.c_str());
        std::abort();
    }
}

void flush() {
    const auto& log = fake_d2xx::sim_log();
    for (; logged < log.size(); ++logged) append_to_log(log[logged]);
}

struct OnLoad {
    OnLoad() { append_to_log("load"); }
} on_load;

}  // namespace

// FAKE_D2XX_API is the library's calling convention, set by the build.
extern "C" {

uint32_t FAKE_D2XX_API FT_ListDevices(void* arg1, void* arg2, uint32_t flags) {
    configure();
    uint32_t status = fake_d2xx::sim_list_devices(arg1, arg2, flags);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_OpenEx(void* arg1, uint32_t flags, void** handle) {
    configure();
    uint32_t status = fake_d2xx::sim_open_ex(arg1, flags, handle);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_SetBaudRate(void* handle, uint32_t baud) {
    configure();
    uint32_t status = fake_d2xx::sim_set_baud_rate(handle, baud);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_SetDataCharacteristics(void* handle, uint8_t word_length,
                                                 uint8_t stop_bits, uint8_t parity) {
    configure();
    uint32_t status =
        fake_d2xx::sim_set_data_characteristics(handle, word_length, stop_bits, parity);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_SetTimeouts(void* handle, uint32_t read_ms, uint32_t write_ms) {
    configure();
    uint32_t status = fake_d2xx::sim_set_timeouts(handle, read_ms, write_ms);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_Purge(void* handle, uint32_t mask) {
    configure();
    uint32_t status = fake_d2xx::sim_purge(handle, mask);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_Read(void* handle, void* buffer, uint32_t to_read, uint32_t* received) {
    configure();
    uint32_t status = fake_d2xx::sim_read(handle, buffer, to_read, received);
    flush();
    return status;
}

uint32_t FAKE_D2XX_API FT_Write(void* handle, void* buffer, uint32_t to_write, uint32_t* written) {
    configure();
    uint32_t status = fake_d2xx::sim_write(handle, buffer, to_write, written);
    flush();
    return status;
}

}  // extern "C"
