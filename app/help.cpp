#include "app/help.h"

#include <cstring>
#include <initializer_list>

#include "app/version.h"
#include "common/console.h"
#include "common/error_exit.h"

namespace vextal {

namespace {

constexpr char kVersionLine[] = "Vextal " VEXTAL_VERSION "\n";

// Every option the command line accepts, with what it takes and allows.
// The historical usage text (no arguments) stays as it always was.
constexpr char kHelp[] =
    "Vextal " VEXTAL_VERSION
    ": calibration of an infrared PSD distance sensor\n"
    "\n"
    "Usage:\n"
    "  vextal cal <InFile> [-n <steps>] [-fit] [-svg] [-f <OutFile>]\n"
    "  vextal load <InFile> [-psdplot] [-svg] [-f <OutFile>]\n"
    "  vextal measure [-z <range>] [-n <steps>] [-m <average>] [-p <centre>]\n"
    "                 [-sp <port>] [-hc] [-psdplot] [-svg] [-f <OutFile>]\n"
    "  vextal import <InFile> [-f <OutFile>] [-z <range>] [-m <average>]\n"
    "                [-cols <position>,<reading>] [-decimal comma|point]\n"
    "                [-round] [-mean] [-keep-order]\n"
    "  vextal check <InFile> [-t <Table>] [-n <steps>] [-fit] [-tol <max error>]\n"
    "               [-f <OutFile>] [-svg]\n"
    "  vextal --help | -h | /?\n"
    "  vextal --version | -V\n"
    "\n"
    "Commands:\n"
    "  cal      read the measurement file <InFile>, write the calibration table\n"
    "           <OutFile>.cal and the firmware table <OutFile>.c\n"
    "  load     read the measurement file <InFile>\n"
    "  measure  open the serial port and initialise the linear stage (the\n"
    "           measurement run itself takes no readings yet)\n"
    "  import   turn a CSV, TSV or plot file <InFile> into the measurement\n"
    "           file <OutFile>.msm\n"
    "  check    check the firmware table <Table>.c, or the table cal would write,\n"
    "           against the measurement file <InFile>: the error of\n"
    "           table[reading / 2] / 10 at each record, with warnings where the\n"
    "           table or the run is unfit\n"
    "  interactive  accepted, but runs nothing (exit code 2)\n"
    "\n"
    "cal, load and check append \".msm\" to <InFile> unless it contains that text\n"
    "(on Windows in capitals too).\n"
    "Without -f, cal and load write under <InFile> as given (cal data.msm writes\n"
    "data.msm.cal), import under <InFile> without its last extension; measure\n"
    "writes files only with -f.\n"
    "\n"
    "Options:\n"
    "  -n <steps>      entries of the calibration table, 3 to 1000 (default 128)\n"
    "  -z <range>      maximum range; measure: 0 to 170, the sign is dropped\n"
    "                  (default 0); import: recorded in the measurement file\n"
    "  -m <average>    average count; measure: 3 to 100 (default 10); import:\n"
    "                  recorded in the measurement file\n"
    "  -p <centre>     centre position of the stage (default: not given)\n"
    "  -sp <port>      serial port (default COM1); on Linux COM<n> is\n"
    "                  /dev/ttyS<n-1>, any other name a device path\n"
    "  -hc             do not home the stage when it is initialised\n"
    "  -psdplot        write the plot file <OutFile>.psd (load, measure; measure\n"
    "                  needs -f)\n"
    "  -svg            write the picture <OutFile>.svg of the measured curve,\n"
    "                  for cal with the table (load, cal, measure; measure\n"
    "                  needs -f)\n"
    "  -fit            cal, check: a noise-tolerant table fitted to the whole run\n"
    "  -t <Table>      check: the table file <Table>.c (then -n is refused)\n"
    "  -tol <error>    check: the largest error allowed, 0 or more; ends with\n"
    "                  \"result: pass\" or \"result: FAIL\" (exit code 1)\n"
    "  -f <OutFile>    prefix of the output files (check: <OutFile>.csv and,\n"
    "                  with -svg, <OutFile>.svg, only with -f)\n"
    "  -cols <p>,<r>   import: the columns of the position and the reading,\n"
    "                  each by its number from 1 or by its header name\n"
    "                  (default 1,2)\n"
    "  -decimal <mark> import: comma or point, the decimal mark where the\n"
    "                  file cannot tell\n"
    "  -round          import: readings with decimals rounded to whole numbers,\n"
    "                  halves away from zero\n"
    "  -mean           import: one record per position, the mean of its\n"
    "                  readings\n"
    "  -keep-order     import: the file's order (default: from the largest\n"
    "                  position to the smallest)\n"
    "  -c <text>       comment, shown in the picture (the whole command line\n"
    "                  heads the .c file)\n"
    "  -unit <unit>    the stage unit (for example mm), named on the picture's\n"
    "                  axes and after check's figures\n"
    "  -model <value>  sensor model (accepted, not used)\n"
    "  -psd0           accepted, not used\n"
    "Options may stand in any order; words that do not begin with \"-\" are\n"
    "passed over; a number that cannot be read counts as 0.\n"
    "\n"
    "Output:\n"
    "  Files go where <OutFile> says (a bare name: the current folder); a file\n"
    "  is replaced only when it is complete. Progress lines go to standard\n"
    "  output, errors to standard error as \"Error: <message>\"; a file or a port\n"
    "  that failed is named on the next line with the system's reason. Two runs\n"
    "  writing into one folder take turns.\n"
    "\n"
    "Exit codes:\n"
    "  0    success, this help, the version or the usage text\n"
    "  1    check -tol: the table does not meet the tolerance\n"
    "  2    an error of the command line, a file, the calibration or the port\n"
    "  100  the USB stepper-motor interface was not found\n"
    "  102  the interface was found but does not answer\n";

bool is_one_of(const char* word, std::initializer_list<const char*> words) {
    for (const char* w : words) {
        if (std::strcmp(word, w) == 0) return true;
    }
    return false;
}

}  // namespace

void answer_help_or_version(const char* word) {
    if (is_one_of(word, {"--help", "-h", "/?"})) {
        console_puts(stdout, kHelp);
        end_process(0);
    }
    if (is_one_of(word, {"--version", "-V"})) {
        console_puts(stdout, kVersionLine);
        end_process(0);
    }
}

}  // namespace vextal
