#include <cstdio>
#include <cstring>

#include "common/error_exit.h"
#include "common/file_name.h"
#include "common/settings.h"
#include "common/text_file.h"
#include "data/attribute.h"
#include "data/measurement.h"

namespace vextal {

MeasurementTable g_measurements;

namespace {

// The input name as it is opened: ".msm" is appended unless the name holds
// that text anywhere (so "x.msm.old" stays as it is, "data.MSM" does not).
void build_input_name(const char* name, std::array<char, kMaxPath>& path) {
    const std::size_t len = std::strlen(name);
    const bool has_extension = std::strstr(name, ".msm") != nullptr;
    const std::size_t full = has_extension ? len : len + 4;
    if (full >= path.size()) error_exit("Dateiname zu lang.\n", kExitError);
    std::memcpy(path.data(), name, len + 1);
    if (!has_extension) std::memcpy(path.data() + len, ".msm", 5);
}

// One body line that holds "<measurement": stores its stage and psd as the
// next record and checks that it is complete and numbered in turn.
void take_measurement(const char* line) {
    MeasurementTable& table = g_measurements;
    // A 1001st measurement is refused before anything else is looked at, so
    // that no record is ever stored beyond the table.
    if (table.count >= kMaxMeasurements)
        error_exit("Zu viele Messwerte (maximal 1000).\n", kExitError);
    Measurement& record = table.records[static_cast<std::size_t>(table.count)];
    int32_t no = 0;
    const int has_no = read_int_attribute(line, "no", no);
    const int has_stage = read_double_attribute(line, "stage", record.stage);
    const int has_psd = read_int_attribute(line, "psd", record.psd);
    ++table.count;
    if (!has_no || !has_stage || !has_psd)
        error_exit("Measurement line not complete.\n", kExitError);
    if (no != table.count) error_exit("Measurement missing.\n", kExitError);
}

// Whether a body line holds the end tag or a measurement tag anywhere, found
// in one pass over its '<' characters.
void find_tags(const char* line, bool& end_tag, bool& measurement) {
    end_tag = false;
    measurement = false;
    for (const char* p = std::strchr(line, '<'); p != nullptr; p = std::strchr(p + 1, '<')) {
        if (std::strncmp(p + 1, "/Vextal", 7) == 0) {
            end_tag = true;
            return;
        }
        if (!measurement && std::strncmp(p + 1, "measurement", 11) == 0) measurement = true;
    }
}

}  // namespace

int load_measurement_file(const char* name) {
    std::array<char, kMaxPath> path;
    build_input_name(name, path);

    LineReader reader;
    if (!line_reader_open(reader, path.data())) {
        std::fputs(path.data(), stdout);
        std::fputs("\n", stdout);
        error_exit("Eingabedatei konnte nicht geoeffnet werden.\n", kExitError);
    }

    // Line 1 is read in the same 249-character pieces as every other line:
    // only its first piece is the header, the rest is read as body lines.
    char line[kLineSize];
    if (!line_reader_next(reader, line) || std::strstr(line, "<Vextal") == nullptr) {
        error_exit("File does not start with <Vextal ...>\n", kExitError);
    }
    read_double_attribute(line, "max_range", g_settings.max_range);
    read_int_attribute(line, "avg", g_settings.average);
    read_long_attribute(line, "sn", g_settings.serial_number);

    g_measurements.count = 0;
    while (line_reader_next(reader, line)) {
        // The end tag ends the data even when a measurement shares its line.
        bool end_tag = false;
        bool measurement = false;
        find_tags(line, end_tag, measurement);
        if (end_tag) break;
        if (measurement) take_measurement(line);
    }
    line_reader_close(reader);
    return 0;
}

}  // namespace vextal
