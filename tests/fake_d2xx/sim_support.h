// Test support: the simulated USB bus (tests/fake_d2xx) in place of the D2XX
// library, in-process, and the log lines the tests expect of it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stage/stage.h"
#include "tests/fake_d2xx/sim.h"

namespace vextal::test {

inline FT_STATUS D2XX_API sim_list(void* a, void* b, uint32_t flags) {
    return fake_d2xx::sim_list_devices(a, b, flags);
}
inline FT_STATUS D2XX_API sim_open(void* a, uint32_t flags, FT_HANDLE* h) {
    return fake_d2xx::sim_open_ex(a, flags, h);
}
inline FT_STATUS D2XX_API sim_baud(FT_HANDLE h, uint32_t baud) {
    return fake_d2xx::sim_set_baud_rate(h, baud);
}
inline FT_STATUS D2XX_API sim_data(FT_HANDLE h, uint8_t bits, uint8_t stop, uint8_t parity) {
    return fake_d2xx::sim_set_data_characteristics(h, bits, stop, parity);
}
inline FT_STATUS D2XX_API sim_timeouts(FT_HANDLE h, uint32_t read_ms, uint32_t write_ms) {
    return fake_d2xx::sim_set_timeouts(h, read_ms, write_ms);
}
inline FT_STATUS D2XX_API sim_purge(FT_HANDLE h, uint32_t mask) {
    return fake_d2xx::sim_purge(h, mask);
}
inline FT_STATUS D2XX_API sim_read(FT_HANDLE h, void* buffer, uint32_t n, uint32_t* got) {
    return fake_d2xx::sim_read(h, buffer, n, got);
}
inline FT_STATUS D2XX_API sim_write(FT_HANDLE h, void* buffer, uint32_t n, uint32_t* sent) {
    return fake_d2xx::sim_write(h, buffer, n, sent);
}

inline const D2xxFunctions kSimFunctions{sim_list,     sim_open,  sim_baud, sim_data,
                                         sim_timeouts, sim_purge, sim_read, sim_write};

/// The description a USI2 gives.
inline const std::string kUsi2 = "ELV USB-Schrittmotoren-Interface";

/// Sets up the simulated bus from `scenario` and puts it in place of the
/// library; nothing is open.
inline void use_sim(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(fake_d2xx::sim_configure(scenario, error)) << error;
    d2xx_use(&kSimFunctions);
    usi2_handle = nullptr;
}

/// The calls made so far, from the `from`-th on.
inline std::vector<std::string> sim_calls(std::size_t from = 0) {
    const auto& log = fake_d2xx::sim_log();
    return std::vector<std::string>(log.begin() + static_cast<std::ptrdiff_t>(from), log.end());
}

// Log lines of the calls the driver makes, all succeeding.
inline std::string count_call(int n) {
    return "FT_ListDevices(count, null, 0x80000000) -> 0 count=" + std::to_string(n);
}
inline std::string list_all_call(int n) {
    return "FT_ListDevices(list of 64, count, 0x20000002) -> 0 count=" + std::to_string(n);
}
inline std::string description_call(int index, const std::string& text) {
    return "FT_ListDevices(" + std::to_string(index) + ", buffer, 0x40000002) -> 0 \"" + text +
           "\"";
}
inline std::string serial_call(int index, const std::string& text) {
    return "FT_ListDevices(" + std::to_string(index) + ", buffer, 0x40000001) -> 0 \"" + text +
           "\"";
}
inline std::string open_call(const std::string& serial, int status = 0) {
    return "FT_OpenEx(\"" + serial + "\", 0x1, handle) -> " + std::to_string(status);
}
inline std::string timeouts_call(int read_ms, int write_ms) {
    return "FT_SetTimeouts(h, " + std::to_string(read_ms) + ", " + std::to_string(write_ms) +
           ") -> 0";
}
inline const std::string kPurgeCall = "FT_Purge(h, 1) -> 0";
inline std::string write_call(const std::string& hex, int sent) {
    return "FT_Write(h, " + hex + ", " + std::to_string((hex.size() + 1) / 3) +
           ") -> 0 sent=" + std::to_string(sent);
}
inline std::string read_call(int wanted, const std::string& got) {
    return "FT_Read(h, " + std::to_string(wanted) + ") -> 0 got=" + got;
}

}  // namespace vextal::test
