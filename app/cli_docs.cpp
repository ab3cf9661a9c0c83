// Prints the blocks of the manual page, the manual and the bash completion
// that follow from the tables of commands and options: cli_docs <block>.
// The checked-in files hold each block between marker lines; the build's
// test compares them and the update-cli-docs target rewrites them.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "app/cli_table.h"

namespace vextal {
namespace {

// The commands that take `row`, as "cal, load and check".
void put_commands(const OptionRow& row) {
    int count = 0;
    for (const CommandRow& command : command_rows()) {
        count += (row.commands & command_bit(command.command)) != 0;
    }
    int written = 0;
    for (const CommandRow& command : command_rows()) {
        if ((row.commands & command_bit(command.command)) == 0) continue;
        if (written > 0) std::fputs(written + 1 == count ? " and " : ", ", stdout);
        std::fputs(command.word, stdout);
        ++written;
    }
}

bool starts_option(const char* p, const char* text) {
    const bool at_word_start = p == text || p[-1] == ' ' || p[-1] == '(' || p[-1] == '[';
    return at_word_start && p[0] == '-' &&
           (std::isalpha(static_cast<unsigned char>(p[1])) || p[1] == '-');
}

// A character of an option word or a name: a minus is escaped, since roff
// would set a hyphen.
void put_roff_char(char c) {
    if (c == '-') std::putchar('\\');
    std::putchar(c);
}

// A text of the tables as roff: option words bold, <names> in italics.
void put_roff(const char* text, bool sentence) {
    if (*text == '.' || *text == '\'') std::fputs("\\&", stdout);
    for (const char* p = text; *p != '\0'; ++p) {
        if (starts_option(p, text)) {
            std::fputs("\\fB", stdout);
            for (; *p == '-' || std::isalnum(static_cast<unsigned char>(*p)); ++p) {
                put_roff_char(*p);
            }
            std::fputs("\\fR", stdout);
            --p;
        } else if (*p == '<') {
            std::fputs("\\fI", stdout);
            for (++p; *p != '\0' && *p != '>'; ++p) {
                put_roff_char(*p);
            }
            std::fputs("\\fR", stdout);
            if (*p == '\0') break;
        } else if (*p == '\\') {
            std::fputs("\\e", stdout);
        } else if (sentence && p == text) {
            std::putchar(std::toupper(static_cast<unsigned char>(*p)));
        } else {
            std::putchar(*p);
        }
    }
    if (sentence) std::putchar('.');
    std::putchar('\n');
}

void man_synopsis() {
    for (const CommandRow& row : command_rows()) {
        if (row.usage == nullptr) continue;
        std::printf(".B vextal %s\n", row.word);
        const char* rest = row.usage + std::strlen(row.word) + 1;
        char line[256];
        std::size_t n = 0;
        for (; *rest != '\0' && n + 1 < sizeof line; ++rest)
            line[n++] = *rest == '\n' ? ' ' : *rest;
        line[n] = '\0';
        put_roff(line, false);
        std::puts(".br");
    }
}

// The usage lines as the README and the manual show them, in a block of code: each
// continuation line indented under the first word after the command.
void md_synopsis() {
    std::puts("```");
    for (const CommandRow& row : command_rows()) {
        if (row.usage == nullptr) continue;
        std::fputs("vextal ", stdout);
        const int indent = static_cast<int>(std::strlen("vextal ") + std::strlen(row.word) + 1);
        for (const char* p = row.usage; *p != '\0'; ++p) {
            std::putchar(*p);
            if (*p == '\n') std::printf("%*s", indent, "");
        }
        std::putchar('\n');
    }
    std::fputs("vextal", stdout);
    for (std::size_t i = 0; i < help_words().size(); ++i) {
        std::printf("%s%s", i == 0 ? " " : " | ", help_words()[i]);
    }
    std::fputs("\nvextal", stdout);
    for (std::size_t i = 0; i < version_words().size(); ++i) {
        std::printf("%s%s", i == 0 ? " " : " | ", version_words()[i]);
    }
    std::puts("\n```");
}

void man_commands() {
    for (const CommandRow& row : command_rows()) {
        std::printf(".TP\n.B %s\n", row.word);
        put_roff(row.help, true);
        if (row.more != nullptr) put_roff(row.more, false);
    }
}

void man_options() {
    for (const OptionRow& row : option_rows()) {
        std::puts(".TP");
        char tag[64];
        std::snprintf(tag, sizeof tag, "%s%s%s", row.word, row.argument ? " " : "",
                      row.argument ? row.argument : "");
        put_roff(tag, false);
        put_roff(row.help, true);
        if (row.more != nullptr) put_roff(row.more, false);
        std::fputs("Taken by ", stdout);
        put_commands(row);
        std::puts(".");
    }
}

// A text of the tables as Markdown: option words and <names> as code.
void put_markdown(const char* text) {
    for (const char* p = text; *p != '\0';) {
        std::size_t length = std::strcspn(p, " ");
        std::size_t lead = std::strspn(p, "([");
        std::size_t tail = 0;
        while (tail < length - lead && std::strchr(")],;:.", p[length - 1 - tail]) != nullptr) {
            ++tail;
        }
        const char* core = p + lead;
        const std::size_t core_length = length - lead - tail;
        const bool code = core_length > 0 && (starts_option(core, core) ||
                                              std::memchr(core, '<', core_length) != nullptr);
        std::fwrite(p, 1, lead, stdout);
        if (code) std::putchar('`');
        for (std::size_t i = 0; i < core_length; ++i) {
            if (core[i] == '|') std::putchar('\\');
            std::putchar(core[i]);
        }
        if (code) std::putchar('`');
        std::fwrite(core + core_length, 1, tail, stdout);
        p += length;
        if (*p == ' ') std::putchar(*p++);
    }
}

void manual_options() {
    std::puts("| Option | Argument | Taken by | Meaning |");
    std::puts("|---|---|---|---|");
    for (const OptionRow& row : option_rows()) {
        std::printf("| `%s` | ", row.word);
        for (const char* p = row.argument; p != nullptr && *p != '\0'; ++p) {
            if (p == row.argument) std::putchar('`');
            if (*p == '|') std::putchar('\\');
            std::putchar(*p);
            if (p[1] == '\0') std::putchar('`');
        }
        std::fputs(" | ", stdout);
        put_commands(row);
        std::fputs(" | ", stdout);
        put_markdown(row.help);
        if (row.more != nullptr) {
            std::fputs(". ", stdout);
            put_markdown(row.more);
        }
        std::puts(" |");
    }
}

void put_words(bool (*taken)(const OptionRow&)) {
    for (const OptionRow& row : option_rows()) {
        if (taken(row)) std::printf(" %s", row.word);
    }
}

void completion() {
    std::fputs("_vextal_first_words=\"", stdout);
    for (const CommandRow& row : command_rows()) {
        if (row.offered) std::printf("%s ", row.word);
    }
    std::printf("%s %s\"\n", help_words()[0], version_words()[0]);
    std::puts("_vextal_options() {\n    case \"$1\" in");
    for (const CommandRow& command : command_rows()) {
        if (!command.offered) continue;
        std::printf("        %s) echo \"", command.word);
        const char* blank = "";
        for (const OptionRow& row : option_rows()) {
            if ((row.commands & command_bit(command.command)) == 0) continue;
            std::printf("%s%s", blank, row.word);
            blank = " ";
        }
        std::puts("\" ;;");
    }
    std::puts("    esac\n}");
    std::puts("_vextal_input_glob() {\n    case \"$1\" in");
    for (const CommandRow& command : command_rows()) {
        if (command.offered && command.input_glob != nullptr) {
            std::printf("        %s) echo \"%s\" ;;\n", command.word, command.input_glob);
        }
    }
    std::puts("        *) return 1 ;;\n    esac\n}");
    std::fputs("_vextal_flags=\"", stdout);
    put_words([](const OptionRow& row) { return row.argument == nullptr; });
    std::puts(" \"");
    std::fputs("_vextal_with_argument=\"", stdout);
    put_words([](const OptionRow& row) { return row.argument != nullptr; });
    std::puts(" \"");
}

struct Block {
    const char* name;
    void (*print)();
};

constexpr Block kBlocks[] = {
    {"man-synopsis", man_synopsis}, {"man-commands", man_commands},
    {"man-options", man_options},   {"manual-options", manual_options},
    {"md-synopsis", md_synopsis},   {"completion", completion},
};

}  // namespace
}  // namespace vextal

int main(int argc, char** argv) {
    for (const vextal::Block& block : vextal::kBlocks) {
        if (argc == 2 && std::strcmp(argv[1], block.name) == 0) {
            block.print();
            return 0;
        }
    }
    std::fputs(
        "usage: cli_docs "
        "man-synopsis|man-commands|man-options|manual-options|md-synopsis|completion\n",
        stderr);
    return 2;
}
