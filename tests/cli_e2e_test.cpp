// The command line and the driver, end to end: every message and exit code of
// the parser, the usage text, and the error exit's form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace vextal::test {
namespace {

using Args = std::vector<std::string>;

const char kUsage[] =
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

TEST(Usage, NoArgumentPrintsTheUsageText) {
    Sandbox box;
    RunResult r = box.run({});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(box.files().empty());
}

struct ErrorCase {
    Args args;
    std::string message;  // what follows "Error: "; the error exit adds "\n"
};

// Every parser failure: nothing on standard output, "Error: " and the message
// and a line end on standard error, exit code 2, no file written.
TEST(CommandLine, FailuresEndWithTheirMessage) {
    const std::string fifty(50, 'q');
    const ErrorCase cases[] = {
        {{"Measure"}, "No command specified!\n"},
        {{"-z", "10"}, "No command specified!\n"},
        {{""}, "No command specified!\n"},
        {{"LOAD", "x"}, "No command specified!\n"},
        {{"load"}, "'load' requires a file name"},
        {{"cal"}, "'cal' requires a file name"},
        {{"import"}, "'import' requires a file name"},
        {{"IMPORT", "x.csv"}, "No command specified!\n"},
        {{"import", "x.csv", "-f"}, "-f erfordert einen Dateinamen."},
        {{"import", "x.csv", "-z", "1", "-m"}, "-m erfordert Anzahl."},
        // import takes -f, -z and -m only: every other option is unknown to
        // it, a flag too; its input name is never read as an option.
        {{"import", "x.csv", "-psdplot"}, "Unbekannte Option: -psdplot\n"},
        {{"import", "x.csv", "-n", "5"}, "Unbekannte Option: -n\n"},
        {{"import", "-z", "-hc"}, "Unbekannte Option: -hc\n"},
        {{"cal", "data", "-n"}, "-n erfordert Anzahl."},
        {{"cal", "data", "-f"}, "-f erfordert einen Dateinamen."},
        {{"measure", "-z"}, "-z erfordert Angabe des H\xF6henmessbereichs."},
        {{"measure", "-m"}, "-m erfordert Anzahl."},
        {{"measure", "-p"}, "-p erfordert Angabe der Mittenposition."},
        {{"measure", "-model"}, "-model erfordert Angabe eines Wertes."},
        {{"measure", "-sp"}, "-sp erfordert den Namen der seriellen Schnittstelle"},
        {{"measure", "-c"}, "-c erfordert einen Kommentartext."},
        {{"interactive", "-n"}, "-n erfordert Anzahl."},
        {{"measure", "-max", "100"}, "Unbekannte Option: -max\n"},
        {{"measure", "-sn", "5"}, "Unbekannte Option: -sn\n"},
        {{"measure", "-pp", "LPT1"}, "Unbekannte Option: -pp\n"},
        {{"load", "-x"}, "Unbekannte Option: -x\n"},
        {{"cal", "d", "-"}, "Unbekannte Option: -\n"},
        {{"measure", "-" + fifty + "0123456789"}, "Unbekannte Option: -" + fifty.substr(1) + "\n"},
        {{"measure", "-%s%d%n%%"}, "Unbekannte Option: -%s%d%n%%\n"},
        // An option's argument may itself look like an option, so the word
        // after it is examined next.
        {{"measure", "-c", "-n", "-q"}, "Unbekannte Option: -q\n"},
        // The first failing word ends the scan, before any validation.
        {{"measure", "-n", "2", "-x"}, "Unbekannte Option: -x\n"},
        {{"measure", "-z", "-200"},
         "H\xF6henmessbereich ausserhalb des zul\xE4ssigen Bereichs (0 - 170mm)\n"},
        {{"measure", "-z", "170.0001"},
         "H\xF6henmessbereich ausserhalb des zul\xE4ssigen Bereichs (0 - 170mm)\n"},
        {{"measure", "-z", "1e400"},
         "H\xF6henmessbereich ausserhalb des zul\xE4ssigen Bereichs (0 - 170mm)\n"},
        {{"measure", "-m", "101"},
         "Anzahl Mittelung ausserhalb des zul\xE4ssigen Bereichs (3 - 100)\n"},
        {{"measure", "-m", "2"},
         "Anzahl Mittelung ausserhalb des zul\xE4ssigen Bereichs (3 - 100)\n"},
        {{"measure", "-m", "99999999999"},
         "Anzahl Mittelung ausserhalb des zul\xE4ssigen Bereichs (3 - 100)\n"},
        // The range test comes before the average test.
        {{"measure", "-m", "2", "-z", "200"},
         "H\xF6henmessbereich ausserhalb des zul\xE4ssigen Bereichs (0 - 170mm)\n"},
        {{"measure", "-n", "2"},
         "Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs (3 - 1000)\n"},
        {{"measure", "-n", "1001"},
         "Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs (3 - 1000)\n"},
        {{"cal", "data", "-n", "2"},
         "Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs (3 - 1000)\n"},
        {{"cal", "data", "-n", "abc"},
         "Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs (3 - 1000)\n"},
        {{"cal", "data", "-n", "-2147483649"},
         "Anzahl Schritte ausserhalb des zul\xE4ssigen Bereichs (3 - 1000)\n"},
        {{"interactive"}, "Unrecognized Command"},
        {{"interactive", "-z", "500", "-m", "1"}, "Unrecognized Command"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        RunResult r = box.run(c.args);
        std::string shown;
        for (const auto& a : c.args) shown += "[" + a + "]";
        EXPECT_EQ(r.exit_code, 2) << shown;
        EXPECT_FALSE(r.crashed) << shown;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_EQ(r.err, "Error: " + c.message + "\n") << shown;
        EXPECT_TRUE(box.files().empty()) << shown;
    }
}

}  // namespace
}  // namespace vextal::test
