#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "calib/calibration.h"
#include "data/measurement.h"

namespace vextal {
namespace {

// A run of the readings `psd` that claims `count` records; static for its size.
const MeasurementTable& run_of(const std::vector<int32_t>& psd, int32_t count) {
    static MeasurementTable table;
    table = MeasurementTable{};
    for (std::size_t i = 0; i < psd.size(); ++i) table.records[i] = {1.0, psd[i]};
    table.count = count;
    return table;
}

struct RangeCase {
    const char* what;
    std::vector<int32_t> psd;
    int32_t first;
    int32_t last;
};

TEST(MonotoneRange, WalksOutwardFromTheMiddle) {
    const RangeCase cases[] = {
        {"both walks stop at a turn", {40, 9, 12, 20, 30, 28}, 1, 4},
        {"all equal: the whole table", {7, 7, 7, 7, 7}, 0, 4},
        {"strictly decreasing: the middle alone", {50, 40, 30, 20, 10}, 2, 2},
        {"decrease right after the middle", {1, 2, 5, 4, 6}, 0, 2},
        {"decrease right before the middle", {9, 2, 5, 6, 7}, 1, 4},
        {"three records, equal pair below", {5, 5, 4}, 0, 1},
        {"even count starts at the upper middle", {10, 20, 5, 6}, 2, 3},
        {"negative readings", {-30, -20, -20, -25}, 0, 2},
        {"extreme readings", {INT32_MIN, INT32_MAX, INT32_MIN}, 0, 1},
    };
    for (const auto& c : cases) {
        int32_t first = -99;
        int32_t last = -99;
        find_monotone_range(run_of(c.psd, static_cast<int32_t>(c.psd.size())), first, last);
        EXPECT_EQ(first, c.first) << c.what;
        EXPECT_EQ(last, c.last) << c.what;
    }
}

TEST(MonotoneRange, StaysInsideTheTable) {
    std::vector<int32_t> rising(kMaxMeasurements);
    for (int32_t i = 0; i < kMaxMeasurements; ++i) rising[static_cast<std::size_t>(i)] = i;
    struct {
        int32_t count;
        int32_t first;
        int32_t last;
    } const cases[] = {
        {kMaxMeasurements, 0, kMaxMeasurements - 1},
        // A count beyond the capacity is taken as the capacity.
        {kMaxMeasurements + 7, 0, kMaxMeasurements - 1},
        {INT32_MAX, 0, kMaxMeasurements - 1},
    };
    for (const auto& c : cases) {
        int32_t first = -99;
        int32_t last = -99;
        find_monotone_range(run_of(rising, c.count), first, last);
        EXPECT_EQ(first, c.first) << c.count;
        EXPECT_EQ(last, c.last) << c.count;
    }
}

}  // namespace
}  // namespace vextal
