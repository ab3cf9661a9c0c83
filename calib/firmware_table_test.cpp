// The .c table reader: refusals with their line, and a differential test
// against the system's C compiler on generated tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calib/calibration.h"
#include "common/error_exit.h"
#include "tests/support/seed.h"
#include "tests/support/temp_folder.h"

namespace vextal {
namespace {

struct RunEnded {};

// The entries read from `text` as "v v v", or the error message.
std::string read_table(const test::TempFolder& dir, const std::string& name,
                       const std::string& text) {
    dir.write(name, text);
    set_exit_handler([](int) { throw RunEnded{}; });
    static FirmwareTable table;
    std::string result;
    testing::internal::CaptureStderr();
    try {
        read_firmware_table(dir.file(name).c_str(), table);
        for (int32_t i = 0; i < table.count; ++i) {
            result +=
                (i > 0 ? " " : "") + std::to_string(table.entries[static_cast<std::size_t>(i)]);
        }
        testing::internal::GetCapturedStderr();
    } catch (const RunEnded&) {
        result = testing::internal::GetCapturedStderr();
    }
    set_exit_handler(nullptr);
    return result;
}

TEST(FirmwareTable, ReadsAsTheCompilerOrSaysWhereNot) {
    const struct {
        const char* what;
        const char* text;
        const char* expected;  // the entries, or the message after "Error: t.c, line N: "
    } cases[] = {
        {"octal", "{0500, 0400, 00, 0000000000005}", "320 256 0 5"},
        {"hex and suffixes", "{0x1F, 0XaBu, 7L, 8ll, 9LLU, 10uL, 11lu}", "31 171 7 8 9 10 11"},
        {"the 32-bit limits", "{-2147483648, 2147483647, -0x7FFFFFFF, -0x80000000L}",
         "-2147483648 2147483647 -2147483647 -2147483648"},
        {"a comment ending in a backslash swallows the next line", "{1, // x\\\n 2,\n 3}", "1 3"},
        {"a lone CR ends a comment", "// c\r{1, // x\r 2}\r", "1 2"},
        {"a splice inside a number", "{1\\\r\n2, 0\\\rx1\\\n0}", "12 16"},
        {"a byte order mark", "\xEF\xBB\xBF// c\r\n{7};\r\n", "7"},
        {"a CR alone counts lines", "// c\r\r{1, x}", "line 3: expected an integer"},
        {"not octal", "{1, 0009}",
         "line 1: '0009' is not a C integer: a number that starts with 0 is octal, of the "
         "digits 0 to 7"},
        {"no hex digit", "{0x}", "line 1: '0x' is not a C integer"},
        {"mixed-case ll", "{\n1lL}", "line 2: '1lL' is not a C integer"},
        {"a float", "{1.5}", "line 1: '1.5' is not a C integer"},
        {"an exponent's sign belongs to the number", "{1,\n0x1e+3}",
         "line 2: '0x1e+3' is not a C integer"},
        {"long literal quoted short", "{1.00000000000000000000000000}",
         "line 1: '1.0000000000000000000000...' is not a C integer"},
        {"a negated unsigned", "{-5u}",
         "line 1: '-5u': a '-' before an unsigned integer, which C does not negate but wraps "
         "around"},
        {"hex that C makes unsigned", "{-0x80000000}",
         "line 1: '-0x80000000': a '-' before an unsigned integer, which C does not negate but "
         "wraps around"},
        {"beyond the 32-bit integers", "{0x80000000}",
         "line 1: an entry beyond the 32-bit integers"},
        {"beyond every C integer", "{99999999999999999999999}",
         "line 1: an entry beyond the 32-bit integers"},
        {"blanks after a backslash", "{1, // x\\ \n 2}",
         "line 1: blanks between a '\\' and the line end, which compilers do not all read alike"},
        {"a trigraph backslash", "{1, // x?\?/\n 2}",
         "line 1: a '?\?/' at the line end, which compilers do not all read alike"},
        {"a slash at the end", "{1}/", "line 1: a '/' that starts no comment"},
    };
    test::TempFolder dir;
    for (const auto& c : cases) {
        const std::string got = read_table(dir, "t.c", c.text);
        const std::string expected = c.expected;
        if (expected.rfind("line", 0) == 0) {
            EXPECT_EQ(got, "Error: " + dir.file("t.c") + ", " + expected + "\n") << c.what;
        } else {
            EXPECT_EQ(got, expected) << c.what;
        }
    }
}

#ifdef VEXTAL_C_COMPILER
// A table the C compiler accepts, and whether the reader may refuse it (an
// entry beyond the 32-bit integers, a negated unsigned one, blanks after a
// backslash, which the compiler reads as a splice).
struct GeneratedTable {
    std::string text;
    bool may_refuse = false;
};

class TableGenerator {
  public:
    explicit TableGenerator(uint32_t seed) : rng_(seed) {}

    GeneratedTable next() {
        GeneratedTable t;
        const char* const ends[] = {"\n", "\r\n", "\r"};
        eol_ = ends[pick(3)];
        hostile_ = pick(4) == 0;
        if (pick(4) == 0) t.text += "\xEF\xBB\xBF";
        if (pick(2) == 0) t.text += "// CallParams: cal x" + eol_;
        t.text += "{" + separator(t);
        const int entries = 1 + pick(8);
        for (int i = 0; i < entries; ++i) {
            if (i > 0) t.text += separator(t) + "," + separator(t);
            t.text += entry(t);
        }
        if (pick(3) == 0) t.text += separator(t) + ",";
        t.text += separator(t) + "}";
        if (pick(2) == 0) t.text += ";";
        if (pick(2) == 0) t.text += eol_;
        return t;
    }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    std::string separator(GeneratedTable& t) {
        switch (pick(16)) {
            case 0:
                return " ";
            case 1:
                return "\t";
            case 2:
                return eol_;
            case 3:
                return "/* c */";
            case 4:
                return "/* two" + eol_ + "lines **/";
            case 5:
                return " // c" + eol_;
            case 6:
                return "/\\" + eol_ + "/ spliced" + eol_;
            case 7:
                return "/* end *\\" + eol_ + "/";
            case 8:
                return "// ends in a backslash\\" + eol_ + "123, 0456," + eol_;
            case 9:
                return "\\" + eol_;
            case 10:
                if (!hostile_) return "";
                t.may_refuse = true;
                return "// c \\ " + eol_ + "77," + eol_;
            default:
                return "";
        }
    }

    std::string entry(GeneratedTable& t) {
        uint64_t m = 0;
        switch (hostile_ ? pick(8) : (pick(2) == 0 ? pick(4) : 7)) {
            case 0:
                m = static_cast<uint64_t>(pick(1000));
                break;
            case 1:
                m = 999;
                break;
            case 2:
                m = static_cast<uint64_t>(pick(40000));
                break;
            case 3:
                m = 2147483647;
                break;
            case 4:
                m = 2147483648u;
                break;
            case 5:
                m = 4294967295u - static_cast<uint64_t>(pick(3));
                break;
            case 6:
                m = (uint64_t{1} << 40) + static_cast<uint64_t>(pick(1000));
                break;
            default:
                m = std::uniform_int_distribution<uint64_t>(0, 2147483647)(rng_);
                break;
        }
        const char* const suffixes[] = {"u",  "U",  "l",   "L",   "ll", "LL",
                                        "ul", "lu", "ULL", "llu", "Lu", "uLL"};
        const std::string suffix = pick(3) == 0 ? suffixes[pick(12)] : "";
        const bool has_u = suffix.find_first_of("uU") != std::string::npos;
        const int sign = has_u && !hostile_ ? 3 + pick(7) : pick(10);  // 0-2: '-', 3: '+
        if (m > 2147483647 || (sign < 3 && has_u && m != 0)) t.may_refuse = true;
        std::string text = literal(m) + suffix;
        if (pick(6) == 0) {
            const auto at = static_cast<std::size_t>(pick(static_cast<int>(text.size())) + 1);
            text.insert(at < text.size() ? at : text.size(), "\\" + eol_);
        }
        const std::string after_sign[] = {"", " ", "/**/", eol_};
        if (sign < 3) return "-" + after_sign[pick(4)] + text;
        if (sign == 3) return "+" + text;
        return text;
    }

    std::string literal(uint64_t m) {
        std::ostringstream s;
        switch (pick(3)) {
            case 0:
                s << m;
                break;
            case 1:
                s << std::string(static_cast<std::size_t>(1 + pick(3)), '0') << std::oct << m;
                break;
            default:
                s << (pick(2) == 0 ? "0x" : "0X")
                  << (pick(2) == 0 ? std::uppercase : std::nouppercase)
                  << std::string(static_cast<std::size_t>(pick(3)), '0') << std::hex << m;
        }
        return s.str();
    }

    std::mt19937 rng_;
    std::string eol_;
    bool hostile_ = false;  // entries and comments the reader may refuse
};
#endif

// Each generated table compiled in an initialiser of long long entries, its
// entries printed, against the reader: the same entries, or a refusal where
// the table may be refused.
TEST(FirmwareTable, ReadsGeneratedTablesAsTheCompilerDoes) {
#ifndef VEXTAL_C_COMPILER
    GTEST_SKIP() << "no C compiler found to compare the reader with";
#else
    constexpr int kTables = 400;
    const uint32_t seed = test::test_seed();
    TableGenerator generate(seed);
    test::TempFolder dir;
    std::vector<GeneratedTable> tables;
    std::string program =
        "#include <stdio.h>\n"
        "static void show(const long long* t, size_t n) {\n"
        "    for (size_t i = 0; i < n; ++i) printf(i > 0 ? \" %lld\" : \"%lld\", t[i]);\n"
        "    printf(\"\\n\");\n"
        "}\n"
        "int main(void) {\n";
    for (int i = 0; i < kTables; ++i) {
        tables.push_back(generate.next());
        const std::string name = "t" + std::to_string(i) + ".c";
        dir.write(name, tables.back().text);
        program += "    { static const long long t[] =\n#include \"" + name +
                   "\"\n    ; show(t, sizeof t / sizeof t[0]); }\n";
    }
    program += "    return 0;\n}\n";
    dir.write("all.c", program);
    const std::string build = std::string(VEXTAL_C_COMPILER) + " -w -o '" + dir.file("all") +
                              "' '" + dir.file("all.c") + "' && '" + dir.file("all") + "' > '" +
                              dir.file("all.txt") + "'";
    ASSERT_EQ(std::system(build.c_str()), 0) << test::replay_with(seed);
    std::istringstream compiled(dir.read("all.txt"));
    for (int i = 0; i < kTables; ++i) {
        std::string expected;
        std::getline(compiled, expected);
        const GeneratedTable& t = tables[static_cast<std::size_t>(i)];
        const std::string got = read_table(dir, "t" + std::to_string(i) + ".c", t.text);
        if (got.rfind("Error: ", 0) == 0) {
            EXPECT_TRUE(t.may_refuse) << got << t.text << test::replay_with(seed);
        } else {
            EXPECT_EQ(got, expected) << t.text << test::replay_with(seed);
        }
    }
#endif
}

}  // namespace
}  // namespace vextal
