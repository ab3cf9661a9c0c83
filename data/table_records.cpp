#include "data/table_records.h"

#include <cstdio>
#include <cstring>

#include "common/console.h"
#include "text/numscan.h"

namespace vextal {

namespace {

// Readings at one position that -mean adds up: their sum stays far inside
// 64 bits.
constexpr int64_t kMaxPerPosition = INT32_MAX;

std::size_t slot_of(double position) {
    const double key = position == 0.0 ? 0.0 : position;  // -0 is the position 0
    uint64_t bits = 0;
    std::memcpy(&bits, &key, sizeof bits);
    bits ^= bits >> 31;
    bits *= 0x9E3779B97F4A7C15u;
    return static_cast<std::size_t>(bits >> 53) & (kRecordSlots - 1);
}

// The record at `position`; where there is none yet, the next one, and
// `fresh` says so; -1 when the table is full.
int32_t record_at(ImportState& state, double position, bool& fresh) {
    ImportRecords& records = state.records;
    const ImportTable& table = *state.table;
    std::size_t s = slot_of(position);
    for (; records.slot[s] != 0; s = (s + 1) & (kRecordSlots - 1)) {
        const int32_t i = records.slot[s] - 1;
        if (records.position[static_cast<std::size_t>(i)] == position) {
            fresh = false;
            return i;
        }
    }
    if (table.count >= kMaxMeasurements) return -1;
    records.slot[s] = static_cast<int16_t>(table.count + 1);
    fresh = true;
    return table.count;
}

// The mean of `count` readings adding up to `sum`, rounded to the nearest
// whole number, halves away from zero; exact for every sum, in integers.
int32_t rounded_mean(int64_t sum, int64_t count) {
    int64_t mean = sum / count;
    const int64_t rest = sum % count;
    if (2 * (rest < 0 ? -rest : rest) >= count) mean += sum < 0 ? -1 : 1;
    return static_cast<int32_t>(mean);
}

// Orders the records from the largest position to the smallest; records of
// equal position keep their order. A merge of ever longer runs of their
// numbers, so that a run recorded from near to far, the other way round,
// costs no more than any other.
void order_far_to_near(ImportState& state) {
    ImportRecords& records = state.records;
    ImportTable& table = *state.table;
    const auto n = static_cast<std::size_t>(table.count);
    int16_t* from = records.order.data();
    int16_t* to = records.scratch.data();
    for (std::size_t i = 0; i < n; ++i) from[i] = static_cast<int16_t>(i);
    const auto position = [&records](int16_t i) {
        return records.position[static_cast<std::size_t>(i)];
    };
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t low = 0; low < n; low += 2 * width) {
            const std::size_t middle = low + width < n ? low + width : n;
            const std::size_t high = low + 2 * width < n ? low + 2 * width : n;
            std::size_t left = low;
            std::size_t right = middle;
            for (std::size_t k = low; k < high; ++k) {
                // The later record goes first only where its position is larger.
                const bool take_right =
                    left == middle ||
                    (right < high && position(from[right]) > position(from[left]));
                to[k] = take_right ? from[right++] : from[left++];
            }
        }
        int16_t* const merged = to;
        to = from;
        from = merged;
    }
    int16_t* const order = from;
    table.order = ImportOrder::kAlready;
    for (std::size_t i = 0; i < n; ++i) {
        if (static_cast<std::size_t>(order[i]) == i) continue;
        table.order = ImportOrder::kReversed;
        for (std::size_t j = 0; j < n; ++j) {
            if (static_cast<std::size_t>(order[j]) != n - 1 - j) table.order = ImportOrder::kSorted;
        }
        break;
    }
    // Each place takes the record that order names for it, one cycle at a time.
    for (std::size_t i = 0; i < n; ++i) {
        if (static_cast<std::size_t>(order[i]) == i) continue;
        const RecordText first = table.points[i];
        std::size_t j = i;
        for (;;) {
            const auto k = static_cast<std::size_t>(order[j]);
            order[j] = static_cast<int16_t>(j);
            if (k == i) {
                table.points[j] = first;
                break;
            }
            table.points[j] = table.points[k];
            j = k;
        }
    }
}

}  // namespace

void records_start(ImportState& state) {
    const ImportOptions& options = *state.options;
    ImportTable& table = *state.table;
    ImportRecords& records = state.records;
    records.mean = options.mean;
    records.keep_order = options.keep_order;
    records.slot.fill(0);
    table.count = 0;
    table.readings = 0;
    table.rounded = 0;
    table.fewest_per_point = 0;
    table.most_per_point = 0;
}

void records_add(ImportState& state, LineNo line_no, const RecordText& point) {
    ImportRecords& records = state.records;
    ImportTable& table = *state.table;
    const double position = text_to_double(point.stage.data());
    int32_t i = table.count;
    bool fresh = true;
    if (!records.mean) {
        if (i >= kMaxMeasurements) fail_line(line_no, "more than 1000 points");
    } else {
        i = record_at(state, position, fresh);
        if (i < 0) fail_line(line_no, "more than 1000 positions");
    }
    const auto k = static_cast<std::size_t>(i);
    if (fresh) {
        table.points[k] = point;  // with -mean, the text of its first line
        records.position[k] = position;
        records.sum[k] = 0;
        records.readings[k] = 0;
        ++table.count;
    }
    if (records.readings[k] == kMaxPerPosition) {
        fail_line(line_no, "more than 2147483647 readings at one position");
    }
    records.sum[k] += point.psd;
    ++records.readings[k];
    ++table.readings;
}

void records_finish(ImportState& state) {
    const ImportRecords& records = state.records;
    ImportTable& table = *state.table;
    std::size_t low = 0;
    std::size_t high = 0;
    if (records.mean) {
        for (std::size_t k = 0; k < static_cast<std::size_t>(table.count); ++k) {
            const int64_t n = records.readings[k];
            table.points[k].psd = rounded_mean(records.sum[k], n);
            if (k == 0 || n < table.fewest_per_point) table.fewest_per_point = n;
            if (n > table.most_per_point) table.most_per_point = n;
        }
    }
    for (std::size_t k = 0; k < static_cast<std::size_t>(table.count); ++k) {
        const RecordText& point = table.points[k];
        if (k == 0 || records.position[k] < records.position[low]) low = k;
        if (k == 0 || records.position[k] > records.position[high]) high = k;
        if (k == 0 || point.psd < table.lowest_reading) table.lowest_reading = point.psd;
        if (k == 0 || point.psd > table.highest_reading) table.highest_reading = point.psd;
    }
    table.lowest = table.points[low];
    table.highest = table.points[high];
    table.decimal_mark = static_cast<char>(state.values.mark);
    table.order = ImportOrder::kKept;
    if (!records.keep_order) order_far_to_near(state);
}

void print_import_summary(const ImportOptions& options, const ImportTable& table) {
    char line[200];
    if (options.round) {
        std::snprintf(line, sizeof line, "readings: %s of %s rounded to whole numbers\n",
                      number_text(static_cast<uint64_t>(table.rounded)).text,
                      number_text(static_cast<uint64_t>(table.readings)).text);
        console_puts(stdout, line);
    }
    if (options.mean) {
        char each[64];
        const NumberText fewest = number_text(static_cast<uint64_t>(table.fewest_per_point));
        if (table.fewest_per_point == table.most_per_point) {
            std::snprintf(each, sizeof each, "%s", fewest.text);
        } else {
            std::snprintf(each, sizeof each, "%s to %s", fewest.text,
                          number_text(static_cast<uint64_t>(table.most_per_point)).text);
        }
        std::snprintf(line, sizeof line,
                      "readings: %s averaged into %s record%s, %s at each position\n",
                      number_text(static_cast<uint64_t>(table.readings)).text,
                      number_text(static_cast<uint64_t>(table.count)).text,
                      table.count == 1 ? "" : "s", each);
        console_puts(stdout, line);
    }
}

void print_import_result(const ImportTable& table) {
    // Arrays of characters, not pointers, so that the words need no
    // relocation and stay read-only.
    static constexpr char kOrder[][32] = {
        "kept as in the file",
        "already from far to near",
        "reversed to far to near",
        "sorted from far to near",
    };
    const char mark = table.decimal_mark;
    char line[2 * kMaxStageText + 200];
    std::snprintf(line, sizeof line,
                  "import: %s record%s written, positions %s to %s, readings %d to %d, decimal "
                  "mark %s, order %s\n",
                  number_text(static_cast<uint64_t>(table.count)).text, table.count == 1 ? "" : "s",
                  table.lowest.stage.data(), table.highest.stage.data(), table.lowest_reading,
                  table.highest_reading,
                  mark == '.'   ? "point"
                  : mark == ',' ? "comma"
                                : "none (whole numbers)",
                  kOrder[static_cast<std::size_t>(table.order)]);
    console_puts(stdout, line);
}

}  // namespace vextal
