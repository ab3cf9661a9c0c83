// The USI2's framed commands: STX, the letter, two escaped parameters, ETX,
// CR, LF; answered by a three-byte acknowledgement and, for 'S', a four-byte
// status reply.
#include <array>

#include "stage/stage.h"

namespace vextal {

int32_t usi2_status = 0;

namespace {

constexpr uint8_t kStx = 0x02;
constexpr uint8_t kEtx = 0x03;
constexpr uint8_t kEscape = 0x05;
constexpr uint8_t kEscapeOffset = 0x10;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kStatusCommand = 'S';
constexpr uint8_t kStatusTag = 'E';
constexpr uint8_t kStatusBase = 0x30;
constexpr uint8_t kStatusMax = 15;

constexpr uint32_t kPurgeReceived = 1;
// Replies that follow an accepted command may take long (a status reply waits
// for the motor); the next command's acknowledgement comes quickly.
constexpr uint32_t kSlowReadMs = 40000;
constexpr uint32_t kQuickMs = 100;

// Letter, up to two bytes per parameter, the four framing bytes.
constexpr std::size_t kMaxFrame = 9;
constexpr uint32_t kAckSize = 3;
constexpr uint32_t kStatusReplySize = 4;

using Frame = std::array<uint8_t, kMaxFrame>;

// The bytes the frame reserves go as 0x05 and the value plus 0x10.
void append_parameter(Frame& frame, std::size_t& length, uint8_t value) {
    if (value == kStx || value == kEtx || value == kEscape) {
        frame[length++] = kEscape;
        frame[length++] = static_cast<uint8_t>(value + kEscapeOffset);
    } else {
        frame[length++] = value;
    }
}

// The device sends the three acknowledgement bytes once more for every
// parameter that is 0x03.
uint32_t acknowledgement_length(uint8_t first, uint8_t second) {
    uint32_t etx_parameters = (first == kEtx ? 1u : 0u) + (second == kEtx ? 1u : 0u);
    return kAckSize * (1 + etx_parameters);
}

// The 'S' reply: STX, 'E', 0x30 plus the status, ETX.
int read_status_reply() {
    std::array<uint8_t, kStatusReplySize> reply{};
    uint32_t received = 0;
    usb_read(usi2_handle, reply.data(), kStatusReplySize, received);
    if (received != kStatusReplySize || reply[0] != kStx || reply[1] != kStatusTag ||
        reply[2] < kStatusBase || reply[2] > kStatusBase + kStatusMax || reply[3] != kEtx) {
        return kUsi2NoReply;
    }
    usi2_status = reply[2] - kStatusBase;
    return kUsi2Ok;
}

}  // namespace

int usi2_command(uint8_t command, uint8_t first, uint8_t second) {
    Frame frame{};
    std::size_t length = 0;
    frame[length++] = kStx;
    frame[length++] = command;  // the letter is never escaped
    append_parameter(frame, length, first);
    append_parameter(frame, length, second);
    frame[length++] = kEtx;
    frame[length++] = '\r';
    frame[length++] = '\n';

    // Left-overs of an earlier exchange must not pass for this reply.
    usb_purge(usi2_handle, kPurgeReceived);

    // Only the byte counts decide; the library's statuses are not examined.
    uint32_t sent = 0;
    usb_write(usi2_handle, frame.data(), static_cast<uint32_t>(length), sent);
    if (sent != length) return kUsi2SendFailed;

    const uint32_t expected = acknowledgement_length(first, second);
    std::array<uint8_t, kAckSize * 3> ack{};
    uint32_t received = 0;
    usb_read(usi2_handle, ack.data(), expected, received);
    if (received != expected || ack[0] != kStx || ack[2] != kEtx) return kUsi2NoReply;
    if (ack[1] == kNak) return kUsi2Refused;

    if (usb_set_timeouts(usi2_handle, kSlowReadMs, kQuickMs) != 0) return kUsi2SendFailed;
    if (command == kStatusCommand) {
        int result = read_status_reply();
        if (result != kUsi2Ok) return result;
    }
    if (usb_set_timeouts(usi2_handle, kQuickMs, kQuickMs) != 0) return kUsi2SendFailed;
    return kUsi2Ok;
}

int usi2_h_command(uint8_t parameter) {
    return usi2_command('H', parameter, 0);
}

}  // namespace vextal
