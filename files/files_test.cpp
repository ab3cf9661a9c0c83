#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "files/file_name.h"
#include "files/line_reader.h"
#include "files/output_file.h"
#include "tests/support/temp_folder.h"

namespace vextal {
namespace {

class TextFileTest : public ::testing::Test {
  protected:
    // The lines of `bytes`; with `skip`, each run of empty lines at the start
    // of a line is passed over and stands as that many "\n" in the result,
    // and `skipped` counts them.
    std::vector<std::string> lines(const std::string& bytes, LineEnds ends = LineEnds::kLineFeed,
                                   bool skip = false, uint64_t* skipped = nullptr) const {
        dir_.write("in.txt", bytes);
        LineReader reader;
        EXPECT_TRUE(line_reader_open(reader, dir_.file("in.txt").c_str(), ends));
        std::vector<std::string> result;
        char line[kLineSize];
        bool line_start = true;
        for (;;) {
            if (skip && line_start) {
                const uint64_t n = line_reader_skip_empty(reader);
                result.insert(result.end(), n, "\n");
                if (skipped != nullptr) *skipped += n;
            }
            const std::size_t length = line_reader_next(reader, line);
            if (length == 0) break;
            result.emplace_back(line);
            line_start = line[length - 1] == '\n';
        }
        line_reader_close(reader);
        return result;
    }

    // The names of what the folder holds, in order.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& [name, bytes] : dir_.entries()) names.push_back(name);
        return names;
    }

    test::TempFolder dir_{test::current_test_name()};
};

using Lines = std::vector<std::string>;

TEST_F(TextFileTest, ReadsLinesAsTextMode) {
    struct Case {
        std::string bytes;
        Lines expected;
        LineEnds ends = LineEnds::kLineFeed;
    };
    const std::string a249(249, 'a');
    const Case cases[] = {
        {"", {}},
        {"one\ntwo\n", {"one\n", "two\n"}},
        {"one\r\ntwo\r\n", {"one\n", "two\n"}},
        {"no end", {"no end"}},
        {"cr\ralone\r", {"cr\ralone\r"}},
        {"\n\n", {"\n", "\n"}},
        // 249 characters fill a line; the line end then stands alone.
        {a249 + "\n", {a249, "\n"}},
        {a249 + "\r\n", {a249, "\n"}},
        {std::string(248, 'a') + "\r\n", {std::string(248, 'a') + "\n"}},
        {std::string(500, 'b'), {std::string(249, 'b'), std::string(249, 'b'), "bb"}},
        // A first line end of a CR alone makes every CR a line end.
        {"cr\ralone\r", {"cr\n", "alone\n"}, LineEnds::kDetect},
        {"a\rb\r\nc\n\r", {"a\n", "b\n", "c\n", "\n"}, LineEnds::kDetect},
        {"a\r\nb\rc\n", {"a\n", "b\rc\n"}, LineEnds::kDetect},
        {"a\nb\rc\n", {"a\n", "b\rc\n"}, LineEnds::kDetect},
        {a249 + "\r", {a249, "\n"}, LineEnds::kDetect},
    };
    for (const auto& c : cases) EXPECT_EQ(lines(c.bytes, c.ends), c.expected) << c.bytes.size();
}

TEST_F(TextFileTest, ReadsAcrossTheBufferBoundary) {
    // A CR LF pair split by the reader's buffer boundary still counts as one.
    std::string bytes;
    Lines expected;
    while (bytes.size() < 200000) {
        std::string body(97, 'x');
        bytes += body + "\r\n";
        expected.push_back(body + "\n");
    }
    EXPECT_EQ(lines(bytes), expected);
}

// The rule the reader follows, written the plain way: CR LF becomes LF (and,
// where a CR alone ends lines, so does that CR), then the text is cut after
// each LF and after every 249 characters of a line.
Lines reference_lines(const std::string& bytes, bool lone_cr_ends = false) {
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += lone_cr_ends && bytes[i] == '\r' ? '\n' : bytes[i];
    }
    Lines result;
    std::string line;
    for (char c : text) {
        line += c;
        if (c == '\n' || line.size() == kLineSize - 1) {
            result.push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) result.push_back(line);
    return result;
}

TEST_F(TextFileTest, RandomTextsAreCutAsTheRuleSays) {
    // Texts dense in CR and LF, with lines around the 249-character limit, long
    // enough to cross the reader's buffer several times.
    std::mt19937 random(12345);
    for (int round = 0; round < 16; ++round) {
        std::string bytes;
        while (bytes.size() < 150000) {
            std::size_t len = random() % 3 == 0 ? 240 + random() % 20 : random() % 8;
            for (std::size_t i = 0; i < len; ++i) bytes += "ab\rc"[random() % 4];
            bytes += (random() % 2) ? "\r\n" : "\n";
            // Now and then a run of one kind of line end, of any length.
            if (random() % 16 == 0) {
                const char* const ends[] = {"\n", "\r\n", "\r"};
                const char* end = ends[random() % 3];
                for (std::size_t i = random() % 40; i > 0; --i) bytes += end;
            }
        }
        if (round % 2) bytes += '\r';  // a CR as the very last byte
        ASSERT_EQ(lines(bytes), reference_lines(bytes)) << "round " << round;
        // The first line end decides whether a CR alone ends lines: here in
        // every fourth round, where the text starts with a line ended so.
        if (round % 4 == 0) bytes.insert(0, "mac\r");
        const std::size_t first = bytes.find_first_of("\r\n");
        const bool mac = bytes[first] == '\r' && bytes.compare(first, 2, "\r\n") != 0;
        const Lines expected = reference_lines(bytes, mac);
        ASSERT_EQ(lines(bytes, LineEnds::kDetect), expected) << "round " << round;
        // Passing over empty lines leaves the same lines.
        uint64_t skipped = 0;
        ASSERT_EQ(lines(bytes, LineEnds::kDetect, true, &skipped), expected) << "round " << round;
        EXPECT_GT(skipped, 0u) << "round " << round;
    }
}

TEST_F(TextFileTest, FolderCannotBeOpened) {
    LineReader reader;
    EXPECT_FALSE(line_reader_open(reader, dir_.path().string().c_str()));
    EXPECT_FALSE(line_reader_open(reader, dir_.file("missing").c_str()));
}

TEST_F(TextFileTest, WritesCrLfAndReplacesOnlyWhenCommitted) {
    dir_.write("out.txt", "old");
    OutFile out;
    ASSERT_TRUE(out_open(out, dir_.file("out.txt").c_str()));
    out_text(out, "a\tb\n\nc");
    EXPECT_EQ(dir_.read("out.txt"), "old");
    ASSERT_TRUE(out_close(out));
    EXPECT_EQ(dir_.read("out.txt"), "old");
    ASSERT_TRUE(out_commit_all());
    EXPECT_EQ(dir_.read("out.txt"), "a\tb\r\n\r\nc");
    EXPECT_EQ(files(), Lines{"out.txt"});
}

TEST_F(TextFileTest, DiscardLeavesTheTargetAndNoTemporaryFile) {
    dir_.write("keep.txt", "earlier");
    OutFile out;
    ASSERT_TRUE(out_open(out, dir_.file("keep.txt").c_str()));
    out_text(out, std::string(100000, 'z').c_str());
    out_discard_all();
    EXPECT_EQ(dir_.read("keep.txt"), "earlier");
    EXPECT_EQ(files(), Lines{"keep.txt"});
    out_discard(out);  // a second discard does nothing
    EXPECT_EQ(files(), Lines{"keep.txt"});
}

TEST_F(TextFileTest, RefusesFoldersAndOverlongNames) {
    OutFile out;
    EXPECT_FALSE(out_open(out, dir_.path().string().c_str()));
    std::string longname = dir_.file("x") + std::string(kMaxPath, 'y');
    EXPECT_FALSE(out_open(out, longname.c_str()));
    EXPECT_FALSE(out_open(out, dir_.file("no/such/folder/f").c_str()));
    EXPECT_EQ(files(), Lines{});
}

}  // namespace
}  // namespace vextal
