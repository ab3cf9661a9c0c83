// The lines of text that the check builds for its report and its warnings,
// shared by the check's own files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "data/measurement.h"
#include "text/format.h"

namespace vextal::check_text {

inline const Measurement& record(const MeasurementTable& run, int32_t i) {
    return run.records[static_cast<std::size_t>(i)];
}

/// The records of `run`, held within its capacity.
inline int32_t record_count(const MeasurementTable& run) {
    const int32_t n = run.count;
    return n < 0 ? 0 : (n > kMaxMeasurements ? kMaxMeasurements : n);
}

// A line of text built piece by piece, NUL-terminated, cut where it would
// overflow.
struct Text {
    char* out;
    std::size_t room;  // bytes of `out`
    std::size_t n = 0;

    /// Without a buffer, a line that is built and not kept.
    Text(char* buffer, std::size_t size) : out(buffer), room(size) {
        if (out != nullptr) out[0] = '\0';
    }
    template <std::size_t N>
    explicit Text(char (&buffer)[N]) : Text(buffer, N) {}
    Text& put(const char* text, std::size_t size) {
        if (out == nullptr) return *this;
        if (size > room - 1 - n) size = room - 1 - n;
        std::memcpy(out + n, text, size);
        n += size;
        out[n] = '\0';
        return *this;
    }
    Text& put(const char* text) { return put(text, std::strlen(text)); }
    Text& put(int32_t value) {
        char digits[kIntTextMax];
        return put(digits, format_int(value, 0, digits));
    }
    Text& fixed(double value, int decimals) {
        char digits[kFixedTextMax];
        return put(digits, format_fixed(value, decimals, digits));
    }
};

}  // namespace vextal::check_text
