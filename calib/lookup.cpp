#include <climits>
#include <cstring>

#include "calib/calibration.h"

namespace vextal {

int32_t find_segment(const void* records, std::size_t record_size, int32_t count, float key) {
    if (count <= 0) return count == INT32_MIN ? INT32_MIN : count - 1;
    const auto* bytes = static_cast<const unsigned char*>(records);
    int32_t lo = 0;
    int32_t hi = count;
    while (lo < hi) {
        int32_t mid = lo + (hi - lo) / 2;  // (lo + hi) / 2 without the overflow
        // The key is copied out of the record, which may be of any type that
        // begins with a float.
        float mid_key = 0.0f;
        std::memcpy(&mid_key, bytes + static_cast<std::size_t>(mid) * record_size, sizeof mid_key);
        if (key < mid_key) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return hi - 1;
}

// The intercept is taken at the second point, not the first; the written
// tables depend on this order of the double-precision operations.
double line_value(const CalPoint* segment, float x) {
    const CalPoint& p0 = segment[0];
    const CalPoint& p1 = segment[1];
    double dx = static_cast<double>(p1.x) - static_cast<double>(p0.x);
    if (dx == 0.0) return p1.y;  // no line through two points of the same x
    double slope = (static_cast<double>(p1.y) - static_cast<double>(p0.y)) / dx;
    double intercept = static_cast<double>(p1.y) - slope * static_cast<double>(p1.x);
    return intercept + slope * static_cast<double>(x);
}

double table_lookup(const CalPoint* points, int32_t count, float x) {
    if (count <= 0) return 0.0;
    if (count == 1) return points[0].y;
    int32_t i = find_segment(points, sizeof(CalPoint), count, x);
    if (i < 0) {
        i = 0;
    } else if (i > count - 2) {
        i = count - 2;
    }
    return line_value(points + i, x);
}

}  // namespace vextal
