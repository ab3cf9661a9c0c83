#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "calib/calibration.h"

namespace vextal {
namespace {

// The original table of the worked calibration example.
const CalPoint kExample[] = {{0, 25}, {4, 25},     {6, 20},     {10, 10.7f},
                             {15, 8}, {16, 99.9f}, {255, 99.9f}};
constexpr int32_t kExampleCount = 7;

TEST(FindSegment, ReturnsTheLastKeyAtOrBelowTheSearchKey) {
    struct {
        float key;
        int32_t index;
    } const cases[] = {
        {-1, -1}, {0, 0}, {3, 0}, {4, 1}, {5, 1}, {10, 3}, {15.5f, 4}, {255, 6}, {300, 6},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_segment(kExample, sizeof(CalPoint), kExampleCount, c.key), c.index) << c.key;
    }

    const CalPoint equal_keys[] = {{0, 0}, {50, 1}, {50, 2}, {60, 3}};
    EXPECT_EQ(find_segment(equal_keys, sizeof(CalPoint), 4, 50), 2);  // the last of the equal keys
}

TEST(FindSegment, ReadsRecordsOfAnySize) {
    // Records of 13 bytes, so most keys sit at unaligned addresses.
    constexpr std::size_t kSize = 13;
    const float keys[] = {-2.5f, 1, 1, 7, 1000};
    std::vector<unsigned char> bytes(kSize * 5, 0xAB);
    for (std::size_t i = 0; i < 5; ++i) std::memcpy(&bytes[i * kSize], &keys[i], sizeof(float));
    struct {
        float key;
        int32_t index;
    } const cases[] = {{-3, -1}, {-2.5f, 0}, {0.5f, 0}, {1, 2}, {6.9f, 2}, {7, 3}, {1e9f, 4}};
    for (const auto& c : cases) {
        EXPECT_EQ(find_segment(bytes.data(), kSize, 5, c.key), c.index) << c.key;
    }
}

TEST(FindSegment, EmptyOrNegativeCountReadsNothing) {
    const int32_t cases[][2] = {{0, -1}, {-5, -6}, {INT32_MIN, INT32_MIN}};
    for (const auto& c : cases) EXPECT_EQ(find_segment(nullptr, 8, c[0], 1.0f), c[1]) << c[0];
}

TEST(LineValue, TakesTheInterceptAtTheSecondPoint) {
    // 1 + (1 - 0.3f) is 0x1.b33333p+0, halfway between two floats. Taking the
    // intercept at the second point reaches it exactly; at the first point the
    // result would be one double step lower and be stored as the lower float.
    const CalPoint segment[] = {{1, 0.3f}, {4, 1.0f}};
    double y = line_value(segment, 7);
    EXPECT_EQ(y, 0x1.b33333p+0);
    EXPECT_EQ(static_cast<float>(y), 0x1.b33334p+0f);
}

TEST(LineValue, SegmentOfOneXGivesTheSecondY) {
    const CalPoint cases[][2] = {
        {{3, 1}, {3, 7}},
        {{255, 99.9f}, {255, -4}},
        {{-0.0f, 2}, {0.0f, 5}},
    };
    for (const auto& c : cases) {
        for (float x : {-10.0f, 3.0f, 255.0f, 1e30f}) {
            EXPECT_EQ(line_value(c, x), static_cast<double>(c[1].y)) << c[0].x << " at " << x;
        }
    }
}

TEST(TableLookup, InterpolatesAndExtrapolatesTheExampleTable) {
    struct {
        float x;
        float stored;  // the result as the caller keeps it, in single precision
    } const cases[] = {
        {0, 25},      {3, 25},
        {-1, 25},                                   // below the table: along the flat first segment
        {5, 22.5f},   {7, 17.674999237060546875f},  // the float nearest 17.675
        {10, 10.7f},  {16, 99.9f},
        {300, 99.9f},  // beyond the table: along the flat last segment
    };
    for (const auto& c : cases) {
        EXPECT_EQ(static_cast<float>(table_lookup(kExample, kExampleCount, c.x)), c.stored) << c.x;
    }
    EXPECT_EQ(table_lookup(kExample, kExampleCount, 7), 17.6749999523162841796875);
}

TEST(TableLookup, SmallAndDegenerateTables) {
    const CalPoint one[] = {{4, 3.5f}};
    const CalPoint two[] = {{2, 10}, {4, 20}};
    const CalPoint closing_at_255[] = {{0, 1}, {255, 5}, {255, 9}};
    const CalPoint unordered[] = {{0, 10}, {-5, 10}, {2, 20}, {3, 30}};
    struct {
        const char* what;
        const CalPoint* points;
        int32_t count;
        float x;
        double y;
    } const cases[] = {
        {"one point, below", one, 1, -100, 3.5},
        {"one point, above", one, 1, 1e30f, 3.5},
        {"two points, inside", two, 2, 3, 15},
        {"two points, below", two, 2, 0, 0},
        {"two points, above", two, 2, 10, 50},
        {"last segment shares its x", closing_at_255, 3, 255, 9},
        {"beyond a last segment sharing its x", closing_at_255, 3, 300, 9},
        // The search meets -5 after 0 and goes on as on an ordered table:
        // x = 2 lands on the segment (2, 20)-(3, 30).
        {"unordered table", unordered, 4, 2, 20},
        {"no points", one, 0, 1, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(table_lookup(c.points, c.count, c.x), c.y) << c.what;
}

}  // namespace
}  // namespace vextal
