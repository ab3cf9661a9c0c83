#include "app/help.h"

#include <cstring>
#include <span>

#include "app/cli_table.h"
#include "app/version.h"
#include "common/console.h"
#include "common/error_exit.h"

namespace vextal {

namespace {

constexpr char kVersionLine[] = "Vextal " VEXTAL_VERSION "\n";

// The help text is laid out here from the tables of commands and options and
// the paragraphs beside them. The historical usage text (no arguments) stays
// as it always was.
constexpr char kTitle[] =
    "Vextal " VEXTAL_VERSION ": calibration of an infrared PSD distance sensor\n";

// Help lines are wrapped to this width.
constexpr std::size_t kWidth = 78;
// Where the text of a command's and of an option's line starts.
constexpr std::size_t kCommandColumn = 11;
constexpr std::size_t kOptionColumn = 18;
constexpr char kBlanks[] = "                                        ";

void put(const char* text) {
    console_puts(stdout, text);
}

void put(const char* text, std::size_t length) {
    console_write(stdout, text, length);
}

void put_blanks(std::size_t count) {
    for (std::size_t n = 0; count > 0; count -= n) {
        n = count < sizeof kBlanks - 1 ? count : sizeof kBlanks - 1;
        put(kBlanks, n);
    }
}

// Writes `text` word by word from `column` on, breaking lines before kWidth
// and starting each new line at `indent`; ends the last line.
void put_wrapped(const char* text, std::size_t column, std::size_t indent) {
    bool first = true;
    while (*text != '\0') {
        const std::size_t length = std::strcspn(text, " ");
        if (!first && column + 1 + length > kWidth) {
            put("\n");
            put_blanks(indent);
            column = indent;
        } else if (!first) {
            put(" ");
            ++column;
        }
        put(text, length);
        column += length;
        first = false;
        text += length;
        text += std::strspn(text, " ");
    }
    put("\n");
}

// Writes "  <label>" and the blanks up to `column`, or the label's own line
// where it reaches that far.
void put_label(const char* word, const char* argument, std::size_t column) {
    std::size_t length = 2 + std::strlen(word);
    put("  ");
    put(word);
    if (argument != nullptr) {
        put(" ");
        put(argument);
        length += 1 + std::strlen(argument);
    }
    if (length + 1 > column) {
        put("\n");
        length = 0;
    }
    put_blanks(column - length);
}

// Each usage line after "  vextal "; the lines that follow are aligned
// after the command word.
void put_usage(const char* usage, std::size_t word_length) {
    put("  vextal ");
    for (const char* line = usage; *line != '\0';) {
        const std::size_t length = std::strcspn(line, "\n");
        if (line != usage) put_blanks(9 + word_length + 1);
        put(line, length);
        put("\n");
        line += length;
        if (*line == '\n') ++line;
    }
}

void put_alternatives(std::span<const char* const> words) {
    put("  vextal ");
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) put(" | ");
        put(words[i]);
    }
    put("\n");
}

void put_help() {
    put(kTitle);
    put("\nUsage:\n");
    for (const CommandRow& row : command_rows()) {
        if (row.usage != nullptr) put_usage(row.usage, std::strlen(row.word));
    }
    put_alternatives(help_words());
    put_alternatives(version_words());
    put("\nCommands:\n");
    for (const CommandRow& row : command_rows()) {
        put_label(row.word, nullptr, kCommandColumn);
        put_wrapped(row.help, kCommandColumn, kCommandColumn);
    }
    put(kHelpAfterCommands);
    put("\nOptions:\n");
    for (const OptionRow& row : option_rows()) {
        put_label(row.word, row.argument, kOptionColumn);
        put_wrapped(row.help, kOptionColumn, kOptionColumn);
    }
    put(kHelpAfterOptions);
}

bool is_one_of(const char* word, std::span<const char* const> words) {
    for (const char* w : words) {
        if (std::strcmp(word, w) == 0) return true;
    }
    return false;
}

}  // namespace

void answer_help_or_version(const char* word) {
    if (is_one_of(word, help_words())) {
        put_help();
        end_process(0);
    }
    if (is_one_of(word, version_words())) {
        console_puts(stdout, kVersionLine);
        end_process(0);
    }
}

}  // namespace vextal
