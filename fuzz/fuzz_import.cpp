// The importer on a whole table; every table it takes is written and read
// back by the measurement file reader, which must give every value exactly.
// The first byte chooses the options: 1 -round, 2 -mean, 4 -keep-order, 8
// -decimal point, 16 -decimal comma (both: neither), 32 -cols with the text
// up to the first line feed after it; the table follows.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/option_words.h"
#include "data/import_state.h"
#include "data/measurement.h"
#include "data/measurement_file.h"
#include "data/table_file.h"
#include "files/output_file.h"
#include "fuzz/fuzz_exit.h"
#include "text/numscan.h"

namespace {

bool same_bits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The options of the input's first bytes; false where -cols would be refused
// on the command line. `used` receives the bytes they took.
bool options_of(const uint8_t* data, size_t size, vextal::ImportOptions& options, size_t& used) {
    used = 0;
    if (size == 0) return true;
    const uint8_t flags = data[0];
    used = 1;
    options.round = (flags & 1) != 0;
    options.mean = (flags & 2) != 0;
    options.keep_order = (flags & 4) != 0;
    const int mark = (flags >> 3) & 3;
    options.decimal_mark = mark == 1 ? '.' : mark == 2 ? ',' : '\0';
    if ((flags & 32) == 0) return true;
    const void* end = std::memchr(data + 1, '\n', size - 1);
    const size_t length = end != nullptr
                              ? static_cast<size_t>(static_cast<const uint8_t*>(end) - data - 1)
                              : size - 1;
    used += length + (end != nullptr ? 1 : 0);
    const std::string cols(reinterpret_cast<const char*>(data + 1), length);
    return cols.find('\0') == std::string::npos &&
           vextal::parse_column_choice(cols.c_str(), options.columns);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    fuzz::install_exit_handler();
    static const std::string table_path = "/tmp/vextal_fuzz_import_" + std::to_string(getpid());
    static const std::string msm_path = table_path + ".msm";
    static ImportTable table;
    static ImportState state;
    ImportOptions options;
    options.words = import_words();
    size_t used = 0;
    if (!options_of(data, size, options, used)) return 0;
    FILE* f = std::fopen(table_path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data + used, 1, size - used, f);
    std::fclose(f);

    try {
        read_table_file(table_path.c_str(), options, state, table);
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
        return 0;
    }
    if (table.count < 1 || table.count > kMaxMeasurements) __builtin_trap();
    // Each record holds at least one reading, and without -mean exactly one;
    // only -round rounds.
    if (table.readings < table.count || (!options.mean && table.readings != table.count)) {
        __builtin_trap();
    }
    if (table.rounded < 0 || table.rounded > table.readings || (!options.round && table.rounded)) {
        __builtin_trap();
    }
    if (options.mean &&
        (table.fewest_per_point < 1 || table.most_per_point < table.fewest_per_point))
        __builtin_trap();

    // The order is the file's order sorted stably from the largest position.
    if (!options.keep_order) {
        static ImportTable kept;
        ImportOptions keep = options;
        keep.keep_order = true;
        try {
            read_table_file(table_path.c_str(), keep, state, kept);
        } catch (const fuzz::RunEnded&) {
            __builtin_trap();  // the order does not decide whether a table is taken
        }
        std::vector<RecordText> sorted(kept.points.begin(), kept.points.begin() + kept.count);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const RecordText& a, const RecordText& b) {
                             return text_to_double(a.stage.data()) > text_to_double(b.stage.data());
                         });
        if (kept.count != table.count) __builtin_trap();
        for (int32_t i = 0; i < table.count; ++i) {
            const RecordText& a = sorted[static_cast<std::size_t>(i)];
            const RecordText& b = table.points[static_cast<std::size_t>(i)];
            if (a.stage != b.stage || a.psd != b.psd) __builtin_trap();
        }
    }

    // The header values come from the first point, so that they are fuzzed too.
    MeasurementHeader header;
    header.has_max_range = true;
    header.max_range = text_to_double(table.points[0].stage.data());
    header.has_average = true;
    header.average = table.points[0].psd;
    static MeasurementTable loaded;
    HeaderValues values;
    try {
        static OutFile out;
        if (!out_open(out, msm_path.c_str())) return 0;
        write_measurement_file(out, header, table.points.data(), table.count);
        if (!out_close(out) || !out_commit_all()) __builtin_trap();
        load_measurement_file(msm_path.c_str(), loaded, values);
    } catch (const fuzz::RunEnded&) {
        __builtin_trap();  // a table that was taken must be written and read back
    }
    unlink(msm_path.c_str());
    if (loaded.count != table.count) __builtin_trap();
    if (!same_bits(values.max_range, header.max_range)) __builtin_trap();
    if (values.average != header.average) __builtin_trap();
    for (int32_t i = 0; i < table.count; ++i) {
        const RecordText& point = table.points[static_cast<std::size_t>(i)];
        const Measurement& record = loaded.records[static_cast<std::size_t>(i)];
        if (!same_bits(record.stage, text_to_double(point.stage.data()))) __builtin_trap();
        if (record.psd != point.psd) __builtin_trap();
        // From the largest position down unless the file's order is kept;
        // with -mean no position twice.
        for (int32_t j = 0; j < i; ++j) {
            const double earlier = loaded.records[static_cast<std::size_t>(j)].stage;
            if (!options.keep_order && earlier < record.stage) __builtin_trap();
            if (options.mean && earlier == record.stage) __builtin_trap();
        }
    }
    return 0;
}
