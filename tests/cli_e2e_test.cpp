// The command line and the driver, end to end: every message and exit code of
// the parser, the usage text, the help and version answers, the error exit's
// form, the messages on a terminal, and the installed program.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/cli_table.h"
#include "tests/harness.h"

namespace vextal::test {
namespace {

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

// The help text names every command and every option that the parser
// accepts, each at the start of its line, with its argument, range and
// default, and none of the options of the historical usage text that the
// parser rejects.
TEST(Help, FirstWordAsksForTheCurrentHelpText) {
    Sandbox box;
    const RunResult help = box.run({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind(std::string("Vextal ") + VEXTAL_PROJECT_VERSION + ":", 0), 0u);
    // A label begins a line and is followed by its text or the line's end.
    const auto labelled = [&](const std::string& label) {
        for (std::size_t at = help.out.find("\n  " + label); at != std::string::npos;
             at = help.out.find("\n  " + label, at + 1)) {
            const char next = help.out[at + 3 + label.size()];
            if (next == ' ' || next == '\n') return true;
        }
        return false;
    };
    for (const CommandRow& row : command_rows()) {
        EXPECT_TRUE(labelled(row.word)) << row.word;
        if (row.usage != nullptr) {
            const std::string usage = row.usage;
            EXPECT_TRUE(labelled("vextal " + usage.substr(0, usage.find('\n')))) << row.usage;
        }
    }
    for (const OptionRow& row : option_rows()) {
        const std::string argument = row.argument != nullptr ? row.argument : "";
        EXPECT_TRUE(labelled(row.word + (argument.empty() ? "" : " " + argument))) << row.word;
    }
    for (const char* named :
         {"3 to 1000 (default 128)", "3 to 100 (default 10)", "0 to 170", "(default COM1)",
          "\n  vextal --help | -h | /?\n", "\n  vextal --version | -V\n", "\n  0 ", "\n  1 ",
          "\n  2 ", "\n  100 ", "\n  102 ", "standard error"}) {
        EXPECT_NE(help.out.find(named), std::string::npos) << named;
    }
    // Composed lines fit a terminal of 80 columns.
    for (std::size_t start = 0, end; start < help.out.size(); start = end + 1) {
        end = help.out.find('\n', start);
        EXPECT_LE(end - start, 78u) << help.out.substr(start, end - start);
    }
    for (const char* rejected : {"-max", "-sn", "-pp", "LPT1"}) {
        EXPECT_EQ(help.out.find(rejected), std::string::npos) << rejected;
    }
    for (const Args& args : {Args{"-h"}, Args{"/?"}, Args{"--help", "cal", "-x"}}) {
        RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 0) << args[0];
        EXPECT_EQ(r.out, help.out) << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }
    EXPECT_TRUE(box.files().empty());
}

TEST(Version, FirstWordAsksForTheProjectVersion) {
    for (const Args& args : {Args{"--version"}, Args{"-V"}, Args{"-V", "cal", "-x"}}) {
        Sandbox box;
        RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 0) << args[0];
        EXPECT_EQ(r.out, std::string("Vextal ") + VEXTAL_PROJECT_VERSION + "\n") << args[0];
        EXPECT_EQ(r.err, "") << args[0];
        EXPECT_TRUE(box.files().empty()) << args[0];
    }
}

struct ErrorCase {
    Args args;
    std::string message;  // what follows "Error: "; the error exit adds "\n"
};

// Every parser failure: nothing on standard output, "Error: " and the message
// and a line end on standard error, exit code 2, no file written.
TEST(CommandLine, FailuresEndWithTheirMessage) {
    const std::string fifty(50, 'q');
    const std::string kCols =
        "-cols requires two columns, the position's and the reading's, each by its number from 1 "
        "or by its header name (-cols 3,5)";
    const ErrorCase cases[] = {
        {{"Measure"}, "No command specified!\n"},
        // Help and version answer only as the first word.
        {{"help"}, "No command specified!\n"},
        {{"-v"}, "No command specified!\n"},
        {{"cal", "d", "--help"}, "Unbekannte Option: --help\n"},
        {{"measure", "-V"}, "Unbekannte Option: -V\n"},
        {{"-z", "10"}, "No command specified!\n"},
        {{""}, "No command specified!\n"},
        {{"LOAD", "x"}, "No command specified!\n"},
        {{"load"}, "'load' requires a file name"},
        {{"cal"}, "'cal' requires a file name"},
        {{"import"}, "'import' requires a file name"},
        {{"IMPORT", "x.csv"}, "No command specified!\n"},
        {{"import", "x.csv", "-f"}, "-f erfordert einen Dateinamen."},
        {{"import", "x.csv", "-z", "1", "-m"}, "-m erfordert Anzahl."},
        // import takes its own options only: every other option is unknown
        // to it, a flag too, and its own are unknown to the other commands;
        // its input name is never read as an option.
        {{"import", "x.csv", "-psdplot"}, "Unbekannte Option: -psdplot\n"},
        {{"cal", "data", "-round"}, "Unbekannte Option: -round\n"},
        {{"check", "data", "-mean"}, "Unbekannte Option: -mean\n"},
        {{"load", "data", "-cols", "1,2"}, "Unbekannte Option: -cols\n"},
        {{"import", "x.csv", "-cols"}, kCols},
        {{"import", "x.csv", "-cols", "3"}, kCols},
        {{"import", "x.csv", "-cols", "2,2"}, kCols},
        {{"import", "x.csv", "-cols", "0,1"}, kCols},
        {{"import", "x.csv", "-decimal"}, "-decimal requires comma or point"},
        {{"import", "x.csv", "-decimal", ","}, "-decimal requires comma or point"},
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

struct TerminalCase {
    Attach where;
    std::vector<std::string> env;
    bool utf8;  // whether the Latin-1 letters arrive as UTF-8
};

// A terminal whose locale uses UTF-8 gets the Latin-1 letters of the messages
// and of a name as UTF-8, a name already in UTF-8 as it is; a pipe, or a
// terminal of another locale, gets the bytes as written. The locale is
// decided as by the C library: the first of LC_ALL, LC_CTYPE and LANG that
// is set and not empty.
TEST(Console, LatinOneLettersBecomeUtf8OnlyOnAUtf8Terminal) {
    if (!kCanAttach) GTEST_SKIP() << "no pseudo-terminals here";
    const TerminalCase cases[] = {
        {Attach::terminal, {"LANG=C.UTF-8"}, true},
        {Attach::terminal, {"LANG=de_DE.utf8"}, true},
        {Attach::terminal, {"LANG=de_DE.UTF-8@euro"}, true},
        {Attach::terminal, {"LC_CTYPE=en_US.UTF-8", "LANG=C"}, true},
        {Attach::terminal, {"LC_ALL=", "LANG=C.UTF-8"}, true},
        {Attach::terminal, {"LC_ALL=C", "LC_CTYPE=C.UTF-8", "LANG=C.UTF-8"}, false},
        {Attach::terminal, {"LANG=de_DE.ISO-8859-1"}, false},
        {Attach::terminal, {"LANG=de_DE"}, false},
        {Attach::terminal, {"LANG=de_DE.utf"}, false},
        {Attach::terminal, {}, false},
        {Attach::pipe, {"LANG=C.UTF-8"}, false},
    };
    const std::string name_latin1 = "m\xFCller-m\xC3\xBCller";
    const std::string name_utf8 = "m\xC3\xBCller-m\xC3\xBCller";
    for (const auto& c : cases) {
        std::string shown = c.where == Attach::pipe ? "pipe" : "terminal";
        for (const auto& e : c.env) shown += " " + e;
        Sandbox box;
        RunResult r = box.run_attached(c.where, {"cal", name_latin1}, c.env);
        EXPECT_EQ(r.exit_code, 2) << shown;
        const std::string name = (c.utf8 ? name_utf8 : name_latin1) + ".msm";
        EXPECT_EQ(r.out, "\nLoading Data...\n" + name +
                             "\nError: Eingabedatei konnte nicht geoeffnet werden.\n\n" + name +
                             ": No such file or directory\n")
            << shown;
        r = box.run_attached(c.where, {"measure", "-m", "2"}, c.env);
        EXPECT_EQ(r.exit_code, 2) << shown;
        EXPECT_EQ(r.out, std::string("Error: Anzahl Mittelung ausserhalb des zul") +
                             (c.utf8 ? "\xC3\xA4" : "\xE4") + "ssigen Bereichs (3 - 100)\n\n")
            << shown;
    }
}

#ifdef VEXTAL_CMAKE
// `cmake --install` into a staging folder: the program, the manual page, the
// documents and the example are in place, and the installed program
// calibrates the installed example exactly as the built one does.
TEST(Install, InstalledProgramCalibratesTheInstalledExample) {
    namespace fs = std::filesystem;
    Sandbox box;
    const fs::path stage = box.path() / "stage";
    RunResult install = run_process(
        VEXTAL_CMAKE, {"--install", VEXTAL_BUILD_DIR, "--prefix", stage.string()}, box.path(), {});
    ASSERT_EQ(install.exit_code, 0) << install.out << install.err;
    for (const char* file :
         {"bin/vextal", "share/man/man1/vextal.1.gz", "share/doc/vextal/README.md",
          "share/doc/vextal/docs/manual.md", "share/doc/vextal/docs/architecture.md",
          "share/doc/vextal/LICENSE", "share/doc/vextal/copyright"}) {
        EXPECT_TRUE(fs::is_regular_file(stage / file)) << file;
    }
    const fs::path example = stage / "share/doc/vextal/examples/sensor_10_80.msm";
    EXPECT_EQ(read_file(example), read_file(fs::path(VEXTAL_EXAMPLES_DIR) / "sensor_10_80.msm"));

    Sandbox installed;
    Sandbox built;
    const Args args{"cal", example.string(), "-f", "sensor"};
    RunResult r = installed.run(Program{{(stage / "bin/vextal").string()}, "\n"}, args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, "\nLoading Data...\nWriting Data...\n");
    EXPECT_EQ(built.run(args).exit_code, 0);
    const auto files = installed.files();
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(files, built.files());
}
#endif

}  // namespace
}  // namespace vextal::test
