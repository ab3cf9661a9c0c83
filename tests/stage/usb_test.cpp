// Discovery of the USI2 among the connected devices, against the simulated bus.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "stage/stage.h"
#include "tests/fake_d2xx/sim_support.h"

namespace vextal::test {
namespace {

using Calls = std::vector<std::string>;

struct DiscoveryCase {
    const char* name;
    std::string scenario;
    int result;
    Calls calls;
};

TEST(Discovery, FindsTheFirstQualifyingDeviceAndOpensItBySerial) {
    const std::string usi2 = "device SN1 " + kUsi2 + "\n";
    const std::string long_serial(70, 'S');
    const DiscoveryCase cases[] = {
        {"no device: nothing listed", "", 100, {count_call(0)}},
        {"the USI2 alone",
         usi2,
         0,
         {count_call(1), list_all_call(1), serial_call(0, "SN1"), open_call("SN1")}},
        {"the second of two",
         "device A1 USB Serial Converter\ndevice SN2 " + kUsi2 + "\n",
         0,
         {count_call(2), list_all_call(2), list_all_call(2), serial_call(1, "SN2"),
          open_call("SN2")}},
        {"two that qualify: the lower index",
         "device SN1 " + kUsi2 + "\ndevice SN2 " + kUsi2 + "\n",
         0,
         {count_call(2), list_all_call(2), serial_call(0, "SN1"), open_call("SN1")}},
        {"a longer description never qualifies",
         "device SN1 " + kUsi2 + " 2\n",
         100,
         {count_call(1), list_all_call(1)}},
        {"a piece of the text qualifies",
         "device SN1 ELV USB\n",
         0,
         {count_call(1), list_all_call(1), serial_call(0, "SN1"), open_call("SN1")}},
        {"a piece from the middle qualifies",
         "device SN1 Schrittmotoren\n",
         0,
         {count_call(1), list_all_call(1), serial_call(0, "SN1"), open_call("SN1")}},
        {"an empty description qualifies",
         "device SN1\n",
         0,
         {count_call(1), list_all_call(1), serial_call(0, "SN1"), open_call("SN1")}},
        {"case counts", "device SN1 elv usb\n", 100, {count_call(1), list_all_call(1)}},
        {"the count fails",
         usi2 + "fail FT_ListDevices 4 1\n",
         4,
         {"FT_ListDevices(count, null, 0x80000000) -> 4"}},
        {"the listing fails: nothing opened",
         usi2 + "fail FT_ListDevices 5 2\n",
         5,
         {count_call(1), "FT_ListDevices(list of 64, count, 0x20000002) -> 5"}},
        {"the serial number fails",
         usi2 + "fail FT_ListDevices 6 3\n",
         6,
         {count_call(1), list_all_call(1), "FT_ListDevices(0, buffer, 0x40000001) -> 6"}},
        {"the opening fails",
         usi2 + "fail FT_OpenEx 3\n",
         3,
         {count_call(1), list_all_call(1), serial_call(0, "SN1"), open_call("SN1", 3)}},
        // A serial number that fills the buffer arrives without its NUL; the
        // driver ends it at 63 characters, which no device has.
        {"an unterminated serial number",
         "device " + long_serial + " " + kUsi2 + "\n",
         2,
         {count_call(1), list_all_call(1), serial_call(0, long_serial),
          open_call(long_serial.substr(0, 63), 2)}},
        {"an unterminated description",
         "device SN1 " + kUsi2 + std::string(40, 'x') + "\n",
         100,
         {count_call(1), list_all_call(1)}},
    };
    for (const DiscoveryCase& c : cases) {
        SCOPED_TRACE(c.name);
        use_sim(c.scenario);
        EXPECT_EQ(usb_find_usi2(), c.result);
        EXPECT_EQ(sim_calls(), c.calls);
        EXPECT_EQ(usi2_handle != nullptr, c.result == 0);
    }
}

// The full listing writes one description per connected device: it is used
// only while the list has room for twice the count; beyond that each
// description is listed on its own, and only the first 64 devices are examined.
TEST(Discovery, ManyDevicesNeverOverrunTheList) {
    struct ManyCase {
        int devices;
        int usi2_index;  // -1: none
        int result;
        int examined;
        bool list_all;
    };
    const ManyCase cases[] = {
        {32, 31, 0, 32, true},    {33, 32, 0, 33, false},   {70, 63, 0, 64, false},
        {70, 64, 100, 64, false}, {70, -1, 100, 64, false},
    };
    for (const ManyCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.devices) + " devices, USI2 at " +
                     std::to_string(c.usi2_index));
        std::string scenario;
        for (int i = 0; i < c.devices; ++i) {
            std::string description = i == c.usi2_index ? kUsi2 : "Other" + std::to_string(i);
            scenario += "device S" + std::to_string(i) + " " + description + "\n";
        }
        use_sim(scenario);
        EXPECT_EQ(usb_find_usi2(), c.result);

        Calls expected{count_call(c.devices)};
        for (int i = 0; i < c.examined; ++i) {
            std::string description = i == c.usi2_index ? kUsi2 : "Other" + std::to_string(i);
            expected.push_back(c.list_all ? list_all_call(c.devices)
                                          : description_call(i, description));
        }
        if (c.result == 0) {
            std::string serial = "S" + std::to_string(c.usi2_index);
            expected.push_back(serial_call(c.usi2_index, serial));
            expected.push_back(open_call(serial));
        }
        EXPECT_EQ(sim_calls(), expected);
    }
}

// A library that cannot be loaded counts as no device connected.
TEST(Discovery, WithoutTheLibraryNoDeviceIsFound) {
    use_sim("device SN1 " + kUsi2 + "\n");
    d2xx_use(nullptr);
    EXPECT_EQ(usb_find_usi2(), 100);
    EXPECT_TRUE(sim_calls().empty());
    EXPECT_EQ(usi2_handle, nullptr);
}

// Both ways of listing hand out the description at the index, and leave the
// caller's text alone when the library fails.
TEST(Discovery, DescriptionIsUntouchedOnFailure) {
    for (uint32_t count : {2u, 40u}) {
        SCOPED_TRACE(count);
        use_sim("device A1 First\ndevice A2 Second\nfail FT_ListDevices 7 2\n");
        UsbText text{};
        EXPECT_EQ(usb_description(1, count, text), 0);
        EXPECT_STREQ(text.data(), "Second");
        UsbText kept{};
        kept.fill('x');
        text = kept;
        EXPECT_EQ(usb_description(1, count, text), 7);
        EXPECT_EQ(text, kept);
    }
}

}  // namespace
}  // namespace vextal::test
