// The `import` command end to end: tables in, measurement files out, compared
// byte for byte; the round trips through load and cal; and every refusal
// leaving an earlier measurement file as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/support/msm.h"

namespace vextal::test {
namespace {

namespace fs = std::filesystem;

// A measurement file as import writes it: the header, the points, the end tag,
// every line ended by CR LF.
std::string msm(const std::string& header, const std::vector<std::string>& points) {
    std::vector<MsmPoint> pairs;
    for (std::size_t i = 0; i + 1 < points.size(); i += 2)
        pairs.emplace_back(points[i], points[i + 1]);
    return msm_file(header, pairs, "\r\n");
}

// Each line of a plot file rewritten by `line`, with a header and line ends
// of the caller's choice.
template <typename Rewrite>
std::string rewrite_plot(const std::string& plot, const std::string& head, const std::string& eol,
                         Rewrite line) {
    std::string text = head;
    std::size_t start = 0;
    for (std::size_t end; (end = plot.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string row = plot.substr(start, end - start);
        const std::size_t tab = row.find('\t');
        text += line(row.substr(0, tab), row.substr(tab + 1)) + eol;
    }
    return text;
}

std::string with_comma(std::string position) {
    position[position.find('.')] = ',';
    return position;
}

// Standard output without import's last line, the summary of what it wrote,
// which Import.SumsUpWhatItWrote checks.
std::string without_result(const std::string& out) {
    const std::size_t at = out.rfind("import: ");
    return at == std::string::npos ? out : out.substr(0, at);
}

struct RoundTrip {
    const char* what;
    std::string (*table)(const std::string& plot);  // the table made from the plot file
};

// The example's plot file, imported as a table of each kind, loads into the
// same plot file and calibrates into the same table as the example itself;
// so do its lines from near to far, put from far to near.
TEST(Import, RoundTripsThroughLoadAndCal) {
    const RoundTrip cases[] = {
        {"the plot file itself", [](const std::string& plot) { return plot; }},
        {"semicolons, decimal commas and a header row",
         [](const std::string& plot) {
             return rewrite_plot(plot, "Position (mm);Reading\n", "\n",
                                 [](const std::string& x, const std::string& y) {
                                     return with_comma(x) + ";" + y;
                                 });
         }},
        {"tabs and CR LF behind a byte-order mark, comments and a header",
         [](const std::string& plot) {
             return rewrite_plot(
                 plot, "\xEF\xBB\xBF# exported\r\n\r\nstage\tpsd\tnote\r\n", "\r\n",
                 [](const std::string& x, const std::string& y) { return x + "\t" + y + "\tok"; });
         }},
        {"the plot file's lines from near to far",
         [](const std::string& plot) {
             std::vector<std::string> lines;
             for (std::size_t start = 0, end; (end = plot.find('\n', start)) != std::string::npos;
                  start = end + 1) {
                 lines.push_back(plot.substr(start, end + 1 - start));
             }
             std::string reversed;
             for (auto line = lines.rbegin(); line != lines.rend(); ++line) reversed += *line;
             return reversed;
         }},
        {"blank-separated columns with padding",
         [](const std::string& plot) {
             return rewrite_plot(plot, "", "\n", [](const std::string& x, const std::string& y) {
                 return "  " + x + "     " + y + " ";
             });
         }},
    };
    const fs::path example = fs::path(VEXTAL_EXAMPLES_DIR) / "sensor_10_80.msm";
    Sandbox reference;
    reference.write("example.msm", read_file(example));
    ASSERT_EQ(reference.run({"load", "example", "-psdplot", "-f", "a"}).exit_code, 0);
    ASSERT_EQ(reference.run({"cal", "example"}).exit_code, 0);
    const std::string plot = read_file(reference.path() / "a.psd");
    const std::string cal = read_file(reference.path() / "example.cal");
    ASSERT_EQ(std::count(plot.begin(), plot.end(), '\n'), 159);

    for (const auto& c : cases) {
        Sandbox box;
        box.write("table.txt", c.table(plot));
        RunResult r = box.run({"import", "table.txt", "-f", "b"});
        EXPECT_EQ(r.exit_code, 0) << c.what;
        EXPECT_EQ(without_result(r.out), kProgress) << c.what;
        EXPECT_EQ(r.err, "") << c.what;
        EXPECT_EQ(box.run({"load", "b", "-psdplot", "-f", "c"}).exit_code, 0) << c.what;
        EXPECT_EQ(read_file(box.path() / "c.psd"), plot) << c.what;
        EXPECT_EQ(box.run({"cal", "b"}).exit_code, 0) << c.what;
        EXPECT_EQ(read_file(box.path() / "b.cal"), cal) << c.what;
    }
}

struct WriteCase {
    const char* what;
    std::string table;
    Args options;
    std::string written;
    std::string said = "";  // printed between reading and writing
};

// What becomes a point and how it is written: the position's own digits (its
// grouping dropped, a decimal comma made a point), the reading as an
// integer, the points from the largest position down.
TEST(Import, WritesEachPointOfTheTable) {
    const std::string plain = "<Vextal>";
    const std::string one = msm(plain, {"1.5", "10"});
    const std::string two = msm(plain, {"2", "20", "1.5", "10"});
    const std::string lab = msm(plain, {"80.5", "20", "79", "21"});
    const std::string issue = "1.100;20\n1.080;22\n900;35\n";  // German digit grouping
    const std::string order = "1,10\n3,30\n2,20\n3,31\n";
    const std::string long_comment = "#" + std::string(300, 'c') + "\n";
    const WriteCase cases[] = {
        {"commas", "1.5,10\n2,20\n", {}, two},
        {"semicolons with a decimal comma", "1,5;10\n2;20\n", {}, two},
        {"tabs with a decimal comma", "1,5\t10\n2\t20\n", {}, two},
        {"runs of blanks", "  1.5    10 \n2 20", {}, two},
        {"blanks around the fields", " 1.5 ,  10\t\n2 ,20 \n", {}, two},
        {"CR LF and no final line end", "1.5,10\r\n2,20", {}, two},
        {"a third column is passed over", "1.5,10,x;y\n2,20,\n", {}, two},
        {"a header, a comment, empty lines and a byte-order mark",
         "\xEF\xBB\xBF# from the logger\n\nx [mm], y\n\n  # again\n1.5,10\n \t\n2,20\n",
         {},
         two},
        {"a header separated otherwise", "position reading\n1.5;10\n", {}, one},
        {"a comment of any length", long_comment + "1.5,10\n", {}, one},
        {"a line of 248 characters", "1.5,10" + std::string(242, ' ') + "\n", {}, one},
        {"the position as written",
         "+012.50e0;7\n-.5;-3\n1.50E-3;+0042\n5.;0\n",
         {},
         msm(plain, {"+012.50e0", "7", "5.", "0", "1.50E-3", "42", "-.5", "-3"})},
        {"the position as written with a decimal comma",
         "-,5;-3\n1,50E-3;+0042\n5,;0\n",
         {},
         msm(plain, {"5.", "0", "1.50E-3", "42", "-.5", "-3"})},
        // One decimal mark for the whole file, decided by a number that reads
        // one way only; the other mark groups digits in threes.
        {"a point groups digits where another line has the decimal comma",
         "Position;Reading\n1.100;20\n1.080;22\n900,5;35\n",
         {},
         msm(plain, {"1100", "20", "1080", "22", "900.5", "35"})},
        {"grouping and a decimal comma in one number",
         "1.080,5;21\n12.345.678;1\n",
         {},
         msm(plain, {"12345678", "1", "1080.5", "21"})},
        {"a comma groups digits in a file with the decimal point (quoted, as Excel writes it)",
         "Position,Reading\r\n\"1,080.5\",22\r\n\"1,100.0\",20\r\n950.5,30\r\n",
         {},
         msm(plain, {"1100.0", "20", "1080.5", "22", "950.5", "30"})},
        {"-decimal comma",
         issue,
         {"-decimal", "comma"},
         msm(plain, {"1100", "20", "1080", "22", "900", "35"})},
        {"-decimal point",
         issue,
         {"-decimal", "point"},
         msm(plain, {"900", "35", "1.100", "20", "1.080", "22"})},
        {"three decimals as such files have always been read: a point with commas, a comma "
         "with semicolons",
         "12.345,678\n",
         {},
         msm(plain, {"12.345", "678"})},
        {"three decimals after a comma with semicolons",
         "12,345;678\n",
         {},
         msm(plain, {"12.345", "678"})},
        // Tables as the programs that make them write them.
        {"Excel: sep=, a title, the header, a units line, empty rows and a quoted note",
         "sep=;\r\nSensor 3, 2026-12-01;;\r\nPosition (mm);Reading;Note\r\nmm;counts;\r\n"
         "80,5;20;\r\n;;\r\n79;21;\"ok; \"\"fine\"\"\"\r\n;;\r\n",
         {},
         lab},
        {"LibreOffice: every text quoted, a doubled quote in the header, commas between",
         "\"Position \"\"P\"\" (mm)\",\"Reading\"\n\"80,5\",20\n79,21\n",
         {},
         lab},
        {"quoted fields on every line", "\"80,5\";\"20\"\n\"79\";\"21\"\n", {}, lab},
        {"classic Mac line ends", "Position;Reading\r80,5;20\r\r79;21\r", {}, lab},
        {"a DOS end-of-file mark", "80.5,20\r\n79,21\r\n\x1A", {}, lab},
        {"a DOS end-of-file mark right after the last line", "80.5,20\r\n79,21\x1A", {}, lab},
        {"empty fields at the end of a line do not count", "pos;psd\n80,5;20;;\n79;21;\n", {}, lab},
        {"nor at the end of the header", "pos;psd;;\n80,5;20\n79;21\n", {}, lab},
        {"far to near, equal positions in file order",
         order,
         {},
         msm(plain, {"3", "30", "3", "31", "2", "20", "1", "10"})},
        {"-keep-order",
         order,
         {"-keep-order"},
         msm(plain, {"1", "10", "3", "30", "2", "20", "3", "31"})},
        {"-round: halves away from zero; whole values are not counted",
         "Position;Reading\n4;12\n3;307,2\n2;307,5\n1;-2,5\n0;1,5e2\n",
         {"-round"},
         msm(plain, {"4", "12", "3", "307", "2", "308", "1", "-3", "0", "150"}),
         "readings: 3 of 5 rounded to whole numbers\n"},
        {"-cols by number",
         "a;b;Position;c;Reading\nx;y;80,5;z;20\nx;y;79;z;21\n",
         {"-cols", "3,5"},
         lab},
        {"-cols by header name",
         "Time,Position (mm),Temp,ADC\n0,80.5,21.3,20\n1,79,21.4,21\n",
         {"-cols", "Position (mm),ADC"},
         lab},
        {"-cols by a quoted name and a number",
         "\"Pos, mm\";Temp;ADC\n80,5;x;20\n79;y;21\n",
         {"-cols", "\"Pos, mm\",3"},
         lab},
        {"-mean: the same count at each position goes into the header",
         "Position;Reading\n20;1\n20;2\n10;307\n10;308\n",
         {"-mean"},
         msm("<Vextal avg='2'>", {"20", "2", "10", "308"}),
         "readings: 4 averaged into 2 records, 2 at each position\n"},
        {"-mean: counts that differ, a negative half, the file's order",
         "10;-1\n20;5\n10,0;-2\n",
         {"-mean", "-keep-order"},
         msm(plain, {"10", "-2", "20", "5"}),
         "readings: 3 averaged into 2 records, 1 to 2 at each position\n"},
        {"-mean over lines that wait for the decimal mark",
         "1.080;20\n1.080;23\n80,5;30\n",
         {"-mean"},
         msm(plain, {"1080", "22", "80.5", "30"}),
         "readings: 3 averaged into 2 records, 1 to 2 at each position\n"},
        {"lines that waited keep their place",
         "1.080;20\n2,5;1\n3;2\n",
         {"-keep-order"},
         msm(plain, {"1080", "20", "2.5", "1", "3", "2"})},
        {"-mean: -m names the count",
         "20;1\n20;4\n",
         {"-mean", "-m", "9"},
         msm("<Vextal avg='9'>", {"20", "3"}),
         "readings: 2 averaged into 1 record, 2 at each position\n"},
        {"the reading's bounds",
         "0,-2147483648\n0,2147483647\n",
         {},
         msm(plain, {"0", "-2147483648", "0", "2147483647"})},
        {"a position of 100 characters",
         std::string(100, '9') + ",1\n",
         {},
         msm(plain, {std::string(100, '9'), "1"})},
        {"range and average in the header",
         "1.5,10\n",
         {"-z", "-80.5", "-m", "7"},
         msm("<Vextal max_range='80.5' avg='7'>", {"1.5", "10"})},
        {"the range as read back",
         "1.5,10\n",
         {"-z", "0.1"},
         msm("<Vextal max_range='0.1'>", {"1.5", "10"})},
        {"the range at its limit",
         "1.5,10\n",
         {"-z", "1e999"},
         msm("<Vextal max_range='1.7976931348623157e308'>", {"1.5", "10"})},
        {"the average only", "1.5,10\n", {"-m", "x"}, msm("<Vextal avg='0'>", {"1.5", "10"})},
        {"an empty first field keeps the columns in their places",
         "note\tpos\tpsd\ttemp\nstart\t80\t20\t23\n\t79\t21\t23\n\t78\t22\t24\n",
         {"-cols", "pos,psd"},
         msm(plain, {"80", "20", "79", "21", "78", "22"})},
        {"-round on the digits as written, not on a double",
         "1;2,4999999999999999\n",
         {"-round"},
         msm(plain, {"1", "2"}),
         "readings: 1 of 1 rounded to whole numbers\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("in.csv", c.table);
        Args args = {"import", "in.csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 0) << c.what;
        EXPECT_EQ(without_result(r.out), kLoading + c.said + "Writing Data...\n") << c.what;
        EXPECT_EQ(r.err, "") << c.what << ": " << r.err;
        EXPECT_EQ(box.files(), (Files{{"in.csv", c.table}, {"in.msm", c.written}})) << c.what;
    }
}

struct NameCase {
    std::string input;
    Args options;
    std::string output;
};

// The output is the prefix and ".msm"; without -f the prefix is the input
// name without its last extension.
// The last line sums up the file written: its records, the smallest and the
// largest position as written and reading, the decimal mark that read the
// file and what became of its order.
TEST(Import, SumsUpWhatItWrote) {
    const struct {
        const char* what;
        std::string table;
        Args options;
        std::string summary;
    } cases[] = {
        {"decimal commas, far to near",
         "80,0;20\n79,5;21\n79,0;21\n",
         {},
         "3 records written, positions 79.0 to 80.0, readings 20 to 21, decimal mark comma, "
         "order already from far to near"},
        {"whole numbers, near to far",
         "10,5\n20,7\n30,-9\n",
         {},
         "3 records written, positions 10 to 30, readings -9 to 7, decimal mark none (whole "
         "numbers), order reversed to far to near"},
        {"neither order",
         "20.5,7\n30,9\n10,5\n",
         {},
         "3 records written, positions 10 to 30, readings 5 to 9, decimal mark point, order "
         "sorted from far to near"},
        {"-keep-order",
         "10,5\n20,7\n",
         {"-keep-order"},
         "2 records written, positions 10 to 20, readings 5 to 7, decimal mark none (whole "
         "numbers), order kept as in the file"},
        {"-mean: one record",
         "1.5,10\n1.5,13\n",
         {"-mean"},
         "1 record written, positions 1.5 to 1.5, readings 12 to 12, decimal mark point, order "
         "already from far to near"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("in.csv", c.table);
        Args args = {"import", "in.csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 0) << c.what;
        const std::string progress = without_result(r.out);
        EXPECT_TRUE(progress.ends_with("Writing Data...\n")) << c.what << ": " << r.out;
        EXPECT_EQ(r.out.substr(progress.size()), "import: " + c.summary + "\n") << c.what;
    }
}

TEST(Import, NamesTheMeasurementFile) {
    const NameCase cases[] = {
        {"run.csv", {}, "run.msm"},
        {"run", {}, "run.msm"},
        {"run.tar.csv", {}, "run.tar.msm"},
        {"dir.d/run", {}, "dir.d/run.msm"},
        {".hidden", {}, ".hidden.msm"},
        {"run.msm.txt", {}, "run.msm.msm"},
        {"run.csv", {"-f", "out"}, "out.msm"},
        {"run.csv", {"-f", "out.msm"}, "out.msm.msm"},
        {"run.csv", {"extra", "-f", "out"}, "out.msm"},
    };
    const std::string written = msm("<Vextal>", {"1", "2"});
    for (const auto& c : cases) {
        Sandbox box;
        box.write(c.input, "1,2\n");
        Args args = {"import", c.input};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 0) << c.input;
        EXPECT_EQ(r.err, "") << c.input;
        EXPECT_EQ(box.files(), (Files{{c.input, "1,2\n"}, {c.output, written}})) << c.input;
    }
}

struct RefusalCase {
    const char* what;
    std::string table;  // written as in.csv
    std::string message;
    Args options = {};
};

// A table the importer refuses: exit code 2, the message naming the line, and
// the earlier in.msm as it was.
TEST(Import, RefusedTablesNameTheirLine) {
    const std::string kNotWhole =
        " is not a whole number; to round each reading to the nearest whole number, give -round";
    const std::string kSayWhich = "; say which with -decimal comma or -decimal point";
    std::string full;
    for (int i = 0; i < 1000; ++i) full += std::to_string(i) + ",1\n";
    const std::string cut = "1,2" + std::string(246, ' ') + "\n";
    std::string undecided;  // each position reads two ways
    for (int i = 0; i < 1001; ++i) undecided += "1.100;" + std::to_string(i) + "\n";
    const RefusalCase cases[] = {
        {"empty file", "", "The input file holds no data lines"},
        {"only a header and comments", "# x\nposition,reading\n\n",
         "The input file holds no data lines"},
        {"one column", "1\n2\n", "Line 1: expected two columns, the position and the reading"},
        {"one column later", "1;2\n\n3\n",
         "Line 3: expected two columns, the position and the reading"},
        {"separators disagree", "# c\n1;2\n3,4\n",
         "Line 3: columns separated by a comma, but by a semicolon on line 2"},
        {"a tab among blanks", "1 2\n3\t4\n",
         "Line 2: columns separated by a tab, but by blanks on line 1"},
        {"a decimal reading", "1,2.5\n", "Line 1: the reading '2.5'" + kNotWhole},
        {"a reading with a decimal comma", "1;2,5\n", "Line 1: the reading '2,5'" + kNotWhole},
        {"a reading with an exponent", "1,1e3\n", "Line 1: the reading '1e3'" + kNotWhole},
        {"a reading rounded beyond the range",
         "1;2147483647,5\n",
         "Line 1: the reading '2147483647,5' is out of range",
         {"-round"}},
        // The columns of every data line are those of the header, or of the
        // first data line.
        {"a header of two columns over data lines of three", "pos,psd\n80,0,20\n79,5,21\n",
         "Line 2: holds 3 fields, more than the 2 of the header on line 1"},
        {"more columns than the first data line", "80;20\n79;21;x\n",
         "Line 2: holds 3 fields, more than the 2 of the first data line, line 1"},
        // One decimal mark for the whole file.
        {"German digit grouping and nothing to tell it from decimals",
         "1.100;20\n1.080;22\n900;35\n",
         "Line 1: the position '1.100' reads as 1100 with a decimal comma and as 1.100 with a "
         "decimal point" +
             kSayWhich},
        {"a reading that reads both ways", "1;1.023\n",
         "Line 1: the reading '1.023' reads as 1023 with a decimal comma and as 1.023 with a "
         "decimal point" +
             kSayWhich},
        {"a quoted comma before three digits between commas", "\"1,080\",20\n",
         "Line 1: the position '1,080' reads as 1.080 with a decimal comma and as 1080 with a "
         "decimal point" +
             kSayWhich},
        {"a decimal point where a line has the decimal comma", "80,5;20\n1.08;22\n",
         "Line 2: the position '1.08' is a number only with a decimal point, but line 1 has a "
         "decimal comma"},
        {"the marks of two lines disagree", "1,5;10\n2.5;20\n",
         "Line 2: the position '2.5' is a number only with a decimal point, but line 1 has a "
         "decimal comma"},
        {"a mark that -decimal does not say",
         "80.5;20\n",
         "Line 1: the position '80.5' is a number only with a decimal point, not with -decimal "
         "comma",
         {"-decimal", "comma"}},
        // Lines before the data are passed over where their chosen columns
        // hold no number; one that holds a number in one of them is a data
        // line at fault.
        {"a data line at fault before the data", "x;y\n1;abc\n2;20\n",
         "Line 2: the reading 'abc' is not a number"},
        {"a data line at fault, split as it is split itself", "pos  psd\n284,455  -40\n1786  357\n",
         "Line 2: the reading '455  -40' is not a number"},
        {"a column missing", "a;b;c\n1;2\n", "Line 2: the reading is missing", {"-cols", "1,3"}},
        {"no header names the column",
         "a;b\n1;2\n",
         "No line of the input file names the column 'x' of -cols",
         {"-cols", "x,2"}},
        {"no line names both columns",
         "a;x\ny;b\n1;2\n",
         "No line of the input file names the columns 'a' and 'b' of -cols",
         {"-cols", "a,b"}},
        {"a header name and a number for one column",
         "a;b\n1;2\n",
         "Line 1: -cols names one column for both the position and the reading",
         {"-cols", "b,2"}},
        {"sep= with another separator", "sep=|\n1|2\n",
         "Line 1: sep= names a separator that is not read (a comma, a semicolon or a tab)"},
        {"a reading that is no number", "1,abc\n", "Line 1: the reading 'abc' is not a number"},
        {"a control character shown escaped", "1,2\x1a\n3,4\n",
         "Line 1: the reading '2\\x1a' is not a number"},
        {"a quote never closed on the first data line", "pos;psd\n\"80,5;20\n79,5;21\n79,0;22\n",
         "Line 2: the quote that opens the field '80,5;20' is never closed"},
        {"a quote never closed above the header, split as the header is",
         "Run \"A\npos psd\n1 2\n",
         "Line 1: the quote that opens the field 'A' is never closed",
         {"-cols", "pos,psd"}},
        {"a name of -cols that two columns share",
         "pos;pos;psd\n1;2;3\n",
         "Line 1: columns 1 and 2 are both named 'pos'; give -cols the number of the one meant",
         {"-cols", "pos,psd"}},
        {"a missing reading", "1;;2\n", "Line 1: the reading is missing"},
        {"a missing position", ";5\n", "Line 1: the position is missing"},
        {"a header after data", "1,2\nx,y\n", "Line 2: the position 'x' is not a number"},
        {"an exponent without digits", "1e,1\n", "Line 1: the position '1e' is not a number"},
        {"two decimal points", "1.2.3,1\n", "Line 1: the position '1.2.3' is not a number"},
        {"hexadecimal", "0x10,1\n", "Line 1: the position '0x10' is not a number"},
        {"infinity", "inf;1\n", "Line 1: the position 'inf' is not a number"},
        {"a long field shown cut", std::string(50, 'x') + ",1\n",
         "Line 1: the position '" + std::string(40, 'x') + "...' is not a number"},
        {"the reading above the range", "1,2147483648\n",
         "Line 1: the reading '2147483648' is out of range"},
        {"the reading below the range", "1,-2147483649\n",
         "Line 1: the reading '-2147483649' is out of range"},
        {"a position beyond the doubles", "1,0\n1.8e308,1\n",
         "Line 2: the position '1.8e308' is out of range"},
        {"a position of 101 characters", std::string(101, '1') + ",1\n",
         "Line 1: the position has more than 100 characters"},
        {"a line of 249 characters", "1,2\n" + cut, "Line 2: has more than 248 characters"},
        {"a NUL byte", std::string("1,2\n3,4\0,5\n", 11),
         "Line 2: holds a NUL byte (UTF-16 text is not read)"},
        {"UTF-16 text",
         std::string("\xFF\xFE"
                     "1\0,\0"
                     "2\0\n\0",
                     10),
         "Line 1: holds a NUL byte (UTF-16 text is not read)"},
        {"1001 points", full + "# more\n1000,1\n", "Line 1002: more than 1000 points"},
        {"1001 lines waiting for the mark",
         undecided,
         "Line 1001: more than 1000 lines wait for the decimal mark to be known" + kSayWhich,
         {"-mean"}},
    };
    const std::string earlier = "earlier\n";
    for (const auto& c : cases) {
        Sandbox box;
        box.write("in.csv", c.table);
        box.write("in.msm", earlier);
        Args args = {"import", "in.csv"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        RunResult r = box.run(args);
        EXPECT_EQ(r.exit_code, 2) << c.what;
        EXPECT_FALSE(r.crashed) << c.what;
        EXPECT_EQ(r.out, kLoading) << c.what;
        EXPECT_EQ(r.err, "Error: " + c.message + "\n") << c.what;
        EXPECT_EQ(box.files(), (Files{{"in.csv", c.table}, {"in.msm", earlier}})) << c.what;
    }
}

struct FileCase {
    const char* what;
    Args args;
    std::string message;
};

// Inputs that cannot be read and outputs that must not be written.
TEST(Import, RefusesFilesItCannotUse) {
    const std::string long_prefix(4092, 'p');  // with ".msm" one more than a name may hold
    const FileCase cases[] = {
        {"no such input",
         {"import", "absent.csv"},
         "Input file cannot be opened: absent.csv\nabsent.csv: No such file or directory"},
        {"a folder as input",
         {"import", "dir"},
         "Input file cannot be opened: dir\ndir: Is a directory"},
        {"the input's own name",
         {"import", "in.msm"},
         "The measurement file to write is the input file itself; name another with -f"},
        {"the input by another path",
         {"import", "./in.msm", "-f", "sub/../in"},
         "The measurement file to write is the input file itself; name another with -f"},
        {"a folder as output",
         {"import", "in.csv", "-f", "dir"},
         "Output file cannot be opened: dir.msm\ndir.msm: Is a directory"},
        {"a name too long", {"import", "in.csv", "-f", long_prefix}, "Dateiname zu lang.\n"},
    };
    for (const auto& c : cases) {
        Sandbox box;
        box.write("in.csv", "1,2\n");
        box.write("in.msm", "1,2\n");
        box.write("sub/x", "");
        fs::create_directory(box.path() / "dir");
        fs::create_directory(box.path() / "dir.msm");
        RunResult r = box.run(c.args);
        EXPECT_EQ(r.exit_code, 2) << c.what;
        EXPECT_EQ(r.err, "Error: " + c.message + "\n") << c.what;
        EXPECT_EQ(box.files(), (Files{{"in.csv", "1,2\n"}, {"in.msm", "1,2\n"}, {"sub/x", ""}}))
            << c.what;
    }
}

}  // namespace
}  // namespace vextal::test
