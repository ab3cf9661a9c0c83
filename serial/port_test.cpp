// The port table's platform-independent rules: bounded copies, the error
// record, and what happens to slots and names that do not exist.
#include "serial/port.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vextal {
namespace {

struct CopyCase {
    const char* source;
    int size;
    std::string expected;  // the buffer afterwards, '#' for untouched bytes
};

TEST(CopyBounded, CopiesAtMostSizeMinusOneAndANul) {
    const CopyCase cases[] = {
        {"abc", -1, "######"},
        {"abc", 0, "######"},
        {"abc", 1, std::string("\0#####", 6)},
        {"abc", 3, std::string("ab\0###", 6)},
        {"abc", 4, std::string("abc\0##", 6)},
        {"abc", 6, std::string("abc\0##", 6)},
        {"", 6, std::string("\0#####", 6)},
    };
    for (const CopyCase& c : cases) {
        char buffer[6] = {'#', '#', '#', '#', '#', '#'};
        copy_bounded(buffer, c.source, c.size);
        EXPECT_EQ(std::string(buffer, 6), c.expected) << c.source << " size " << c.size;
    }
}

TEST(DriverErrorSet, RecordsCodeValueAndBoundedText) {
    g_driver_error = {};
    EXPECT_EQ(driver_error_set(-5, 7, "first"), -5);
    EXPECT_TRUE(g_driver_error.is_set);
    EXPECT_EQ(g_driver_error.code, -5);
    EXPECT_EQ(g_driver_error.value, 7);
    EXPECT_STREQ(g_driver_error.text.data(), "first");

    const std::string long_text(200, 'x');
    EXPECT_EQ(driver_error_set(12, 0, long_text.c_str()), 12);
    EXPECT_EQ(std::string(g_driver_error.text.data()), long_text.substr(0, 119));

    // No text leaves an empty one, not the previous.
    EXPECT_EQ(driver_error_set(-1, 0, nullptr), -1);
    EXPECT_STREQ(g_driver_error.text.data(), "");
    EXPECT_TRUE(g_driver_error.is_set);
}

TEST(PortTable, SlotsThatAreNotOpenAreRefused) {
    for (int slot : {INT_MIN, -1, 0, 4, 8, 9, INT_MAX}) {
        EXPECT_EQ(port_close(slot), -308) << slot;
        EXPECT_EQ(port_set_baud(slot, kBaud115200), -308) << slot;
    }
}

bool every_slot_free() {
    for (const PortSlot& s : g_port_table) {
        if (s.handle != kNoPort) return false;
    }
    return true;
}

TEST(PortTable, MissingPortIsRecordedByName) {
    const std::string missing = "no-such-folder/no-such-port";
    const std::string long_missing = "no-such-folder/" + std::string(185, 'p');
    struct Case {
        const char* name;
        std::string recorded;
    };
    const Case cases[] = {
        {missing.c_str(), missing},
        {long_missing.c_str(), long_missing.substr(0, 119)},
        {nullptr, ""},
    };
    for (const Case& c : cases) {
        g_driver_error = {};
        EXPECT_EQ(port_open_default(c.name, kBaud115200), -301);
        EXPECT_TRUE(g_driver_error.is_set);
        EXPECT_EQ(g_driver_error.code, -301);
        EXPECT_EQ(g_driver_error.value, 0);
        EXPECT_EQ(std::string(g_driver_error.text.data()), c.recorded);
        EXPECT_TRUE(every_slot_free());
    }
}

}  // namespace
}  // namespace vextal
