// The few file operations that differ between POSIX and Windows. One file per
// platform implements them; everything above works on these alone. Names are
// UTF-8 on Windows (converted to the wide-character form here) and bytes as
// given on POSIX.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

using SysFile = intptr_t;
constexpr SysFile kNoFile = -1;

/// Opens an existing file for reading; a folder does not count as a file.
SysFile sys_open_read(const char* path);
/// Reads up to `size` bytes; returns the count, 0 at the end, -1 on error.
long sys_read(SysFile file, void* buffer, std::size_t size);
/// Writes all `size` bytes; false on any error (disk full included).
bool sys_write_all(SysFile file, const void* data, std::size_t size);
/// Closes the file; false if the close reported an error.
bool sys_close(SysFile file);
/// True if both names lead to one existing file (the same file under two
/// names, or through a link); false if either does not exist.
bool sys_same_file(const char* a, const char* b);
/// A number that tells this process apart from others running now.
unsigned sys_process_id();

// ---- outputs ----
// An output's content is written to a staging file first; only when the whole
// content exists does it go to the target's name, and the earlier bytes are
// kept until the output is released, so that a group of outputs can be put in
// place together or not at all.

/// Outputs that may be pending at the same time.
constexpr int kMaxOutputs = 8;

/// Starts an output for `target`: follows symbolic links to the file they
/// finally name, decides how the content will be put in place (replaced by a
/// rename, or written over an existing file that a rename would split off or
/// that cannot be renamed) and creates the staging file, whose handle goes to
/// `staging`. Returns the output's slot, or -1 when `target` may not be
/// written: a folder, a write-protected file, a name that is too long or a
/// folder that does not exist.
int sys_output_open(const char* target, SysFile& staging);
/// False when putting the output in place cannot be undone: a device or a
/// pipe keeps no earlier bytes.
bool sys_output_undoable(int slot);
/// Puts the closed staging file's content in place and keeps the earlier
/// bytes until the slot is released. On failure the target holds its earlier
/// bytes (as far as it is undoable) and false is returned.
bool sys_output_put(int slot);
/// Gives the target of a put output its earlier bytes back.
void sys_output_undo(int slot);
/// Removes the staging file and the kept earlier bytes and frees the slot.
void sys_output_release(int slot);
/// Undoes every output that is being put or has been put and removes every
/// staging and backup file, leaving the slots as they are: for a process that
/// ends on a signal. Async-signal-safe.
void sys_output_abandon_all();

/// The bytes that stand for `name` (UTF-8 on Windows) in text the program
/// writes, NUL-terminated in `out` and cut to fit; returns their count.
std::size_t sys_name_text(const char* name, char* out, std::size_t size);

}  // namespace vextal
