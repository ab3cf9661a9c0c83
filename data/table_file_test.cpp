// One import state serves import after import: each table is read as if it
// were the first, whatever the one before it left in the state.
#include "data/table_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "data/import_state.h"
#include "files/sys_file.h"

namespace vextal {
namespace {

namespace fs = std::filesystem;

using Points = std::vector<std::pair<std::string, int32_t>>;

Points import_text(const std::string& text, bool mean, ImportState& state) {
    static ImportTable table;
    // A name of its own for each import: the run holds its inputs open to
    // the end, and on Windows a removed file's name stays taken meanwhile.
    static int imports = 0;
    const fs::path file =
        fs::temp_directory_path() / ("vextal_import_" + std::to_string(sys_process_id()) + "_" +
                                     std::to_string(imports++) + ".csv");
    std::ofstream(file, std::ios::binary) << text;
    ImportOptions options;
    options.words = {"-cols", "-decimal", "-round"};
    options.mean = mean;
    read_table_file(file.string().c_str(), options, state, table);
    fs::remove(file);
    Points points;
    for (int32_t i = 0; i < table.count; ++i) {
        const RecordText& p = table.points[static_cast<std::size_t>(i)];
        points.emplace_back(p.stage.data(), p.psd);
    }
    return points;
}

TEST(ImportState, EachImportStartsAfresh) {
    const struct {
        const char* what;
        std::string first;
        std::string second;
        bool mean;
        Points expected;  // of the second table
    } cases[] = {
        {"a decimal point decided before a file with the decimal comma",
         "1.100;20\n2.5;30\n",
         "1,5;10\n2;20\n",
         false,
         {{"2", 20}, {"1.5", 10}}},
        {"a decimal point settled by the first file's separator",
         "1.100,20\n",
         "1,5;10\n",
         false,
         {{"1.5", 10}}},
        {"-mean: the positions of the first file are not records of the second",
         "1;10\n2;20\n",
         "2;30\n1;50\n1;70\n",
         true,
         {{"2", 30}, {"1", 60}}},
    };
    for (const auto& c : cases) {
        static ImportState state;
        import_text(c.first, c.mean, state);
        EXPECT_EQ(import_text(c.second, c.mean, state), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace vextal
