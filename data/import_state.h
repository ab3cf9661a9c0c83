// What an import holds while it reads a table: what the lines read so far
// decided, the lines that wait for the decimal mark, and what the records
// are made of. The caller owns it, as it is large, and it goes through every
// step of the import.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "data/table_fields.h"
#include "data/table_file.h"

namespace vextal {

/// What the lines before the first data line held, for one separator: the
/// most fields of one of them (the header's, where one has two or more), the
/// first that held a number in a chosen column without being data, and the
/// first with a quote that is not closed (the text after that quote).
struct LinesBefore {
    int32_t fields = 0;
    LineNo fields_line = 0;
    LineNo odd_line = 0;
    std::array<char, kLineSize> odd{};
    std::size_t odd_n = 0;
    LineNo unclosed_line = 0;
    std::array<char, kLineSize> unclosed{};
    std::size_t unclosed_n = 0;
};

/// What the lines read so far decided.
struct ImportLines {
    std::array<int32_t, 2> column{};  ///< from 0
    bool named = false;               ///< a column is chosen by name: the header line first
    bool header_found = false;
    Separator sep = Separator::kNone;
    bool sep_known = false;  ///< given by "sep=" or by the header line
    LineNo sep_line = 0;     ///< the line that decided the separator
    bool data = false;       ///< the first data line has been read
    std::array<LinesBefore, kSeparatorCount> before{};
    int32_t most_fields = 0;  ///< a data line may hold no more; 0 until known
    LineNo most_fields_line = 0;
    bool header = false;  ///< most_fields is the header's
};

/// A data line that waits for the file's decimal mark: a field of it reads
/// two ways, or one before it does. Such a field is short (kEitherWayText).
struct WaitingLine {
    LineNo line = 0;
    RecordText point;
    std::array<char, kEitherWayText> position{};
    std::array<char, kEitherWayText> reading{};
    std::size_t position_n = 0;  ///< nonzero where the position waits
    std::size_t reading_n = 0;   ///< nonzero where the reading waits
};

/// The decimal mark and the lines that wait for it.
struct ImportValues {
    Separator sep = Separator::kNone;
    DecimalMark mark = DecimalMark::kUndecided;
    LineNo mark_line = 0;  ///< 0 where -decimal gave the mark
    int32_t waiting = 0;
    std::array<WaitingLine, kMaxMeasurements> lines{};
};

/// Slots of the table that finds the record of a position: twice the
/// records, so that a search rarely looks at more than one or two.
constexpr std::size_t kRecordSlots = 2048;
static_assert(kRecordSlots >= 2 * static_cast<std::size_t>(kMaxMeasurements));

/// What the records are made of besides their text: the position's value,
/// which orders them and tells them apart, and with -mean the sum and the
/// number of the readings.
struct ImportRecords {
    bool mean = false;
    bool keep_order = false;
    std::array<double, kMaxMeasurements> position{};
    std::array<int64_t, kMaxMeasurements> sum{};
    std::array<int64_t, kMaxMeasurements> readings{};
    std::array<int16_t, kRecordSlots> slot{};  ///< a record's index plus 1; 0 where free
    std::array<int16_t, kMaxMeasurements> order{};
    std::array<int16_t, kMaxMeasurements> scratch{};
};

/// One import from start to end: how it reads, the table it fills, and what
/// its three steps (lines, values, records) keep between the lines.
struct ImportState {
    const ImportOptions* options = nullptr;
    ImportTable* table = nullptr;
    ImportLines lines;
    ImportValues values;
    ImportRecords records;
};

}  // namespace vextal
