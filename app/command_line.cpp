#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

constexpr char kColumnsRequired[] =
    "-cols requires two columns, the position's and the reading's, each by its number from 1 or "
    "by its header name (-cols 3,5)";
constexpr char kDecimalRequired[] = "-decimal requires comma or point";

// Longest part of an unrecognised option shown in its message.
constexpr std::size_t kShownOptionLength = 50;

// The commands an option belongs to, one bit each.
constexpr unsigned bit(Command c) {
    return 1u << c;
}
// The options of the first design, which every one of its commands accepts.
constexpr unsigned kClassic = bit(kMeasure) | bit(kLoad) | bit(kCal) | bit(kInteractive);

struct Option {
    const char* word;
    bool takes_argument;
    void (*apply)(const char* argument);
    const char* missing;  // message when the argument is missing
    unsigned commands = kClassic;
};

constexpr Option kOptions[] = {
    {"-z", true,
     [](const char* a) {
         g_settings.max_range = std::fabs(text_to_double(a));
         g_settings.max_range_given = 1;
     },
     "-z erfordert Angabe des H\xF6henmessbereichs.", kClassic | bit(kImport)},
    {"-n", true,
     [](const char* a) {
         g_settings.steps = text_to_int(a);
         g_settings.steps_given = 1;
     },
     "-n erfordert Anzahl.", kClassic | bit(kCheck)},
    {"-m", true,
     [](const char* a) {
         g_settings.average = text_to_int(a);
         g_settings.average_given = 1;
     },
     "-m erfordert Anzahl.", kClassic | bit(kImport)},
    {"-p", true, [](const char* a) { g_settings.centre_position = text_to_double(a); },
     "-p erfordert Angabe der Mittenposition."},
    {"-model", true, [](const char* a) { g_settings.model = text_to_double(a); },
     "-model erfordert Angabe eines Wertes."},
    {"-sp", true, [](const char* a) { g_settings.serial_port = a; },
     "-sp erfordert den Namen der seriellen Schnittstelle"},
    {"-c", true, [](const char* a) { g_settings.comment = a; },
     "-c erfordert einen Kommentartext."},
    {"-f", true,
     [](const char* a) {
         g_settings.output_prefix = a;
         g_settings.prefix_given = 1;
     },
     "-f erfordert einen Dateinamen.", kClassic | bit(kImport) | bit(kCheck)},
    {"-psdplot", false, [](const char*) { g_settings.psd_plot = 1; }, nullptr},
    {"-hc", false, [](const char*) { g_settings.home_on_init = 0; }, nullptr},
    {"-psd0", false, [](const char*) { g_settings.psd0 = 1; }, nullptr},
    {"-svg", false, [](const char*) { g_settings.svg = 1; }, nullptr, kClassic | bit(kCheck)},
    {"-t", true, [](const char* a) { g_settings.table_file = a; },
     "-t requires the name of a table file (without \".c\")", bit(kCheck)},
    {"-unit", true, [](const char* a) { g_settings.unit = a; },
     "-unit requires the name of the stage unit (for example mm)", kClassic | bit(kCheck)},
    {"-tol", true,
     [](const char* a) {
         g_settings.tolerance = text_to_double(a);
         g_settings.tolerance_given = 1;
     },
     "-tol requires the largest error allowed", bit(kCheck)},
    {"-fit", false, [](const char*) { g_settings.fit = 1; }, nullptr, bit(kCal) | bit(kCheck)},
    {"-cols", true, [](const char* a) { g_settings.columns = a; }, kColumnsRequired, bit(kImport)},
    {"-decimal", true,
     [](const char* a) {
         const bool comma = std::strcmp(a, "comma") == 0;
         g_settings.decimal_mark = comma ? ',' : std::strcmp(a, "point") == 0 ? '.' : '?';
     },
     kDecimalRequired, bit(kImport)},
    {"-round", false, [](const char*) { g_settings.round_readings = 1; }, nullptr, bit(kImport)},
    {"-mean", false, [](const char*) { g_settings.mean_readings = 1; }, nullptr, bit(kImport)},
    {"-keep-order", false, [](const char*) { g_settings.keep_order = 1; }, nullptr, bit(kImport)},
};

// The picture flag is left out of the joined command line, so that the .c
// file of a run with the picture is that of the same run without it.
constexpr const char* kLeftOutOfCallParams = "-svg";

const Option* find_option(const char* word) {
    for (const Option& option : kOptions) {
        if (std::strcmp(option.word, word) == 0) return &option;
    }
    return nullptr;
}

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
            error_exit("-n cannot be given with -t: the table file's entries are checked",
                       kExitError);
        }
        if (s.table_file != nullptr && s.fit) {
            error_exit("-fit cannot be given with -t: the table file's entries are checked",
                       kExitError);
        }
        if (s.tolerance_given && !(s.tolerance >= 0.0)) {
            error_exit("-tol requires a tolerance of 0 or more", kExitError);
        }
    }
    if (s.command == kImport) {
        ColumnChoice choice;
        if (s.columns != nullptr && !parse_column_choice(s.columns, choice)) {
            error_exit(kColumnsRequired, kExitError);
        }
        if (s.decimal_mark == '?') error_exit(kDecimalRequired, kExitError);
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
            const Option* option = find_option(argv[i]);
            next_scanned += option != nullptr && option->takes_argument ? 2 : 1;
            if (i > first_scanned && std::strcmp(argv[i], kLeftOutOfCallParams) == 0) continue;
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

void parse_command_line(int argc, const char* const* argv) {
    Settings& s = g_settings;
    const char* word = argv[1];
    int index = 1;
    if (std::strcmp(word, "measure") == 0) {
        s.command = kMeasure;
    } else if (std::strcmp(word, "load") == 0 || std::strcmp(word, "cal") == 0) {
        bool load = word[0] == 'l';
        if (argc <= 2)
            error_exit(load ? "'load' requires a file name" : "'cal' requires a file name",
                       kExitError);
        s.command = load ? kLoad : kCal;
        s.input_file = argv[2];
        index = 2;
    } else if (std::strcmp(word, "import") == 0 || std::strcmp(word, "check") == 0) {
        const bool import = word[0] == 'i';
        if (argc <= 2) {
            error_exit(import ? "'import' requires a file name" : "'check' requires a file name",
                       kExitError);
        }
        s.command = import ? kImport : kCheck;
        s.input_file = argv[2];
        index = 3;  // the input name is taken as it stands, even one that starts with '-'
    } else if (std::strcmp(word, "interactive") == 0) {
        s.command = kInteractive;
    } else {
        error_exit("No command specified!\n", kExitError);
    }

    s.prefix_given = 0;
    const int first_scanned = index;
    // The scan starts at the last positional word, which is examined like
    // every other word ("load -psdplot" names a file and sets the flag).
    while (index < argc) {
        const char* w = argv[index];
        const Option* option = find_option(w);
        // `import` and `check` know only their own few options; any other
        // option word is unknown to them, flags such as -psdplot too.
        if (option != nullptr && (option->commands & bit(static_cast<Command>(s.command))) == 0) {
            unknown_option(w);
        }
        if (option == nullptr) {
            if (w[0] == '-') unknown_option(w);
            ++index;  // a free word is passed over
        } else if (!option->takes_argument) {
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
}

}  // namespace vextal
