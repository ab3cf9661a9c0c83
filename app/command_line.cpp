#include "app/command_line.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/cli_table.h"
#include "common/console.h"
#include "common/error_exit.h"
#include "common/limits.h"
#include "common/settings.h"
#include "data/table_file.h"
#include "files/sys_file.h"
#include "text/numscan.h"

namespace vextal {

namespace {

// The usage text lists options of an earlier design ("-max", "-sn", "-pp");
// it is printed unchanged all the same.
constexpr char kUsage[] =
    "Vextal 0.1\n"
    "\n"
    "Usage: Vextal measure -max <max range> -n <steps> [-m <average>] [-sn <SerNo>]\n"
    "              [-psdplot] [-sp <port>] [-pp <port>] [-f <OutFile>] [-c <comment>]\n"
    "\n"
    "   or  Vextal load <InFile> [-psdplot] [-f <OutFile>]\n"
    "\n"
    "   or  Vextal cal <InFile> [-f <OutFile>]\n"
    "\n"
    "Options:\n"
    "  -max      Dist range in [cm]\n"
    "  -n        Number of steps for total range (Default: 128)\n"
    "  -m        Average count (Default: 3)\n"
    "  -sn       Serial number of PSD\n"
    "  -psdplot  Generate plotfile for PSD\n"
    "  -sp       Serial port for LinStage (Default: COM1)\n"
    "  -pp       Parallel port for PSD (Default: LPT1)\n"
    "  -f        Output file praefix (Default: stdout)\n"
    "  -c        comment\n"
    "\n";

// Longest part of an unrecognised option shown in its message.
constexpr std::size_t kShownOptionLength = 50;

// The picture flag is left out of the joined command line, so that the .c
// file of a run with the picture is that of the same run without it.
constexpr OptionId kLeftOutOfCallParams = OptionId::kSvg;

[[noreturn]] void unknown_option(const char* word) {
    char shown[kShownOptionLength + 1] = {};
    sys_name_text(word, shown, sizeof shown);
    char message[80];
    std::snprintf(message, sizeof message, "Unbekannte Option: %s\n", shown);
    error_exit(message, kExitError);
}

void validate() {
    const Settings& s = g_settings;
    if (s.command == kMeasure) {
        if (s.max_range > kMaxRange) {
            error_exit("H\xF6henmessbereich ausserhalb des zul\xE4ssigen Bereichs (0 - 170mm)\n",
                       kExitError);
        }
        if (s.average < kMinAverage || s.average > kMaxAverage) {
            error_exit("Anzahl Mittelung ausserhalb des zul\xE4ssigen Bereichs (3 - 100)\n",
                       kExitError);
        }
    }
    if (s.command == kCheck) {
        if (s.table_file != nullptr && s.steps_given) {
            error_exit(kStepsWithTable, kExitError);
        }
        if (s.table_file != nullptr && s.fit) {
            error_exit(option_row(OptionId::kFit).refused, kExitError);
        }
        if (s.tolerance_given && !(s.tolerance >= 0.0)) {
            error_exit(option_row(OptionId::kTolerance).refused, kExitError);
        }
        if (s.range_given && !(std::isfinite(s.range_from) && std::isfinite(s.range_to))) {
            error_exit(option_row(OptionId::kWorkingRange).refused, kExitError);
        }
    }
    if (s.command == kImport) {
        ColumnChoice choice;
        if (s.columns != nullptr && !parse_column_choice(s.columns, choice)) {
            error_exit(option_row(OptionId::kColumns).refused, kExitError);
        }
        if (s.decimal_mark == '?') error_exit(option_row(OptionId::kDecimal).refused, kExitError);
    }
    if (s.command == kMeasure || s.command == kCal || (s.command == kCheck && !s.table_file)) {
        if (s.steps < kMinSteps || s.steps > kMaxSteps) {
            error_exit("Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs (3 - 1000)\n",
                       kExitError);
        }
    }
}

// Joins argv[1] .. argv[argc-1], each followed by one blank; a longer command
// line is cut at the buffer's capacity. The picture flag is left out where the
// scan, which starts at `first_scanned`, took it as the flag alone (not as an
// option's argument, not as the input file). Each word is written as the
// platform writes names in text.
void join_call_params(int argc, const char* const* argv, int first_scanned) {
    auto& buf = g_settings.call_params;
    std::size_t n = 0;
    int next_scanned = first_scanned;
    for (int i = 1; i < argc; ++i) {
        if (i == next_scanned) {
            const OptionRow* option = find_option(argv[i]);
            next_scanned += option != nullptr && option->argument != nullptr ? 2 : 1;
            if (i > first_scanned && option != nullptr && option->id == kLeftOutOfCallParams) {
                continue;
            }
        }
        n += sys_name_text(argv[i], buf.data() + n, buf.size() - n);
        if (n < buf.size() - 1) buf[n++] = ' ';
    }
    buf[n] = '\0';
}

}  // namespace

void print_usage() {
    console_puts(stdout, kUsage);
    end_process(0);
}

const CommandRow& parse_command_line(int argc, const char* const* argv) {
    Settings& s = g_settings;
    const CommandRow* command = find_command(argv[1]);
    if (command == nullptr) error_exit("No command specified!\n", kExitError);
    s.command = command->command;
    int index = 1;
    if (command->input != Input::kNone) {
        if (argc <= 2) {
            char message[64];
            std::snprintf(message, sizeof message, "'%s' requires a file name", command->word);
            error_exit(message, kExitError);
        }
        s.input_file = argv[2];
        index = command->input == Input::kScanned ? 2 : 3;
    }

    s.prefix_given = 0;
    const int first_scanned = index;
    // The scan starts at the last positional word, which is examined like
    // every other word ("load -psdplot" names a file and sets the flag).
    while (index < argc) {
        const char* w = argv[index];
        const OptionRow* option = find_option(w);
        // An option its row does not name for this command is unknown to it.
        if (option != nullptr && (option->commands & command_bit(command->command)) == 0) {
            unknown_option(w);
        }
        if (option == nullptr) {
            if (w[0] == '-') unknown_option(w);
            ++index;  // a free word is passed over
        } else if (option->argument == nullptr) {
            option->apply(nullptr);
            ++index;
        } else {
            if (index + 1 >= argc) error_exit(option->missing, kExitError);
            option->apply(argv[index + 1]);  // taken whatever it looks like, "-12.5" too
            index += 2;
        }
    }

    validate();
    // Without -f, load and cal take the input file name as the prefix.
    if ((s.command == kLoad || s.command == kCal) && s.prefix_given == 0) {
        s.output_prefix = s.input_file;
    }
    join_call_params(argc, argv, first_scanned);
    return *command;
}

}  // namespace vextal
