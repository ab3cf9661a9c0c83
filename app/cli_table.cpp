#include "app/cli_table.h"

#include <cmath>
#include <cstring>

#include "app/check_command.h"
#include "app/driver.h"
#include "text/numscan.h"

namespace vextal {

namespace {

constexpr unsigned kImportBit = command_bit(kImport);
constexpr unsigned kCheckBit = command_bit(kCheck);
// The options of the first design: each of its commands takes every one of
// them, also where it has no effect ("cal -psdplot" writes no plot file).
constexpr unsigned kClassic =
    command_bit(kMeasure) | command_bit(kLoad) | command_bit(kCal) | command_bit(kInteractive);

constexpr CommandRow kCommands[] = {
    {"cal", kCal, Input::kScanned, "*.msm", true,
     "cal <InFile> [-n <steps>] [-fit] [-strict] [-warn] [-svg]\n[-f <OutFile>]",
     "read the measurement file <InFile>, write the calibration table <OutFile>.cal and the "
     "firmware table <OutFile>.c",
     "The calibration table is two columns of text, the firmware table the distances in tenths "
     "as a brace-enclosed list of integers. Once both are in place, each warning about the "
     "table or the run is a line \"Warning: ...\" on standard error where that is a terminal, "
     "and wherever it goes with -warn, -fit or -strict; the exit code stays 0 unless -strict "
     "is given.",
     run_load},
    {"load", kLoad, Input::kScanned, "*.msm", true,
     "load <InFile> [-psdplot] [-svg] [-f <OutFile>]", "read the measurement file <InFile>",
     nullptr, run_load},
    {"measure", kMeasure, Input::kNone, nullptr, true,
     "measure [-z <range>] [-n <steps>] [-m <average>] [-p <centre>]\n"
     "[-sp <port>] [-hc] [-psdplot] [-svg] [-f <OutFile>]",
     "open the serial port and initialise the linear stage through its USB stepper-motor "
     "interface (the measurement run itself takes no readings yet)",
     nullptr, run_measure},
    {"import", kImport, Input::kVerbatim, "", true,
     "import <InFile> [-f <OutFile>] [-z <range>] [-m <average>]\n"
     "[-cols <position>,<reading>] [-decimal comma|point]\n"
     "[-round] [-mean] [-keep-order]",
     "turn a CSV, TSV or plot file <InFile> into the measurement file <OutFile>.msm",
     "The columns are separated by commas, semicolons, tabs or blanks (or as a first line "
     "sep=; says), fields may be quoted, and the first line whose two chosen columns hold "
     "numbers is the first data line: title, header and units lines above it are passed over. "
     "A data line may hold no more fields than the header. The decimal mark, a point or a "
     "comma, is the same for the whole file and decided by a number that reads one way only; "
     "the other mark groups digits in threes. The records are written from the largest "
     "position to the smallest. A last line sums up the file written: records, positions, "
     "readings, decimal mark and order.",
     run_import},
    {"check", kCheck, Input::kVerbatim, "*.msm", true,
     "check <InFile> [-t <Table>] [-n <steps>] [-fit] [-tol <max error>]\n"
     "[-range <a>,<b>] [-strict] [-f <OutFile>] [-svg]",
     "check the firmware table <Table>.c, or the table cal would write, against the "
     "measurement file <InFile>: the error of table[reading/2]/10 at each record, with "
     "warnings where the table or the run is unfit",
     "The error is the answer less the stage position. Every record whose stage lies in the "
     "working range is judged (-range; by default from the stage of the peak, the farthest "
     "record holding the highest reading, to the farthest stage of the run), with or without "
     "-t; a reading whose index lies past the table or whose entry is 999 has no answer. It "
     "prints the number of records checked and outside the working range, those without an "
     "answer, the largest, mean and rms error, and a line \"warning: ...\" for each way the "
     "table or the run is unfit. Without -t: a stretch beyond the table, entries that do not "
     "fit an int16_t, a measured 99.9, a stretch cut short by a noisy reading, a run from near "
     "to far, readings of 0 or of full scale, a stretch that leaves much of the run unused, "
     "several records at one stage. With -t, the table's own: entries that do not fit an "
     "int16_t, a 999 between two distances, readings of the run past the table.",
     run_check},
    {"interactive", kInteractive, Input::kNone, nullptr, false, nullptr,
     "accepted, but runs nothing (exit code 2)", nullptr, run_interactive},
};

constexpr char kColumnsRequired[] =
    "-cols requires two columns, the position's and the reading's, each by its number from 1 or "
    "by its header name (-cols 3,5)";
constexpr char kDecimalRequired[] = "-decimal requires comma or point";

// The number that `text` holds up to `end`, a decimal with a point by the
// program's number rule; not a number for any other text, which validation
// then refuses. check's options are read strictly: a comma, a word or text
// after the number would otherwise silently count as another value.
double whole_decimal(const char* text, char end) {
    double value = 0.0;
    const char* after = scan_decimal(text, value);
    return after != nullptr && *after == end ? value : NAN;
}

constexpr OptionRow kOptions[] = {
    {OptionId::kSteps, "-n", "<steps>", kClassic | kCheckBit,
     "entries of the calibration table, 3 to 1000 (default 128)", nullptr, "-n erfordert Anzahl.",
     nullptr,
     [](const char* a) {
         g_settings.steps = text_to_int(a);
         g_settings.steps_given = 1;
     }},
    {OptionId::kFit, "-fit", nullptr, command_bit(kCal) | kCheckBit,
     "cal, check: the table fitted to the whole run, from the farthest record to the peak "
     "reading, so that noise averages out and a lone spike or dropout moves only itself (check: "
     "not with -t)",
     "The readings are fitted to rise from far to near with a median fit; each entry is the "
     "mean position of the two readings it serves, rounded to the tenth.",
     nullptr, "-fit cannot be given with -t: the table file's entries are checked",
     [](const char*) { g_settings.fit = 1; }},
    {OptionId::kStrict, "-strict", nullptr, command_bit(kCal) | kCheckBit,
     "cal, check: any warning is an error (exit code 1); cal then writes no file",
     "The warnings are printed as without it; cal leaves every earlier output file as it was, "
     "check prints its report and writes its files first.",
     nullptr, nullptr, [](const char*) { g_settings.strict = 1; }},
    {OptionId::kWarn, "-warn", nullptr, command_bit(kCal),
     "cal: write the warnings on standard error also where it is a file or a pipe (on a "
     "terminal, and with -fit or -strict, they are always written)",
     "Each warning is a line \"Warning: ...\" after the outputs are in place; the exit code "
     "stays 0.",
     nullptr, nullptr, [](const char*) { g_settings.warn = 1; }},
    {OptionId::kRange, "-z", "<range>", kClassic | kImportBit,
     "maximum range; measure: 0 to 170, the sign is dropped (default 0); import: recorded in "
     "the measurement file",
     nullptr, "-z erfordert Angabe des H\xF6henmessbereichs.", nullptr,
     [](const char* a) {
         g_settings.max_range = std::fabs(text_to_double(a));
         g_settings.max_range_given = 1;
     }},
    {OptionId::kAverage, "-m", "<average>", kClassic | kImportBit,
     "average count; measure: 3 to 100 (default 10); import: recorded in the measurement file",
     nullptr, "-m erfordert Anzahl.", nullptr,
     [](const char* a) {
         g_settings.average = text_to_int(a);
         g_settings.average_given = 1;
     }},
    {OptionId::kCentre, "-p", "<centre>", kClassic,
     "centre position of the stage (default: not given)", nullptr,
     "-p erfordert Angabe der Mittenposition.", nullptr,
     [](const char* a) { g_settings.centre_position = text_to_double(a); }},
    {OptionId::kSerialPort, "-sp", "<port>", kClassic,
     "serial port (default COM1); on Linux COM<n> is /dev/ttyS<n-1>, any other name a device "
     "path",
     nullptr, "-sp erfordert den Namen der seriellen Schnittstelle", nullptr,
     [](const char* a) { g_settings.serial_port = a; }},
    {OptionId::kNoHoming, "-hc", nullptr, kClassic, "do not home the stage when it is initialised",
     nullptr, nullptr, nullptr, [](const char*) { g_settings.home_on_init = 0; }},
    {OptionId::kPsdPlot, "-psdplot", nullptr, kClassic,
     "write the plot file <OutFile>.psd (load, measure; measure needs -f; cal takes it and "
     "writes no plot file)",
     nullptr, nullptr, nullptr, [](const char*) { g_settings.psd_plot = 1; }},
    {OptionId::kSvg, "-svg", nullptr, kClassic | kCheckBit,
     "write the picture <OutFile>.svg of the measured curve, for cal with the table, for check "
     "the picture of the errors (load, cal, measure, check; measure and check need -f)",
     nullptr, nullptr, nullptr, [](const char*) { g_settings.svg = 1; }},
    {OptionId::kTable, "-t", "<Table>", kCheckBit,
     "check: the firmware table <Table>.c to check (then -n is refused)", nullptr,
     "-t requires the name of a table file (without \".c\")", nullptr,
     [](const char* a) { g_settings.table_file = a; }},
    {OptionId::kTolerance, "-tol", "<max error>", kCheckBit,
     "check: the largest error allowed, 0 or more; ends with \"result: pass\" or \"result: "
     "FAIL\" (exit code 1)",
     "The last line gives the reason; the exit code is 1 when a judged record has no answer "
     "or an error beyond it, and when no record is judged at all.",
     "-tol requires the largest error allowed",
     "-tol requires a tolerance of 0 or more, a decimal number with a point (-tol 1.5)",
     [](const char* a) {
         g_settings.tolerance = whole_decimal(a, '\0');
         g_settings.tolerance_given = 1;
     }},
    {OptionId::kWorkingRange, "-range", "<a>,<b>", kCheckBit,
     "check: the working range, the stages from <a> to <b> in either order, both included "
     "(default: from the peak reading's stage to the farthest stage of the run)",
     "Every record of the working range is judged, and one without an answer counts against "
     "-tol; the records outside it are not judged.",
     "-range requires the working range, two stage positions (-range 10,80)",
     "-range requires two stage positions separated by a comma, each a decimal number with a "
     "point (-range 10,80)",
     [](const char* a) {
         const char* second = std::strchr(a, ',');
         g_settings.range_from = whole_decimal(a, ',');
         g_settings.range_to = second == nullptr ? NAN : whole_decimal(second + 1, '\0');
         g_settings.range_given = 1;
     }},
    {OptionId::kPrefix, "-f", "<OutFile>", kClassic | kImportBit | kCheckBit,
     "prefix of the output files (check: <OutFile>.csv and, with -svg, <OutFile>.svg, only "
     "with -f)",
     "The .csv file of check holds a line per record: no, stage, psd, index, answer, error, "
     "status.",
     "-f erfordert einen Dateinamen.", nullptr,
     [](const char* a) {
         g_settings.output_prefix = a;
         g_settings.prefix_given = 1;
     }},
    {OptionId::kColumns, "-cols", "<position>,<reading>", kImportBit,
     "import: the columns of the position and the reading, each by its number from 1 or by its "
     "header name (default 1,2)",
     "A header name that holds a comma is written quoted.", kColumnsRequired, kColumnsRequired,
     [](const char* a) { g_settings.columns = a; }},
    {OptionId::kDecimal, "-decimal", "comma|point", kImportBit,
     "import: comma or point, the decimal mark where the file cannot tell",
     "A number such as 1.080 between semicolons leaves it open.", kDecimalRequired,
     kDecimalRequired,
     [](const char* a) {
         const bool comma = std::strcmp(a, "comma") == 0;
         g_settings.decimal_mark = comma ? ',' : std::strcmp(a, "point") == 0 ? '.' : '?';
     }},
    {OptionId::kRound, "-round", nullptr, kImportBit,
     "import: readings with decimals rounded to whole numbers, halves away from zero",
     "A line says how many were.", nullptr, nullptr,
     [](const char*) { g_settings.round_readings = 1; }},
    {OptionId::kMean, "-mean", nullptr, kImportBit,
     "import: one record per position, the mean of its readings",
     "The mean is rounded as by -round; where every position has as many readings, their "
     "number goes into the header as avg (unless -m is given).",
     nullptr, nullptr, [](const char*) { g_settings.mean_readings = 1; }},
    {OptionId::kKeepOrder, "-keep-order", nullptr, kImportBit,
     "import: the file's order (default: from the largest position to the smallest)", nullptr,
     nullptr, nullptr, [](const char*) { g_settings.keep_order = 1; }},
    {OptionId::kComment, "-c", "<text>", kClassic,
     "comment, shown in the picture (the whole command line heads the .c file)", nullptr,
     "-c erfordert einen Kommentartext.", nullptr, [](const char* a) { g_settings.comment = a; }},
    {OptionId::kUnit, "-unit", "<unit>", kClassic | kCheckBit,
     "the stage unit (for example mm), named on the picture's axes and after check's figures",
     nullptr, "-unit requires the name of the stage unit (for example mm)", nullptr,
     [](const char* a) { g_settings.unit = a; }},
    {OptionId::kModel, "-model", "<value>", kClassic, "sensor model (accepted, not used)", nullptr,
     "-model erfordert Angabe eines Wertes.", nullptr,
     [](const char* a) { g_settings.model = text_to_double(a); }},
    {OptionId::kPsd0, "-psd0", nullptr, kClassic, "accepted, not used", nullptr, nullptr, nullptr,
     [](const char*) { g_settings.psd0 = 1; }},
};

static_assert(std::size(kOptions) == static_cast<std::size_t>(OptionId::kOptionCount));

constexpr bool rows_in_id_order() {
    for (std::size_t i = 0; i < std::size(kOptions); ++i) {
        if (static_cast<std::size_t>(kOptions[i].id) != i) return false;
    }
    return true;
}
static_assert(rows_in_id_order(), "option_row() indexes the rows by their id");

constexpr const char* kHelpWords[] = {"--help", "-h", "/?"};
constexpr const char* kVersionWords[] = {"--version", "-V"};

}  // namespace

const char kStepsWithTable[] = "-n cannot be given with -t: the table file's entries are checked";
const char kImportOverItsInput[] =
    "The measurement file to write is the input file itself; name another with -f";

const char kHelpAfterCommands[] =
    "\n"
    "cal, load and check append \".msm\" to <InFile> unless it contains that text\n"
    "(on Windows in capitals too).\n"
    "Without -f, cal and load write under <InFile> as given (cal data.msm writes\n"
    "data.msm.cal), import under <InFile> without its last extension; measure\n"
    "writes files only with -f.\n";

const char kHelpAfterOptions[] =
    "Options may stand in any order; words that do not begin with \"-\" are\n"
    "passed over; a number that cannot be read counts as 0 (check refuses it\n"
    "for -tol and -range). measure, load, cal and interactive take one\n"
    "another's options, also where one has no effect.\n"
    "\n"
    "Output:\n"
    "  Files go where <OutFile> says (a bare name: the current folder); a file\n"
    "  is replaced only when it is complete. Progress lines go to standard\n"
    "  output, errors to standard error as \"Error: <message>\"; a file or a port\n"
    "  that failed is named on the next line with the system's reason. Two runs\n"
    "  writing into one folder take turns. cal's warnings follow its outputs on\n"
    "  standard error as \"Warning: ...\".\n"
    "\n"
    "Exit codes:\n"
    "  0    success, this help, the version or the usage text\n"
    "  1    check -tol: the table does not meet the tolerance; cal, check\n"
    "       -strict: a warning\n"
    "  2    an error of the command line, a file, the calibration or the port\n"
    "  100  the USB stepper-motor interface was not found\n"
    "  102  the interface was found but does not answer\n";

std::span<const CommandRow> command_rows() {
    return kCommands;
}

std::span<const OptionRow> option_rows() {
    return kOptions;
}

const CommandRow* find_command(const char* word) {
    for (const CommandRow& row : kCommands) {
        if (std::strcmp(row.word, word) == 0) return &row;
    }
    return nullptr;
}

const OptionRow* find_option(const char* word) {
    for (const OptionRow& row : kOptions) {
        if (std::strcmp(row.word, word) == 0) return &row;
    }
    return nullptr;
}

const OptionRow& option_row(OptionId id) {
    return kOptions[static_cast<std::size_t>(id)];
}

const char* option_word(OptionId id) {
    return option_row(id).word;
}

std::span<const char* const> help_words() {
    return kHelpWords;
}

std::span<const char* const> version_words() {
    return kVersionWords;
}

}  // namespace vextal
