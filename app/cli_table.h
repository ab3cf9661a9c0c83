// What the user types, written down once: one table of the commands and one
// of the options. The parser, the help text and the generated blocks of the
// manual page, the manual and the bash completion all read these rows.
#pragma once

#include <cstddef>
#include <span>

#include "common/settings.h"

namespace vextal {

/// Every option, one name each; kOptionCount counts them.
enum class OptionId {
    kSteps,
    kFit,
    kStrict,
    kWarn,
    kRange,
    kAverage,
    kCentre,
    kSerialPort,
    kNoHoming,
    kPsdPlot,
    kSvg,
    kTable,
    kTolerance,
    kWorkingRange,
    kPrefix,
    kColumns,
    kDecimal,
    kRound,
    kMean,
    kKeepOrder,
    kComment,
    kUnit,
    kModel,
    kPsd0,
    kOptionCount
};

/// How a command takes its input file.
enum class Input {
    kNone,      ///< no input file
    kScanned,   ///< the second word, also scanned as an option ("load -psdplot")
    kVerbatim,  ///< the second word as it stands, even one that starts with '-'
};

/// One command: its word, its input and its lines of the help text.
struct CommandRow {
    const char* word;
    Command command;
    Input input;
    const char* input_glob;  ///< the input names the completion offers ("" all), or nullptr
    bool offered;            ///< offered by the bash completion
    const char* usage;       ///< its usage lines, each after "vextal ", '\n' between
    const char* help;        ///< one paragraph, unwrapped
    const char* more;        ///< more for the manual page and the manual, or nullptr
    int (*run)();            ///< runs the command as g_settings give it; returns the exit code
};

/// One option: its word, its argument, the commands that take it, its help
/// line, its messages and what it sets.
struct OptionRow {
    OptionId id;
    const char* word;
    const char* argument;  ///< its argument's name as in the usage lines, or nullptr
    unsigned commands;     ///< command_bit() of each command that takes it
    const char* help;      ///< one paragraph, unwrapped
    const char* more;      ///< more for the manual page and the manual, or nullptr
    const char* missing;   ///< the message when its argument is missing
    const char* refused;   ///< the message when its argument is refused, or nullptr
    void (*apply)(const char* argument);
};

/// The bit of `command` in OptionRow::commands.
constexpr unsigned command_bit(Command command) {
    return 1u << command;
}

/// The commands, in the order of the help text.
std::span<const CommandRow> command_rows();
/// The options, in the order of the help text.
std::span<const OptionRow> option_rows();

/// The row of `word`, or nullptr.
const CommandRow* find_command(const char* word);
/// The row of `word`, or nullptr.
const OptionRow* find_option(const char* word);
/// The row of `id`.
const OptionRow& option_row(OptionId id);
/// The word the user types for `id` ("-f").
const char* option_word(OptionId id);

/// The first words that ask for the help text, and for the version.
std::span<const char* const> help_words();
std::span<const char* const> version_words();

/// The paragraphs of the help text after the commands and after the options.
extern const char kHelpAfterCommands[];
extern const char kHelpAfterOptions[];

/// The message when -t and -n are both given to check.
extern const char kStepsWithTable[];
/// The message when import would write over its own input.
extern const char kImportOverItsInput[];

}  // namespace vextal
