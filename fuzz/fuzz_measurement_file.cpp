// The measurement file reader on a whole file, and on the same file with every
// line in the measurement job's own form turned into one that only the general
// attribute search reads (a second blank after "<measurement"): lines in the
// written form are read at their fixed places, and that way must store
// exactly what the general one stores, and end the same way.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "data/measurement.h"
#include "data/measurement_file.h"
#include "fuzz/fuzz_exit.h"

namespace {

struct Outcome {
    int exit_code = 0;
    int32_t count = 0;
    std::vector<unsigned char> records;  // the stored records' bytes
    double max_range = 0.0;
    int32_t average = 0;
    int32_t serial_number = 0;
};

Outcome load(const std::string& path, const std::string& content) {
    using namespace vextal;
    Outcome outcome;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return outcome;
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);

    static MeasurementTable table;
    table.count = 0;
    HeaderValues values;
    try {
        load_measurement_file(path.c_str(), table, values);
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
        outcome.exit_code = e.exit_code;
    }
    // However the reading ends, it never stores beyond the table.
    if (table.count < 0 || table.count > kMaxMeasurements) __builtin_trap();
    outcome.count = table.count;
    // Every field is copied on its own: the records' padding is no data.
    for (int32_t i = 0; i < table.count; ++i) {
        const Measurement& r = table.records[static_cast<std::size_t>(i)];
        unsigned char bytes[sizeof r.stage + sizeof r.psd];
        std::memcpy(bytes, &r.stage, sizeof r.stage);
        std::memcpy(bytes + sizeof r.stage, &r.psd, sizeof r.psd);
        outcome.records.insert(outcome.records.end(), bytes, bytes + sizeof bytes);
    }
    outcome.max_range = values.max_range;
    outcome.average = values.average;
    outcome.serial_number = values.serial_number;
    return outcome;
}

// The file with a blank added after "<measurement" at the start of every line
// but the first that is short enough for the blank not to move where a
// 249-character piece ends.
std::string general_form(const std::string& content) {
    constexpr char kStart[] = "<measurement no='";
    std::string out;
    std::size_t line = 0;
    for (std::size_t begin = 0; begin < content.size(); ++line) {
        std::size_t end = content.find('\n', begin);
        end = end == std::string::npos ? content.size() : end + 1;
        const std::size_t length = end - begin;
        if (line > 0 && length <= 200 && content.compare(begin, sizeof kStart - 1, kStart) == 0) {
            out.append(content, begin, 12);
            out += ' ';
            out.append(content, begin + 12, length - 12);
        } else {
            out.append(content, begin, length);
        }
        begin = end;
    }
    return out;
}

bool same_values(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vextal::fuzz::install_exit_handler();
    static const std::string path = "/tmp/vextal_fuzz_" + std::to_string(getpid()) + ".msm";
    const std::string content(reinterpret_cast<const char*>(data), size);
    const Outcome taken = load(path, content);
    const Outcome general = load(path, general_form(content));
    if (taken.exit_code != general.exit_code || taken.count != general.count ||
        taken.records != general.records || !same_values(taken.max_range, general.max_range) ||
        taken.average != general.average || taken.serial_number != general.serial_number) {
        __builtin_trap();
    }
    return 0;
}
