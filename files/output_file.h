// The output layer: every file the program writes goes through it. Content
// is staged and reaches the target's name only when the run commits it, all
// outputs of a run together; every line end written reaches the disk as CR
// LF on every platform, so that all builds write the same bytes.
#pragma once

#include <array>
#include <cstddef>

#include "files/file_name.h"
#include "files/sys_file.h"

namespace vextal {

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
    std::array<char, kMaxPath> target{};  // the name as given, for the error report
};

/// Starts the output `target` and makes it pending. False when the name is
/// too long, the target is a folder, write-protected or an input of the run,
/// or the staging file cannot be created. Every failure of an output (to
/// open, write, close or put it in place) is noted for the error report
/// (files/file_failure.h).
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
/// Puts every pending output in place, all together: if any of them is still
/// open, failed to write, or cannot be put in place, those already put in
/// place get their earlier bytes back, every pending output is discarded and
/// false is returned. To commit only some outputs of a run, discard the others
/// first. No output pending counts as success.
bool out_commit_all();
/// Closes (if open) and removes the staging file; the target is untouched.
/// Safe to call twice.
void out_discard(OutFile& out);
/// Discards every pending output. The error exit does this too, and a process
/// ending on a signal gives every target of an unfinished commit its earlier
/// bytes back and removes every staging file: the output layer registers
/// that clean-up (add_exit_cleanup) when the first output opens.
void out_discard_all();

}  // namespace vextal
