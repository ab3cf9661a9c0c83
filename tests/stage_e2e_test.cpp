// measure end to end: the program loads the simulated USB library in place of
// the real one, and a pseudo-terminal stands in for the serial port. The same
// cases run against this machine's build and, under wine, the Windows build;
// the rig (measure_rig.h) hides the difference.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/measure_rig.h"

namespace vextal::test {
namespace {

using Lines = std::vector<std::string>;

const std::string kBanner = "\nInitialize Linear Stage...\n";
const std::string kNotFound = "Error: USI2-Device not found: check USB-Cable.\n";
const std::string kNotResponding =
    "Error: USI2-Device found but not responding: check power supply.\n";
const std::string kUsi2 = "device SN1 ELV USB-Schrittmotoren-Interface\n";

// The calls of the opening up to the first 'H' command, and of one accepted
// 'H' command with the frame given.
const Lines kOpening{
    "load",
    "FT_ListDevices(count, null, 0x80000000) -> 0 count=1",
    "FT_ListDevices(list of 64, count, 0x20000002) -> 0 count=1",
    "FT_ListDevices(0, buffer, 0x40000001) -> 0 \"SN1\"",
    "FT_OpenEx(\"SN1\", 0x1, handle) -> 0",
    "FT_SetBaudRate(h, 19200) -> 0",
    "FT_SetDataCharacteristics(h, 8, 0, 2) -> 0",
    "FT_SetTimeouts(h, 1000, 1000) -> 0",
};

Lines accepted(const std::string& frame) {
    return {"FT_Purge(h, 1) -> 0", "FT_Write(h, " + frame + ", 7) -> 0 sent=7",
            "FT_Read(h, 3) -> 0 got=02 06 03", "FT_SetTimeouts(h, 40000, 100) -> 0",
            "FT_SetTimeouts(h, 100, 100) -> 0"};
}

Lines operator+(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kOpenFrame = "02 48 FF 00 03 0D 0A";
const std::string kHomeFrame = "02 48 CC 00 03 0D 0A";

TEST(Measure, RunsTheExactCallSequence) {
    MeasureRig rig;
    ASSERT_FALSE(rig.port().empty());
    RunResult r = rig.run({"measure", "-sp", rig.port(), "-p", "25.5"}, kUsi2);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, kBanner + "Writing Data...\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(rig.log(), kOpening + accepted(kOpenFrame) + accepted(kHomeFrame));
    EXPECT_TRUE(rig.box().files().empty());
}

struct MeasureCase {
    const char* name;
    std::vector<std::string> options;
    std::string scenario;
    int exit_code;
    std::string err;
    Lines log;
};

TEST(Measure, OutcomesOfTheStageInitialisation) {
    const Lines nak_open{"FT_Purge(h, 1) -> 0", "FT_Write(h, " + kOpenFrame + ", 7) -> 0 sent=7",
                         "FT_Read(h, 3) -> 0 got=02 15 03"};
    const Lines silent_open{"FT_Purge(h, 1) -> 0", "FT_Write(h, " + kOpenFrame + ", 7) -> 0 sent=7",
                            "FT_Read(h, 3) -> 0 got="};
    const MeasureCase cases[] = {
        {"no device",
         {},
         "",
         100,
         kNotFound,
         {"load", "FT_ListDevices(count, null, 0x80000000) -> 0 count=0"}},
        {"a longer description",
         {},
         "device SN1 ELV USB-Schrittmotoren-Interface2\n",
         100,
         kNotFound,
         {"load", "FT_ListDevices(count, null, 0x80000000) -> 0 count=1",
          "FT_ListDevices(list of 64, count, 0x20000002) -> 0 count=1"}},
        {"silent", {}, kUsi2 + "reply silence\n", 102, kNotResponding, kOpening + silent_open},
        {"a malformed acknowledgement",
         {},
         kUsi2 + "reply 02 06 04\n",
         102,
         kNotResponding,
         kOpening + Lines{"FT_Purge(h, 1) -> 0", "FT_Write(h, " + kOpenFrame + ", 7) -> 0 sent=7",
                          "FT_Read(h, 3) -> 0 got=02 06 04"}},
        {"refused, then homing",
         {},
         kUsi2 + "reply nak\n",
         0,
         "",
         kOpening + nak_open + accepted(kHomeFrame)},
        {"-hc: no homing", {"-hc"}, kUsi2, 0, "", kOpening + accepted(kOpenFrame)},
    };
    for (const MeasureCase& c : cases) {
        SCOPED_TRACE(c.name);
        MeasureRig rig;
        ASSERT_FALSE(rig.port().empty());
        std::vector<std::string> args{"measure", "-sp", rig.port()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = rig.run(args, c.scenario);
        EXPECT_EQ(r.exit_code, c.exit_code);
        EXPECT_EQ(r.out, kBanner + (c.exit_code == 0 ? "Writing Data...\n" : ""));
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(rig.log(), c.log);
        // However the run ended, the port was given back.
        EXPECT_FALSE(rig.pty().exclusive());
    }
}

// A library that is missing, cannot be loaded, or lacks a function counts as
// no device; one line before the error names the library.
TEST(Measure, MissingLibraryMeansNoDevice) {
    const std::string cannot_load = MeasureRig::library_name() + " could not be loaded: ";
    struct LibraryCase {
        const char* what;
        Library library;
        std::string first_line;  // the start of it
    };
    const LibraryCase cases[] = {
        {"absent", Library::absent, cannot_load},
        {"not a library", Library::not_a_library, cannot_load},
        {"lacks functions", Library::partial, cannot_load + "it has no function FT_OpenEx\n"},
    };
    for (const LibraryCase& c : cases) {
        SCOPED_TRACE(c.what);
        MeasureRig rig;
        ASSERT_FALSE(rig.port().empty());
        RunResult r = rig.run({"measure", "-sp", rig.port()}, kUsi2, c.library);
        EXPECT_EQ(r.exit_code, 100);
        EXPECT_EQ(r.out, kBanner);
        EXPECT_EQ(r.err.substr(0, c.first_line.size()), c.first_line);
        std::size_t line_end = r.err.find('\n');
        ASSERT_NE(line_end, std::string::npos);
        if (MeasureRig::library_name() == "FTD2XX.dll" && c.library != Library::partial) {
            // The system's text for the error stands beside its number.
            const std::string reason =
                r.err.substr(c.first_line.size(), line_end - c.first_line.size());
            EXPECT_TRUE(std::regex_match(reason, std::regex("error [0-9]+: [^ ].*[^ ]\r?")))
                << reason;
        }
        EXPECT_EQ(r.err.substr(line_end + 1), kNotFound);
    }
}

// load and cal run without the library: it is not even loaded.
TEST(Measure, LoadAndCalNeverLoadTheLibrary) {
    for (const char* command : {"load", "cal"}) {
        SCOPED_TRACE(command);
        MeasureRig rig;
        RunResult r = rig.run({command, "nosuch"}, kUsi2);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_FALSE(rig.loaded());
    }
}

TEST(Measure, PortThatCannotBeOpenedEndsBeforeTheStage) {
    MeasureRig rig;
    RunResult r = rig.run({"measure", "-sp", rig.unopenable_port()}, kUsi2);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    // The report, then the port and the system's reason on one line.
    const std::string report =
        std::string("Error: Serial Port could not be opened!\n") + rig.unopenable_port() + ": ";
    EXPECT_EQ(r.err.substr(0, report.size()), report);
    EXPECT_EQ(r.err.find('\n', report.size()), r.err.size() - 1);
    EXPECT_FALSE(rig.loaded());
}

// measure stores no records, so its plot file is empty; without -f there is
// no prefix and no plot file.
TEST(Measure, PlotFileIsEmpty) {
    struct PlotCase {
        std::vector<std::string> options;
        std::map<std::string, std::string> files;
        std::string picture;  // written as well, with empty axes
    };
    const PlotCase cases[] = {
        {{"-psdplot", "-f", "out"}, {{"out.psd", ""}}, ""},
        {{"-psdplot"}, {}, ""},
        {{"-psdplot", "-svg", "-f", "out"}, {{"out.psd", ""}}, "out.svg"},
        {{"-svg"}, {}, ""},
    };
    for (const PlotCase& c : cases) {
        MeasureRig rig;
        ASSERT_FALSE(rig.port().empty());
        std::vector<std::string> args{"measure", "-sp", rig.port()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = rig.run(args, kUsi2);
        EXPECT_EQ(r.exit_code, 0);
        EXPECT_EQ(r.out, kBanner + "Writing Data...\n");
        auto files = rig.box().files();
        if (!c.picture.empty()) {
            EXPECT_NE(files[c.picture].find(">No measurements</text>"), std::string::npos);
            files.erase(c.picture);
        }
        EXPECT_EQ(files, c.files);
    }
}

}  // namespace
}  // namespace vextal::test
