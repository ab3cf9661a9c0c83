#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/cli_table.h"
#include "common/settings.h"

namespace vextal {
namespace {

// Parses the words after the program name into fresh settings.
const Settings& parse(std::vector<std::string> words) {
    static std::vector<std::string> keep;  // the settings point into these texts
    keep = std::move(words);
    keep.insert(keep.begin(), "vextal");
    std::vector<const char*> argv;
    for (const auto& w : keep) argv.push_back(w.c_str());
    g_settings = Settings{};
    parse_command_line(static_cast<int>(argv.size()), argv.data());
    return g_settings;
}

std::string text(const char* p) {
    return p ? p : "<none>";
}

TEST(ParseCommandLine, MeasureAloneKeepsTheDefaults) {
    const Settings& s = parse({"measure"});
    EXPECT_EQ(s.command, kMeasure);
    EXPECT_EQ(s.max_range, 0.0);
    EXPECT_EQ(s.steps, 128);
    EXPECT_EQ(s.average, 10);
    EXPECT_EQ(s.centre_position, -999.0);
    EXPECT_EQ(s.model, -999.0);
    EXPECT_EQ(s.home_on_init, 1);
    EXPECT_EQ(text(s.serial_port), "COM1");
    EXPECT_EQ(s.psd_plot, 0);
    EXPECT_EQ(s.psd0, 0);
    EXPECT_EQ(s.svg, 0);
    EXPECT_EQ(s.output_prefix, nullptr);
    EXPECT_EQ(s.input_file, nullptr);
    EXPECT_EQ(s.comment, nullptr);
    EXPECT_EQ(std::string(s.call_params.data()), "measure ");
}

struct FileCase {
    std::vector<std::string> words;
    int32_t command;
    std::string input, prefix;
    uint8_t psd_plot;
};

TEST(ParseCommandLine, InputFileAndPrefix) {
    const FileCase cases[] = {
        {{"cal", "data"}, kCal, "data", "data", 0},
        {{"cal", "data", "-f", "out"}, kCal, "data", "out", 0},
        {{"load", "data", "-psdplot"}, kLoad, "data", "data", 1},
        // The word after the command is both the file name and a scanned word.
        {{"load", "-psdplot"}, kLoad, "-psdplot", "-psdplot", 1},
        {{"load", "-f", "out"}, kLoad, "-f", "out", 0},
        {{"load", "data", "-f", "a", "-f", "b"}, kLoad, "data", "b", 0},
        {{"measure", "-f", "out"}, kMeasure, "<none>", "out", 0},
        {{"measure", "-psdplot"}, kMeasure, "<none>", "<none>", 1},
    };
    for (const auto& c : cases) {
        const Settings& s = parse(c.words);
        EXPECT_EQ(s.command, c.command) << c.words[1];
        EXPECT_EQ(text(s.input_file), c.input) << c.words[1];
        EXPECT_EQ(text(s.output_prefix), c.prefix) << c.words[1];
        EXPECT_EQ(s.psd_plot, c.psd_plot) << c.words[1];
    }
}

struct ValueCase {
    std::vector<std::string> words;
    double max_range, centre_position, model;
    int32_t steps, average;
};

TEST(ParseCommandLine, OptionValuesAndTheirLimits) {
    const ValueCase cases[] = {
        {{"measure", "-z", "170"}, 170.0, -999.0, -999.0, 128, 10},
        {{"measure", "-z", "-12.5"}, 12.5, -999.0, -999.0, 128, 10},
        {{"load", "d", "-z", "-200"}, 200.0, -999.0, -999.0, 128, 10},
        {{"measure", "-m", "100"}, 0.0, -999.0, -999.0, 128, 100},
        {{"measure", "-m", "3"}, 0.0, -999.0, -999.0, 128, 3},
        {{"measure", "-n", "3"}, 0.0, -999.0, -999.0, 3, 10},
        {{"measure", "-n", "1000"}, 0.0, -999.0, -999.0, 1000, 10},
        {{"measure", "-n", "10", "-n", "20"}, 0.0, -999.0, -999.0, 20, 10},
        {{"load", "d", "-n", "1001"}, 0.0, -999.0, -999.0, 1001, 10},
        {{"cal", "d", "-m", "500"}, 0.0, -999.0, -999.0, 128, 500},
        {{"interactive", "-z", "500"}, 500.0, -999.0, -999.0, 128, 10},
        {{"measure", "-p", "-12.5"}, 0.0, -12.5, -999.0, 128, 10},
        {{"measure", "-p", "-999"}, 0.0, -999.0, -999.0, 128, 10},
        {{"measure", "-p", "2.5d1", "-model", "7"}, 0.0, 25.0, 7.0, 128, 10},
        {{"measure", "foo", "bar", "-n", "12abc"}, 0.0, -999.0, -999.0, 12, 10},
    };
    for (const auto& c : cases) {
        const Settings& s = parse(c.words);
        std::string shown = s.call_params.data();
        EXPECT_EQ(s.max_range, c.max_range) << shown;
        EXPECT_EQ(s.centre_position, c.centre_position) << shown;
        EXPECT_EQ(s.model, c.model) << shown;
        EXPECT_EQ(s.steps, c.steps) << shown;
        EXPECT_EQ(s.average, c.average) << shown;
    }
}

TEST(ParseCommandLine, FlagsAndTexts) {
    const Settings& s = parse({"measure", "-hc", "-sp", "COM3", "-psd0", "-c", "-note"});
    EXPECT_EQ(s.home_on_init, 0);
    EXPECT_EQ(s.psd0, 1);
    EXPECT_EQ(text(s.serial_port), "COM3");
    EXPECT_EQ(text(s.comment), "-note");
}

TEST(ParseCommandLine, JoinsTheCommandLineUpToItsCapacity) {
    EXPECT_EQ(std::string(parse({"cal", "data", "-f", "out"}).call_params.data()),
              "cal data -f out ");
    EXPECT_EQ(std::string(parse({"cal", "d", "", "x"}).call_params.data()), "cal d  x ");
    // 4 + 250 characters would not fit: the text is cut after 251.
    std::string joined = parse({"cal", std::string(250, 'a')}).call_params.data();
    EXPECT_EQ(joined, "cal " + std::string(247, 'a'));
    // Exactly 251 characters fit, the final blank included.
    joined = parse({"cal", std::string(246, 'b')}).call_params.data();
    EXPECT_EQ(joined, "cal " + std::string(246, 'b') + " ");
}

// The picture flag never reaches the joined command line (so the .c file is
// that of the run without it), unless the word is something else as well.
TEST(ParseCommandLine, PictureFlagIsLeftOutOfTheJoinedCommandLine) {
    const struct {
        std::vector<std::string> words;
        uint8_t svg;
        std::string joined;
    } cases[] = {
        {{"cal", "data", "-svg"}, 1, "cal data "},
        {{"cal", "data", "-svg", "-n", "20", "-svg"}, 1, "cal data -n 20 "},
        {{"measure", "-svg", "-f", "out"}, 1, "measure -f out "},
        {{"cal", "data", "-c", "-svg"}, 0, "cal data -c -svg "},
        {{"cal", "data", "-f", "-svg"}, 0, "cal data -f -svg "},
        // The word after the command names the input file and sets the flag.
        {{"load", "-svg"}, 1, "load -svg "},
        {{"cal", "data", "-svgx"}, 0, ""},
    };
    for (const auto& c : cases) {
        if (c.joined.empty()) {
            EXPECT_EXIT(parse(c.words), ::testing::ExitedWithCode(2), "Unbekannte Option: -svgx");
            continue;
        }
        const Settings& s = parse(c.words);
        EXPECT_EQ(s.svg, c.svg) << c.joined;
        EXPECT_EQ(std::string(s.call_params.data()), c.joined);
    }
}

// The rows agree with one another: every option a usage line names is taken
// by that command, each word is one row's, and an option has a message for a
// missing argument exactly when it takes one.
TEST(CliTable, RowsAgreeWithOneAnother) {
    for (const CommandRow& command : command_rows()) {
        EXPECT_EQ(find_command(command.word), &command);
        if (command.usage == nullptr) continue;
        const std::string usage = command.usage;
        for (std::size_t at = usage.find("[-"); at != std::string::npos;
             at = usage.find("[-", at + 1)) {
            const std::string word = usage.substr(at + 1, usage.find_first_of(" ]", at) - at - 1);
            const OptionRow* option = find_option(word.c_str());
            ASSERT_NE(option, nullptr) << command.word << " " << word;
            EXPECT_NE(option->commands & command_bit(command.command), 0u)
                << command.word << " " << word;
        }
    }
    for (const OptionRow& option : option_rows()) {
        EXPECT_EQ(find_option(option.word), &option);
        EXPECT_EQ(&option_row(option.id), &option) << option.word;
        EXPECT_EQ(option.argument != nullptr, option.missing != nullptr) << option.word;
        EXPECT_NE(option.commands, 0u) << option.word;
    }
}

}  // namespace
}  // namespace vextal
