// The USI2 command frames, acknowledgements and status replies, against the
// simulated bus.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stage/stage.h"
#include "tests/fake_d2xx/sim_support.h"

namespace vextal::test {
namespace {

using Calls = std::vector<std::string>;

// Opens the simulated USI2 with `scenario` added; returns the number of calls
// the opening took, so that a test sees only its command's calls.
std::size_t open_usi2(const std::string& scenario) {
    use_sim("device SN1 " + kUsi2 + "\n" + scenario);
    EXPECT_EQ(usb_find_usi2(), 0);
    return fake_d2xx::sim_log().size();
}

struct FrameCase {
    uint8_t command, first, second;
    std::string frame;  // as sent, in hex
    int ack_length;
};

TEST(Usi2Command, FramesEscapeTheParametersOnly) {
    const FrameCase cases[] = {
        {'H', 255, 0, "02 48 FF 00 03 0D 0A", 3},
        {'H', 204, 0, "02 48 CC 00 03 0D 0A", 3},
        {'H', 0x02, 0, "02 48 05 12 00 03 0D 0A", 3},
        {'H', 0x05, 0, "02 48 05 15 00 03 0D 0A", 3},
        {'H', 0x03, 0, "02 48 05 13 00 03 0D 0A", 6},
        {'H', 0, 0x03, "02 48 00 05 13 03 0D 0A", 6},
        {'H', 0x03, 0x02, "02 48 05 13 05 12 03 0D 0A", 6},
        {'H', 0x03, 0x03, "02 48 05 13 05 13 03 0D 0A", 9},
        {'H', 0x05, 0x05, "02 48 05 15 05 15 03 0D 0A", 3},
        // The escaped forms themselves, and the NAK byte, go as they are.
        {'H', 0x15, 0x12, "02 48 15 12 03 0D 0A", 3},
        {'H', 0x13, 0x10, "02 48 13 10 03 0D 0A", 3},
        // The letter is never escaped.
        {0x02, 1, 1, "02 02 01 01 03 0D 0A", 3},
        {0x03, 1, 1, "02 03 01 01 03 0D 0A", 3},
        {0x05, 1, 1, "02 05 01 01 03 0D 0A", 3},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.frame);
        std::size_t from = open_usi2("");
        EXPECT_EQ(usi2_command(c.command, c.first, c.second), kUsi2Ok);
        std::string ack;
        for (int i = 0; i < c.ack_length / 3; ++i) ack += i == 0 ? "02 06 03" : " 02 06 03";
        const Calls expected{
            kPurgeCall, write_call(c.frame, static_cast<int>((c.frame.size() + 1) / 3)),
            read_call(c.ack_length, ack), timeouts_call(40000, 100), timeouts_call(100, 100)};
        EXPECT_EQ(sim_calls(from), expected);
    }
}

struct ResultCase {
    const char* name;
    std::string scenario;
    uint8_t first;
    int result;
    Calls calls;  // after the purge
};

TEST(Usi2Command, RepliesGiveTheFourResults) {
    const std::string h = "02 48 00 00 03 0D 0A";
    const std::string h3 = "02 48 05 13 00 03 0D 0A";
    const ResultCase cases[] = {
        {"accepted",
         "reply ack\n",
         0,
         kUsi2Ok,
         {write_call(h, 7), read_call(3, "02 06 03"), timeouts_call(40000, 100),
          timeouts_call(100, 100)}},
        {"any second byte but NAK is accepted",
         "reply 02 41 03\n",
         0,
         kUsi2Ok,
         {write_call(h, 7), read_call(3, "02 41 03"), timeouts_call(40000, 100),
          timeouts_call(100, 100)}},
        {"refused", "reply nak\n", 0, kUsi2Refused, {write_call(h, 7), read_call(3, "02 15 03")}},
        {"wrong end byte",
         "reply 02 06 04\n",
         0,
         kUsi2NoReply,
         {write_call(h, 7), read_call(3, "02 06 04")}},
        {"wrong start byte",
         "reply 03 06 03\n",
         0,
         kUsi2NoReply,
         {write_call(h, 7), read_call(3, "03 06 03")}},
        {"two bytes only",
         "reply 02 06\n",
         0,
         kUsi2NoReply,
         {write_call(h, 7), read_call(3, "02 06")}},
        {"silence", "reply silence\n", 0, kUsi2NoReply, {write_call(h, 7), read_call(3, "")}},
        // The length is checked before the NAK: a short NAK is no reply.
        {"a NAK too short for a parameter 0x03",
         "reply 02 15 03\n",
         0x03,
         kUsi2NoReply,
         {write_call(h3, 8), read_call(6, "02 15 03")}},
        {"a doubled NAK",
         "reply nak\n",
         0x03,
         kUsi2Refused,
         {write_call(h3, 8), read_call(6, "02 15 03 02 15 03")}},
        {"a short write", "sent 6\n", 0, kUsi2SendFailed, {write_call(h, 6)}},
        {"a write that reports no count",
         "fail FT_Write 4\n",
         0,
         kUsi2SendFailed,
         {"FT_Write(h, " + h + ", 7) -> 4"}},
        {"a read that reports no count",
         "fail FT_Read 4\n",
         0,
         kUsi2NoReply,
         {write_call(h, 7), "FT_Read(h, 3) -> 4"}},
        // Only the byte counts decide, never the library's status.
        {"statuses of purge, write and read are not examined",
         "fail FT_Purge 4\nstatus FT_Write 4\nstatus FT_Read 4\n",
         0,
         kUsi2Ok,
         {"FT_Write(h, " + h + ", 7) -> 4 sent=7", "FT_Read(h, 3) -> 4 got=02 06 03",
          timeouts_call(40000, 100), timeouts_call(100, 100)}},
        {"the first time-out fails",
         "fail FT_SetTimeouts 4 1\n",
         0,
         kUsi2SendFailed,
         {write_call(h, 7), read_call(3, "02 06 03"), "FT_SetTimeouts(h, 40000, 100) -> 4"}},
        {"the last time-out fails",
         "fail FT_SetTimeouts 4 2\n",
         0,
         kUsi2SendFailed,
         {write_call(h, 7), read_call(3, "02 06 03"), timeouts_call(40000, 100),
          "FT_SetTimeouts(h, 100, 100) -> 4"}},
    };
    for (const ResultCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t from = open_usi2(c.scenario);
        EXPECT_EQ(usi2_command('H', c.first, 0), c.result);
        Calls calls = sim_calls(from);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front().substr(0, 8), "FT_Purge");
        calls.erase(calls.begin());
        EXPECT_EQ(calls, c.calls);
    }
}

// Bytes left from an earlier exchange are discarded before the next frame.
TEST(Usi2Command, LeftOversNeverPassForTheNextReply) {
    std::size_t from = open_usi2("reply ack 02 06 03\nreply silence\n");
    EXPECT_EQ(usi2_command('H', 1, 0), kUsi2Ok);
    EXPECT_EQ(usi2_command('H', 2, 0), kUsi2NoReply);
    Calls calls = sim_calls(from);
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[5], kPurgeCall);
    EXPECT_EQ(calls[7], read_call(3, ""));
}

struct StatusCase {
    std::string reply;  // after the acknowledgement
    int result;
    int32_t status;  // usi2_status afterwards; it was 99
};

TEST(Usi2Command, StatusReplyIsCheckedAndStored) {
    const StatusCase cases[] = {
        {"02 45 37 03", kUsi2Ok, 7},       {"02 45 30 03", kUsi2Ok, 0},
        {"02 45 3F 03", kUsi2Ok, 15},      {"02 45 41 03", kUsi2NoReply, 99},
        {"02 45 2F 03", kUsi2NoReply, 99}, {"02 46 37 03", kUsi2NoReply, 99},
        {"03 45 37 03", kUsi2NoReply, 99}, {"02 45 37 04", kUsi2NoReply, 99},
        {"02 45 37", kUsi2NoReply, 99},    {"silence", kUsi2NoReply, 99},
    };
    for (const StatusCase& c : cases) {
        SCOPED_TRACE(c.reply);
        std::size_t from = open_usi2("reply ack " + c.reply + "\n");
        usi2_status = 99;
        EXPECT_EQ(usi2_command('S', 0, 0), c.result);
        EXPECT_EQ(usi2_status, c.status);
        Calls calls = sim_calls(from);
        ASSERT_EQ(calls.size(), c.result == kUsi2Ok ? 6u : 5u);
        EXPECT_EQ(calls[1], write_call("02 53 00 00 03 0D 0A", 7));
        EXPECT_EQ(calls[3], timeouts_call(40000, 100));
        // A rejected status reply leaves the slow read time-out in place.
        EXPECT_EQ(calls[4].substr(0, 13), "FT_Read(h, 4)");
        if (c.result == kUsi2Ok) {
            EXPECT_EQ(calls[5], timeouts_call(100, 100));
        }
    }
}

TEST(Usi2Command, RefusedStatusCommandReadsNoStatus) {
    std::size_t from = open_usi2("reply nak 02 45 37 03\n");
    usi2_status = 99;
    EXPECT_EQ(usi2_command('S', 0, 0), kUsi2Refused);
    EXPECT_EQ(usi2_status, 99);
    EXPECT_EQ(sim_calls(from).size(), 3u);
}

}  // namespace
}  // namespace vextal::test
