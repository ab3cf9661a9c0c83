// The command line parser on an argument vector: the input is split at NUL
// bytes into words.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "common/settings.h"
#include "data/table_file.h"
#include "fuzz/fuzz_exit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    fuzz::install_exit_handler();
    std::vector<std::string> words{"vextal"};
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    words.push_back(word);
    if (words.size() > 64) words.resize(64);
    std::vector<const char*> argv;
    for (const auto& w : words) argv.push_back(w.c_str());
    argv.push_back(nullptr);

    g_settings = Settings{};
    try {
        parse_command_line(static_cast<int>(words.size()), argv.data());
        // A parsed command line is complete and valid for its command.
        const Settings& s = g_settings;
        if (s.command == kCal && (s.steps < 3 || s.steps > 1000)) __builtin_trap();
        if ((s.command == kCal || s.command == kLoad) && s.output_prefix == nullptr)
            __builtin_trap();
        if (s.call_params[kCallParamsSize - 1] != '\0') __builtin_trap();
        // import applies -f, -z and -m and its own options only, which no
        // other command takes; what it takes of them is valid.
        if (s.command == kImport && (s.input_file == nullptr || s.psd_plot != 0 || s.steps != 128))
            __builtin_trap();
        const bool import_options = s.columns != nullptr || s.decimal_mark != '\0' ||
                                    s.round_readings || s.mean_readings || s.keep_order;
        if (s.command != kImport && import_options) __builtin_trap();
        ColumnChoice choice;
        if (s.columns != nullptr && !parse_column_choice(s.columns, choice)) __builtin_trap();
        if (s.decimal_mark != '\0' && s.decimal_mark != ',' && s.decimal_mark != '.')
            __builtin_trap();
    } catch (const fuzz::RunEnded& e) {
        if (e.exit_code != 2) __builtin_trap();
    }
    return 0;
}
