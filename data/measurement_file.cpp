#include "data/measurement_file.h"

#include <cstring>

#include "common/console.h"
#include "common/error_exit.h"
#include "data/attribute.h"
#include "data/measurement.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/line_reader.h"
#include "files/output_file.h"
#include "files/sys_file.h"
#include "text/format.h"
#include "text/numscan.h"

namespace vextal {

namespace {

// The texts of the format, for the reader and the writer.
constexpr char kRootTag[] = "<Vextal";
constexpr char kEndTag[] = "</Vextal";
constexpr char kMeasurementTag[] = "<measurement";
constexpr char kMaxRangeName[] = "max_range";
constexpr char kAverageName[] = "avg";
constexpr char kSerialNumberName[] = "sn";
constexpr char kNoName[] = "no";
constexpr char kStageName[] = "stage";
constexpr char kPsdName[] = "psd";
// The fixed texts of a measurement line as the measurement job writes it.
constexpr char kNo[] = "<measurement no='";
constexpr char kStage[] = "' stage='";
constexpr char kPsd[] = "' psd='";
constexpr char kLineEnd[] = "'/>";

// The input name as it is opened: ".msm" is appended unless the name holds
// that text anywhere (so "x.msm.old" stays as it is); "data.MSM" holds it
// only where file names ignore case.
void build_input_name(const char* name, std::array<char, kMaxPath>& path) {
    const bool has_extension = sys_name_holds(name, kMeasurementExtension);
    make_file_name(path, name, has_extension ? "" : kMeasurementExtension);
}

// Whether the text from `p` to `end` starts with the literal `text`; one
// comparison of known length.
template <std::size_t N>
bool starts_with(const char* p, const char* end, const char (&text)[N]) {
    return static_cast<std::size_t>(end - p) >= N - 1 && std::memcmp(p, text, N - 1) == 0;
}

// The values of a measurement line.
struct Values {
    int32_t no = 0;
    double stage = 0.0;
    int32_t psd = 0;
};

// A line in the form the measurement job writes, <measurement no='N'
// stage='S' psd='P'... with plain numbers N, S and P: none of the three names
// can occur before its own place, so the attribute search would find the
// same values right after the fixed texts. `limit` is just after the line's
// final NUL; a literal never matches across a NUL, which it does not
// contain. Returns the position after P, or nullptr for any other line.
const char* read_written_form(const char* line, const char* limit, Values& values) {
    const char* p = line;
    if (!starts_with(p, limit, kNo)) return nullptr;
    p = scan_plain_int(p + sizeof kNo - 1, values.no);
    if (p == nullptr || !starts_with(p, limit, kStage)) return nullptr;
    p = scan_plain_decimal(p + sizeof kStage - 1, values.stage);
    if (p == nullptr || !starts_with(p, limit, kPsd)) return nullptr;
    return scan_plain_int(p + sizeof kPsd - 1, values.psd);
}

// One body line that holds "<measurement": stores its stage and psd as the
// next record and checks that it is complete and numbered in turn. `written`
// holds the values of a line in the written form, or is null.
void take_measurement(const char* line, const Values* written, MeasurementTable& table) {
    // A 1001st measurement is refused before anything else is looked at, so
    // that no record is ever stored beyond the table.
    if (table.count >= kMaxMeasurements)
        error_exit("Zu viele Messwerte (maximal 1000).\n", kExitError);
    Measurement& record = table.records[static_cast<std::size_t>(table.count)];
    int32_t no = 0;
    bool has_no = true;
    bool has_stage = true;
    bool has_psd = true;
    if (written != nullptr) {
        no = written->no;
        record.stage = written->stage;
        record.psd = written->psd;
    } else {
        has_no = read_int_attribute(line, kNoName, no);
        has_stage = read_double_attribute(line, kStageName, record.stage);
        has_psd = read_int_attribute(line, kPsdName, record.psd);
    }
    ++table.count;
    if (!has_no || !has_stage || !has_psd)
        error_exit("Measurement line not complete.\n", kExitError);
    if (no != table.count) error_exit("Measurement missing.\n", kExitError);
}

// Whether a body line holds the end tag or a measurement tag anywhere, found
// in one pass over its '<' characters.
void find_tags(const char* line, const char* end, bool& end_tag, bool& measurement) {
    end_tag = false;
    measurement = false;
    for (const char* p = line; p < end; ++p) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (p == nullptr) return;
        if (starts_with(p, end, kEndTag)) {
            end_tag = true;
            return;
        }
        if (!measurement && starts_with(p, end, kMeasurementTag)) measurement = true;
    }
}

}  // namespace

int load_measurement_file(const char* name, MeasurementTable& table, HeaderValues& values) {
    std::array<char, kMaxPath> path;
    build_input_name(name, path);

    LineReader reader;
    if (!line_reader_open(reader, path.data())) {
        console_puts(stdout, shown_name(path.data()).text.data());
        console_puts(stdout, "\n");
        file_error_exit("Eingabedatei konnte nicht geoeffnet werden.\n");
    }

    // Line 1 is read in the same 249-character pieces as every other line:
    // only its first piece is the header, the rest is read as body lines.
    // Zero-filled, so that no byte of it is ever indeterminate.
    char line[kLineSize] = {};
    if (!line_reader_next(reader, line) || std::strstr(line, kRootTag) == nullptr) {
        error_exit("File does not start with <Vextal ...>\n", kExitError);
    }
    table.has_max_range = read_double_attribute(line, kMaxRangeName, values.max_range);
    table.has_average = read_int_attribute(line, kAverageName, values.average);
    table.has_serial_number = read_long_attribute(line, kSerialNumberName, values.serial_number);

    table.count = 0;
    for (;;) {
        const std::size_t length = line_reader_next(reader, line);
        if (length == 0) break;
        // The end tag ends the data even when a measurement shares its line;
        // in the written form no '<' but the first comes before the end of
        // the psd value. Bytes after a NUL are not seen.
        bool end_tag = false;
        bool measurement = false;
        Values written;
        const char* rest = read_written_form(line, line + length + 1, written);
        const char* from = rest != nullptr ? rest : line;
        find_tags(from, from + std::strlen(from), end_tag, measurement);
        if (end_tag) break;
        if (rest != nullptr) {
            take_measurement(line, &written, table);
        } else if (measurement) {
            take_measurement(line, nullptr, table);
        }
    }
    line_reader_close(reader);
    return 0;
}

// ---- writing ----

namespace {

// Appends `size` bytes of `text` at `n` in `line`.
void put(char* line, std::size_t& n, const char* text, std::size_t size) {
    std::memcpy(line + n, text, size);
    n += size;
}

template <std::size_t N>
void put(char* line, std::size_t& n, const char (&text)[N]) {
    put(line, n, text, N - 1);
}

// name='value' after a blank.
void put_attribute(char* line, std::size_t& n, const char* name, const char* value,
                   std::size_t size) {
    line[n++] = ' ';
    put(line, n, name, std::strlen(name));
    put(line, n, "='");
    put(line, n, value, size);
    line[n++] = '\'';
}

void write_header(OutFile& out, const MeasurementHeader& header) {
    char line[kLineSize];
    std::size_t n = 0;
    put(line, n, kRootTag);
    if (header.has_max_range) {
        char value[kRoundTripTextMax];
        put_attribute(line, n, kMaxRangeName, value, format_round_trip(header.max_range, value));
    }
    if (header.has_average) {
        char value[kIntTextMax];
        put_attribute(line, n, kAverageName, value, format_int(header.average, 0, value));
    }
    line[n++] = '>';
    out_line(out, line, n);
}

void write_record(OutFile& out, int32_t no, const RecordText& record) {
    char line[kLineSize];
    char value[kIntTextMax];
    std::size_t n = 0;
    put(line, n, kNo);
    put(line, n, value, format_int(no, 0, value));
    put(line, n, kStage);
    put(line, n, record.stage.data(), std::strlen(record.stage.data()));
    put(line, n, kPsd);
    put(line, n, value, format_int(record.psd, 0, value));
    put(line, n, kLineEnd);
    out_line(out, line, n);
}

}  // namespace

void write_measurement_file(OutFile& out, const MeasurementHeader& header,
                            const RecordText* records, int32_t count) {
    write_header(out, header);
    for (int32_t i = 0; i < count; ++i) write_record(out, i + 1, records[i]);
    char end[sizeof kEndTag + 1];
    std::size_t n = 0;
    put(end, n, kEndTag);
    end[n++] = '>';
    out_line(out, end, n);
}

}  // namespace vextal
