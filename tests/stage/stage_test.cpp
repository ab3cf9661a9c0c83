// Opening the USI2, the stage initialisation and the axis table, against the
// simulated bus.
#include "stage/stage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/settings.h"
#include "tests/fake_d2xx/sim_support.h"

namespace vextal::test {
namespace {

using Calls = std::vector<std::string>;

const std::string kOneUsi2 = "device SN1 " + kUsi2 + "\n";

// Fills both axis records with a byte pattern no reset produces.
void scribble_axes() {
    std::memset(static_cast<void*>(axis_table.data()), 0x5A, sizeof axis_table);
    axis_count = 9;
}

bool axes_scribbled() {
    std::array<AxisState, kAxisSlots> scribbled;
    std::memset(static_cast<void*>(scribbled.data()), 0x5A, sizeof scribbled);
    return std::memcmp(axis_table.data(), scribbled.data(), sizeof scribbled) == 0 &&
           axis_count == 9;
}

// The writes (command frames) among the calls.
Calls frames_sent() {
    Calls frames;
    for (const std::string& call : sim_calls()) {
        if (call.rfind("FT_Write(h, ", 0) == 0) frames.push_back(call.substr(12, 20));
    }
    return frames;
}

TEST(Usi2Open, SetsUpTheLinkAndSendsTheFirstCommand) {
    use_sim(kOneUsi2);
    scribble_axes();
    usi2_status = 9;
    EXPECT_EQ(usi2_open(1), 0);
    const Calls expected{count_call(1),
                         list_all_call(1),
                         serial_call(0, "SN1"),
                         open_call("SN1"),
                         "FT_SetBaudRate(h, 19200) -> 0",
                         "FT_SetDataCharacteristics(h, 8, 0, 2) -> 0",
                         timeouts_call(1000, 1000),
                         kPurgeCall,
                         write_call("02 48 FF 00 03 0D 0A", 7),
                         read_call(3, "02 06 03"),
                         timeouts_call(40000, 100),
                         timeouts_call(100, 100)};
    EXPECT_EQ(sim_calls(), expected);
    EXPECT_EQ(usi2_status, 0);
    for (std::size_t a = 0; a < kAxisSlots; ++a) {
        SCOPED_TRACE(a);
        const AxisState& s = axis_table[a];
        EXPECT_EQ(s.position, 0);
        EXPECT_EQ(s.state_int_1, 0);
        EXPECT_EQ(s.state_int_2, 0);
        EXPECT_EQ(s.flag, 0);
        EXPECT_EQ(s.state_byte_1, 0);
        EXPECT_EQ(s.state_byte_2, 1);
        EXPECT_EQ(s.state_int_3, 0);
        EXPECT_EQ(s.state_int_4, 0);
        EXPECT_EQ(s.state_byte_3, 0);
    }
    EXPECT_EQ(axis_table[0].bit_mask_1, 0x01);
    EXPECT_EQ(axis_table[0].bit_mask_2, 0x02);
    EXPECT_EQ(axis_table[1].bit_mask_1, 0x08);
    EXPECT_EQ(axis_table[1].bit_mask_2, 0x10);
}

TEST(Usi2Open, AxisCountIsTheRequestAtMostTwo) {
    const int cases[][2] = {{0, 0}, {1, 1}, {2, 2}, {5, 2}, {255, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        use_sim(kOneUsi2);
        EXPECT_EQ(usi2_open(static_cast<uint8_t>(c[0])), 0);
        EXPECT_EQ(axis_count, c[1]);
    }
}

struct OpenCase {
    const char* name;
    std::string scenario;
    int result;
    bool axes_reset;
};

TEST(Usi2Open, ResultsAndWhatTheyLeave) {
    const OpenCase cases[] = {
        {"no device", "", 100, false},
        {"the count fails", kOneUsi2 + "fail FT_ListDevices 9 1\n", 9, false},
        {"the baud rate fails", kOneUsi2 + "fail FT_SetBaudRate 7\n", 7, false},
        {"the data format fails", kOneUsi2 + "fail FT_SetDataCharacteristics 8\n", 8, false},
        {"the time-outs fail", kOneUsi2 + "fail FT_SetTimeouts 4 1\n", 4, false},
        {"refused", kOneUsi2 + "reply nak\n", 101, true},
        {"silent", kOneUsi2 + "reply silence\n", 102, true},
        {"not sent", kOneUsi2 + "sent 0\n", 103, true},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.name);
        use_sim(c.scenario);
        scribble_axes();
        EXPECT_EQ(usi2_open(1), c.result);
        EXPECT_EQ(axes_scribbled(), !c.axes_reset);
    }
}

struct InitCase {
    const char* name;
    std::string scenario;
    bool home;
    double centre;
    int32_t position;
    Calls frames;
};

TEST(StageInit, HomesAndSetsTheCentrePosition) {
    const std::string open = "02 48 FF 00 03 0D 0A";
    const std::string home = "02 48 CC 00 03 0D 0A";
    const int32_t kMin = std::numeric_limits<int32_t>::min();
    const int32_t kMax = std::numeric_limits<int32_t>::max();
    const InitCase cases[] = {
        {"homing", kOneUsi2, true, -999.0, 0, {open, home}},
        {"-hc: no command after the first", kOneUsi2, false, -999.0, 0, {open}},
        {"a refused first command goes on",
         kOneUsi2 + "reply nak\n",
         true,
         -999.0,
         0,
         {open, home}},
        {"a failed send goes on", kOneUsi2 + "sent 3 1\n", true, -999.0, 0, {open, home}},
        // A library status from the set-up goes on too, homing included.
        {"a library status goes on", kOneUsi2 + "fail FT_SetBaudRate 7\n", true, -999.0, 0, {home}},
        {"a failed homing is not reported",
         kOneUsi2 + "reply ack\nreply silence\n",
         true,
         25.5,
         -2550,
         {open, home}},
        // Hundredths, sign reversed, truncated toward zero.
        {"25.5", kOneUsi2, false, 25.5, -2550, {open}},
        {"-3.999", kOneUsi2, false, -3.999, 399, {open}},
        {"0.015", kOneUsi2, false, 0.015, -1, {open}},
        {"-0.005", kOneUsi2, false, -0.005, 0, {open}},
        {"999", kOneUsi2, false, 999.0, -99900, {open}},
        {"-999.5 is given", kOneUsi2, false, -999.5, 99950, {open}},
        {"far out holds at the range's end", kOneUsi2, false, 1e10, kMin, {open}},
        {"far out the other way", kOneUsi2, false, -1e300, kMax, {open}},
    };
    for (const InitCase& c : cases) {
        SCOPED_TRACE(c.name);
        use_sim(c.scenario);
        axis_table[0].position = 12345;
        stage_init(c.home, c.centre);
        EXPECT_EQ(axis_table[0].position, c.position);
        EXPECT_EQ(frames_sent(), c.frames);
    }
}

TEST(StageInitDeathTest, MissingOrSilentInterfaceEndsTheProgram) {
    use_sim("");
    EXPECT_EXIT(stage_init(true, kNoCentrePosition), testing::ExitedWithCode(100),
                "^Error: USI2-Device not found: check USB-Cable\\.\n$");
    use_sim(kOneUsi2 + "reply silence\n");
    EXPECT_EXIT(stage_init(true, kNoCentrePosition), testing::ExitedWithCode(102),
                "^Error: USI2-Device found but not responding: check power supply\\.\n$");
    use_sim(kOneUsi2 + "reply 02 06 04\n");
    EXPECT_EXIT(stage_init(true, kNoCentrePosition), testing::ExitedWithCode(102),
                "not responding");
    use_sim(kOneUsi2);
    d2xx_use(nullptr);
    EXPECT_EXIT(stage_init(true, kNoCentrePosition), testing::ExitedWithCode(100), "not found");
}

TEST(AxisSetters, OnlyAxesZeroAndOneAreWritten) {
    const int8_t axes[] = {0, 1, -1, 2, 127, -128};
    for (int8_t axis : axes) {
        SCOPED_TRACE(static_cast<int>(axis));
        scribble_axes();
        std::array<AxisState, kAxisSlots> before = axis_table;
        axis_set_position(axis, -77);
        axis_set_flag(axis, 3);
        for (std::size_t a = 0; a < kAxisSlots; ++a) {
            bool named = static_cast<int>(a) == axis;
            EXPECT_EQ(axis_table[a].position, named ? -77 : before[a].position);
            EXPECT_EQ(axis_table[a].flag, named ? 3 : before[a].flag);
            EXPECT_EQ(axis_table[a].state_int_1, before[a].state_int_1);
        }
    }
}

}  // namespace
}  // namespace vextal::test
