// The USI2 command protocol against fuzzed device replies. The input holds the
// command letter and its two parameters, a byte of link behaviour, then the
// device's replies: for each read, a length byte and that many reply bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "stage/d2xx.h"
#include "stage/stage.h"

namespace {

const uint8_t* reply = nullptr;
size_t reply_left = 0;
uint8_t behaviour = 0;  // bit 0: short write, bit 1: time-outs fail, bit 2: statuses fail

using vextal::FT_HANDLE;
using vextal::FT_STATUS;

FT_STATUS D2XX_API no_list(void*, void*, uint32_t) {
    return 2;
}
FT_STATUS D2XX_API no_open(void*, uint32_t, FT_HANDLE*) {
    return 2;
}
FT_STATUS D2XX_API set_baud(FT_HANDLE, uint32_t) {
    return 0;
}
FT_STATUS D2XX_API set_format(FT_HANDLE, uint8_t, uint8_t, uint8_t) {
    return 0;
}
FT_STATUS D2XX_API set_timeouts(FT_HANDLE, uint32_t, uint32_t) {
    return (behaviour & 2) ? 4 : 0;
}
FT_STATUS D2XX_API purge(FT_HANDLE, uint32_t) {
    return (behaviour & 4) ? 4 : 0;
}

FT_STATUS D2XX_API read(FT_HANDLE, void* buffer, uint32_t want, uint32_t* got) {
    *got = 0;
    if (reply_left == 0) return (behaviour & 4) ? 4 : 0;
    size_t n = reply[0];
    ++reply;
    --reply_left;
    if (n > want) n = want;
    if (n > reply_left) n = reply_left;
    std::memcpy(buffer, reply, n);
    reply += n;
    reply_left -= n;
    *got = static_cast<uint32_t>(n);
    return (behaviour & 4) ? 4 : 0;
}

FT_STATUS D2XX_API write(FT_HANDLE, void* buffer, uint32_t size, uint32_t* sent) {
    // Touch every byte the program claims to send.
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < size; ++i) sink = sink ^ static_cast<uint8_t*>(buffer)[i];
    *sent = (behaviour & 1) ? size / 2 : size;
    return (behaviour & 4) ? 4 : 0;
}

const vextal::D2xxFunctions kFake = {no_list,      no_open, set_baud, set_format,
                                     set_timeouts, purge,   read,     write};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    if (size < 4) return 0;
    d2xx_use(&kFake);
    static int handle_target = 0;
    usi2_handle = &handle_target;
    behaviour = data[3];
    reply = data + 4;
    reply_left = size - 4;
    const int32_t before = usi2_status = 7;
    int result = usi2_command(data[0], data[1], data[2]);
    if (result != 0 && result != 101 && result != 102 && result != 103) __builtin_trap();
    // Only a valid status reply to 'S' changes the status, always to 0..15.
    if (data[0] == 'S' && result == 0) {
        if (usi2_status < 0 || usi2_status > 15) __builtin_trap();
    } else if (usi2_status != before) {
        __builtin_trap();
    }
    return 0;
}
