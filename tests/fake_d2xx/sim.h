// A simulated USB bus with the stepper-motor interface on it, standing in for
// the D2XX library in tests: the eight library functions over a scenario of
// connected devices and device replies, with a log of every call.
//
// Scenario text, one directive a line; a line starting with '#' is a comment:
//   device <serial> [<description>]   a connected device, in index order; the
//                                     description is the rest of the line
//   reply <item>...                   the reply to the next command (each
//                                     FT_Write is one command), in order;
//                                     items: ack, nak, silence, or a byte in
//                                     hex. A command without a reply line
//                                     gets "ack".
//   fail <function> <status> [<n>]    the n-th call of the function (counted
//                                     from 1; without n, every call) does
//                                     nothing and returns status
//   status <function> <status> [<n>]  as fail, but the call does its work
//   sent <count> [<n>]                the n-th FT_Write (without n, every one)
//                                     reports count bytes sent
//
// "ack" is 02 06 03, sent once more for every parameter 0x03 of the command
// (the device's habit); "nak" is the same with 0x15 for 0x06. Descriptions and
// serial numbers of 64 characters or more are handed out as their first 64
// bytes without a NUL, as a careless library would.
//
// Log lines, one per call, with the status after "->":
//   FT_ListDevices(count, null, 0x80000000) -> 0 count=2
//   FT_ListDevices(list of 64, count, 0x20000002) -> 0 count=2
//   FT_ListDevices(1, buffer, 0x40000001) -> 0 "SN2"
//   FT_OpenEx("SN2", 0x1, handle) -> 0
//   FT_SetBaudRate(h, 19200) -> 0
//   FT_SetDataCharacteristics(h, 8, 0, 2) -> 0
//   FT_SetTimeouts(h, 1000, 1000) -> 0
//   FT_Purge(h, 1) -> 0
//   FT_Write(h, 02 48 FF 00 03 0D 0A, 7) -> 0 sent=7
//   FT_Read(h, 3) -> 0 got=02 06 03
// "h" is the handle FT_OpenEx handed out; any other shows as "bad-handle" and
// the call fails with status 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fake_d2xx {

/// Replaces the bus and the log by the scenario; false, with a message, on a
/// line it does not understand.
bool sim_configure(const std::string& scenario, std::string& error);
/// Every call since sim_configure, one line each.
const std::vector<std::string>& sim_log();

uint32_t sim_list_devices(void* arg1, void* arg2, uint32_t flags);
uint32_t sim_open_ex(void* arg1, uint32_t flags, void** handle);
uint32_t sim_set_baud_rate(void* handle, uint32_t baud);
uint32_t sim_set_data_characteristics(void* handle, uint8_t word_length, uint8_t stop_bits,
                                      uint8_t parity);
uint32_t sim_set_timeouts(void* handle, uint32_t read_ms, uint32_t write_ms);
uint32_t sim_purge(void* handle, uint32_t mask);
uint32_t sim_read(void* handle, void* buffer, uint32_t to_read, uint32_t* received);
uint32_t sim_write(void* handle, void* buffer, uint32_t to_write, uint32_t* written);

}  // namespace fake_d2xx
