// The parts of a table's line: its fields as spreadsheets quote them, what a
// field is as a number under either decimal mark, and the columns of -cols.
#include "data/table_fields.h"

#include <gtest/gtest.h>

#include <string>

#include "data/table_file.h"

namespace vextal {
namespace {

std::string plain(const std::string& text, DecimalMark mark) {
    char out[kLineSize];
    return std::string(out, plain_number({text.data(), text.size()}, mark, out));
}

struct NumberCase {
    const char* text;
    Separator sep;
    NumberKind kind;
    const char* point;  // as written under a decimal point, where it is a number there
    const char* comma;  // as written under a decimal comma, where it is a number there
};

TEST(TableFields, NumbersReadByEitherMark) {
    const Separator semi = Separator::kSemicolon;
    const NumberCase cases[] = {
        {"-80", semi, NumberKind::kPlain, "-80", "-80"},
        {"-.5", semi, NumberKind::kPointOnly, "-.5", nullptr},
        {"5.", semi, NumberKind::kPointOnly, "5.", nullptr},
        {",5", semi, NumberKind::kCommaOnly, nullptr, ".5"},
        {"5,", semi, NumberKind::kCommaOnly, nullptr, "5."},
        // A mark before three digits, with one to three before it, groups or
        // is decimal.
        {"-1.080", semi, NumberKind::kEitherPoint, "-1.080", "-1080"},
        {"999,000", semi, NumberKind::kEitherComma, "999000", "999.000"},
        // Groups are three digits after one to three that do not start with 0.
        {"1.08", semi, NumberKind::kPointOnly, "1.08", nullptr},
        {"1.0800", semi, NumberKind::kPointOnly, "1.0800", nullptr},
        {"0.080", semi, NumberKind::kPointOnly, "0.080", nullptr},
        {"1234.567", semi, NumberKind::kPointOnly, "1234.567", nullptr},
        {"1.080.500", semi, NumberKind::kCommaOnly, nullptr, "1080500"},
        {"1,080,500.25", semi, NumberKind::kPointOnly, "1080500.25", nullptr},
        {"+1.080,5", semi, NumberKind::kCommaOnly, nullptr, "+1080.5"},
        // An exponent only without groups.
        {"1.080e3", semi, NumberKind::kPointOnly, "1.080e3", nullptr},
        {"1,5E-2", semi, NumberKind::kCommaOnly, nullptr, "1.5E-2"},
        {"1.080,5e1", semi, NumberKind::kNotNumber, nullptr, nullptr},
        // Between blanks a comma is no part of a number.
        {"1.080", Separator::kBlank, NumberKind::kPointOnly, "1.080", nullptr},
        {"1,5", Separator::kBlank, NumberKind::kNotNumber, nullptr, nullptr},
        {"1.2.3", semi, NumberKind::kNotNumber, nullptr, nullptr},
        {"1,080.5,5", semi, NumberKind::kNotNumber, nullptr, nullptr},
        {"1.080,", semi, NumberKind::kCommaOnly, nullptr, "1080."},
        {".", semi, NumberKind::kNotNumber, nullptr, nullptr},
        {"-", semi, NumberKind::kNotNumber, nullptr, nullptr},
        {"1e", semi, NumberKind::kNotNumber, nullptr, nullptr},
        {"e5", semi, NumberKind::kNotNumber, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const std::string text = c.text;
        EXPECT_EQ(number_kind({text.data(), text.size()}, c.sep), c.kind) << text;
        if (c.point != nullptr) {
            EXPECT_EQ(plain(text, DecimalMark::kPoint), c.point) << text;
        }
        if (c.comma != nullptr) {
            EXPECT_EQ(plain(text, DecimalMark::kComma), c.comma) << text;
        }
    }
}

struct FieldCase {
    const char* line;
    Separator sep;
    const char* first;
    const char* second;
    int32_t count;  // empty fields at the end not counted
    bool unclosed = false;
};

TEST(TableFields, FieldsAsSpreadsheetsQuoteThem) {
    const Separator semi = Separator::kSemicolon;
    const FieldCase cases[] = {
        {"\"a;b\";c", semi, "a;b", "c", 2},
        {"\"say \"\"hi\"\"\";x", semi, "say \"hi\"", "x", 2},
        {" \"80,5\" ; 20 ", semi, "80,5", "20", 2},
        {"\"  q  \";x", semi, "  q  ", "x", 2},
        {"\"ab\"cd;x", semi, "abcd", "x", 2},
        {"\"open;x", semi, "open;x", "", 1, true},
        {"a;\"open", semi, "a", "open", 2, true},
        {"a\"b;c", semi, "a\"b", "c", 2},
        {"a;;", semi, "a", "", 1},
        {";a", semi, "", "a", 2},
        {"a;\"\";\"\"", semi, "a", "", 1},
        {"1   2  3", Separator::kBlank, "1", "2", 3},
        {"\"1 2\" 3", Separator::kBlank, "1 2", "3", 2},
        {"a;b", Separator::kNone, "a;b", "", 1},
        // An empty field keeps its place under every separator; blanks are
        // padding unless they separate.
        {"\t79\t21", Separator::kTab, "", "79", 3},
        {" \t79\t21 \r", Separator::kTab, "", "79", 3},
        {",79,21", Separator::kComma, "", "79", 3},
        {" ; 79", semi, "", "79", 2},
        {"\t1;\t2\t", semi, "1", "2", 2},
        {" \t 1 2", Separator::kBlank, "1", "2", 2},
    };
    for (const auto& c : cases) {
        const std::string line = c.line;
        Field first;
        Field second;
        const SplitLine split =
            split_fields({line.data(), line.size()}, c.sep, 0, first, 1, second);
        EXPECT_EQ(std::string(first.text.data(), first.n), c.first) << line;
        EXPECT_EQ(std::string(second.text.data(), second.n), c.second) << line;
        EXPECT_EQ(split.count, c.count) << line;
        EXPECT_EQ(split.unclosed.p != nullptr, c.unclosed) << line;
    }
}

struct ChoiceCase {
    const char* text;
    bool taken;
    int32_t position = 0;  // the number, 0 for a name
    int32_t reading = 0;
    const char* position_name = "";
    const char* reading_name = "";
};

TEST(TableFields, ColumnsOfCols) {
    const ChoiceCase cases[] = {
        {"3,5", true, 3, 5, "", ""},
        {"Position (mm),ADC", true, 0, 0, "Position (mm)", "ADC"},
        {"\"Pos, mm\", 2", true, 0, 2, "Pos, mm", ""},
        {"249,1", true, 249, 1, "", ""},
        {"250,1", false},
        {"0,2", false},
        {"3", false},
        {"3,3", false},
        {"a,a", false},
        {"1,2,3", false},
        {",2", false},
        {"1,", false},
        {"", false},
    };
    for (const auto& c : cases) {
        ColumnChoice choice;
        ASSERT_EQ(parse_column_choice(c.text, choice), c.taken) << c.text;
        if (!c.taken) continue;
        EXPECT_EQ(choice.number[0], c.position) << c.text;
        EXPECT_EQ(choice.number[1], c.reading) << c.text;
        EXPECT_STREQ(choice.name[0].data(), c.position_name) << c.text;
        EXPECT_STREQ(choice.name[1].data(), c.reading_name) << c.text;
    }
}

}  // namespace
}  // namespace vextal
