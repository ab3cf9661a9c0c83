// Text files as the program reads and writes them. Every line end written
// reaches the disk as CR LF on every platform, so that all builds write the
// same bytes; on reading, CR LF counts as one line feed.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "common/file_name.h"
#include "common/sys_file.h"

namespace vextal {

/// A line as read: at most 249 characters and the terminating NUL.
constexpr std::size_t kLineSize = 250;

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
    // Filled by reading, never read beyond `end`. Small on purpose: a file is
    // read through the same two pages again and again, where a buffer for the
    // whole file would have each of its pages set up by the system on first
    // use, which costs more than the further reads.
    std::array<char, 8192> buffer;
};

/// Opens `path` for reading; false if it cannot be opened or is a folder.
bool line_reader_open(LineReader& reader, const char* path);
/// Reads the next line into `line`: the characters up to and including the
/// next line feed, but never more than 249, NUL-terminated. A CR right before
/// a LF is dropped. Returns false, leaving `line` alone, when nothing is left
/// (a read error counts as the end of the file).
bool line_reader_next(LineReader& reader, char (&line)[kLineSize]);
/// The next line as line_reader_next reads it, with its length up to its
/// final NUL (a line may hold NULs before it), or nullptr when nothing is
/// left. A line that ends in CR LF is left in the reader's buffer, where it
/// is given, changed in place; it stays valid until the next read. Any other
/// line is copied into `line`.
const char* line_reader_take(LineReader& reader, char (&line)[kLineSize], std::size_t& length);
/// The bytes not read yet, at least `want` of them (up to the buffer's size)
/// unless the file ends first; returns their number and points `data` at
/// them. A caller that recognises whole lines there may take them with
/// line_reader_skip; the view stays valid until the next read.
std::size_t line_reader_view(LineReader& reader, std::size_t want, const char*& data);
/// Takes `count` bytes of the last view as read.
void line_reader_skip(LineReader& reader, std::size_t count);
void line_reader_close(LineReader& reader);

/// An output file. Its content goes to a staging file and reaches the
/// target's name only when the run commits it, so a failed run never leaves a
/// broken file nor destroys the earlier one. A symbolic link as the name is
/// followed and stays; a replaced file keeps its permission bits and owner.
struct OutFile {
    SysFile file = kNoFile;
    bool failed = false;
    int slot = -1;  // the output's slot in the file layer while it is pending
    std::size_t used = 0;
    std::array<char, 32768> buffer{};
};

/// Starts the output `target` and makes it pending. False when the name is
/// too long, the target is a folder or write-protected, or the staging file
/// cannot be created.
bool out_open(OutFile& out, const char* target);
/// Appends text; every '\n' in it is written as CR LF.
void out_text(OutFile& out, const char* text);
/// Appends `size` bytes of one line (no line feed among them), then the line
/// end CR LF.
void out_line(OutFile& out, const char* data, std::size_t size);
/// Appends `size` bytes unchanged.
void out_bytes(OutFile& out, const char* data, std::size_t size);
/// Writes what is buffered and closes the staging file; false if any write or
/// the close failed.
bool out_close(OutFile& out);
/// Puts this one closed output in place; false on failure (the target then
/// holds its earlier bytes and the output stays pending).
bool out_commit(OutFile& out);
/// Puts every pending output in place, all together: if any of them is still
/// open, failed to write, or cannot be put in place, those already put in
/// place get their earlier bytes back, every pending output is discarded and
/// false is returned. To commit only some outputs of a run, discard the others
/// first. No output pending counts as success.
bool out_commit_all();
/// Closes (if open) and removes the staging file; the target is untouched.
/// Safe to call twice.
void out_discard(OutFile& out);
/// Discards every pending output; the error exit calls this so that a failed
/// run leaves nothing behind.
void out_discard_all();
/// For a process ending on a signal: gives every target that is being or has
/// been replaced by an uncompleted commit its earlier bytes back and removes
/// every staging file. Async-signal-safe; the outputs stay as they are.
void out_abandon_all();

}  // namespace vextal
