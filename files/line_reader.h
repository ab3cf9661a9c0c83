// The line reader: a text file read line by line through a fixed buffer, in
// lines of at most 249 characters; CR LF counts as one line feed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "files/sys_file.h"

namespace vextal {

/// A line as read: at most 249 characters and the terminating NUL.
constexpr std::size_t kLineSize = 250;

/// Which bytes end a line.
enum class LineEnds : uint8_t {
    kLineFeed,  ///< LF and CR LF; a CR elsewhere is a character of the line
    kDetect,    ///< as kLineFeed, unless the file's first line end is a CR
                ///< alone (classic Mac text): then a CR alone ends lines too
};

/// A file read line by line through a fixed buffer.
struct LineReader {
    LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    /// Closes the file if the reader is left without line_reader_close.
    ~LineReader();

    SysFile file = kNoFile;
    std::size_t pos = 0;
    std::size_t end = 0;
    bool at_end = false;
    bool ends_undecided = false;  // kDetect before the first line end
    bool lone_cr_ends = false;    // a CR alone ends a line
    // Filled by reading, never read beyond `end`. Small on purpose: a file is
    // read through the same two pages again and again, where a buffer for the
    // whole file would have each of its pages set up by the system on first
    // use, which costs more than the further reads.
    std::array<char, 8192> buffer;
};

/// Opens `path` for reading; false if it cannot be opened or is a folder or
/// a device (the file and the reason are noted for the error report). A file
/// read is one that no output of the run may replace.
bool line_reader_open(LineReader& reader, const char* path, LineEnds ends = LineEnds::kLineFeed);
/// Reads the next line into `line`: the characters up to and including the
/// next line end, but never more than 249, NUL-terminated. The line end is
/// given as a LF whatever it was written as. Returns the line's length (it
/// may hold NUL bytes), or 0, leaving `line` alone, when nothing is left (a
/// read error counts as the end of the file).
std::size_t line_reader_next(LineReader& reader, char (&line)[kLineSize]);
/// Passes over the lines that hold nothing but their line end, from where
/// the reader stands; returns how many. Before kDetect has seen a line end it
/// passes over none.
uint64_t line_reader_skip_empty(LineReader& reader);
void line_reader_close(LineReader& reader);

}  // namespace vextal
