// The program-wide settings: what the command line sets, plus three values
// from the measurement file header.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vextal {

enum Command : int32_t {
    kMeasure = 0,
    kLoad = 1,
    kCal = 2,
    kInteractive = 3,
    kImport = 4,
    kCheck = 5
};

/// Room of the joined command line, terminating NUL included.
constexpr std::size_t kCallParamsSize = 252;
/// The centre position that stands for "not given".
constexpr double kNoCentrePosition = -999.0;
/// The sensor model when none is given; stored only.
constexpr double kNoModel = -999.0;

/// Everything the command line sets, plus three values from the measurement
/// file header. Text fields point at the process's argument texts.
struct Settings {
    int32_t command = kMeasure;
    double max_range = 0.0;
    int32_t steps = 128;
    uint8_t steps_given = 0;  ///< -n was on the command line
    int32_t average = 10;
    uint8_t max_range_given = 0;  ///< -z was on the command line
    uint8_t average_given = 0;    ///< -m was on the command line
    uint8_t prefix_given = 0;     ///< -f was on the command line
    double centre_position = kNoCentrePosition;
    double model = kNoModel;
    uint8_t home_on_init = 1;
    const char* serial_port = "COM1";
    uint8_t psd_plot = 0;
    uint8_t psd0 = 0;
    uint8_t svg = 0;  ///< also write the picture "<prefix>.svg"
    const char* output_prefix = nullptr;
    const char* input_file = nullptr;
    const char* comment = nullptr;
    const char* unit = nullptr;  ///< -unit: the stage unit named in pictures and summaries
    int32_t serial_number = 0;
    const char* table_file = nullptr;  ///< check -t: the table's name without ".c"
    double tolerance = 0.0;            ///< check -tol: the largest error allowed
    uint8_t tolerance_given = 0;
    /// check -range: the working range's ends as given, either order; not a
    /// number where the argument is refused.
    double range_from = 0.0;
    double range_to = 0.0;
    uint8_t range_given = 0;
    uint8_t fit = 0;                ///< cal, check -fit: the noise-tolerant table
    uint8_t strict = 0;             ///< cal, check -strict: a warning is an error
    const char* columns = nullptr;  ///< import -cols: the position's and the reading's column
    char decimal_mark = '\0';       ///< import -decimal: ',' or '.', '?' for another word
    uint8_t round_readings = 0;     ///< import -round
    uint8_t mean_readings = 0;      ///< import -mean
    uint8_t keep_order = 0;         ///< import -keep-order
    uint8_t warn = 0;               ///< cal -warn: the warnings on standard error wherever it goes
    std::array<char, kCallParamsSize> call_params{};
};

/// The one process-wide settings record.
extern Settings g_settings;

}  // namespace vextal
