// The table of output slots (output_slots.cpp, the same on every platform),
// on which the output layer stands.
#pragma once

#include "files/sys_file.h"

namespace vextal {

// An output's content is written to a staging file first; only when the whole
// content exists does it go to the target's name, and the earlier bytes are
// kept until the output is released, so that a group of outputs can be put in
// place together or not at all.

/// Outputs that may be pending at the same time.
constexpr int kMaxOutputs = 8;
/// Inputs of one run that its outputs may not replace.
constexpr int kMaxGuardedInputs = 8;

/// Marks a file the run reads, open as `file`: an output that leads to it, by
/// its name, a symbolic link or another hard link, cannot be opened. The file
/// stays open to the end of the process, so that its identity can never pass
/// to another file (an output of the run among them) once its name goes.
/// Further inputs beyond kMaxGuardedInputs are not marked.
void output_guard_input(const FileIdentity& input, SysFile file);

/// Starts an output for `target`: follows symbolic links to the file they
/// finally name, decides how the content will be put in place (replaced by a
/// rename, or written over an existing file that a rename would split off or
/// that cannot be renamed) and creates the staging file, whose handle goes to
/// `staging`. Returns the output's slot, or -1 when `target` may not be
/// written: a folder, a write-protected file, a name that is too long or a
/// folder that does not exist.
int output_open(const char* target, SysFile& staging);
/// False when putting the output in place cannot be undone: a device or a
/// pipe keeps no earlier bytes.
bool output_undoable(int slot);
/// Puts the closed staging file's content in place and keeps the earlier
/// bytes until the slot is released. On failure the target holds its earlier
/// bytes (as far as it is undoable) and false is returned.
bool output_put(int slot);
/// Gives the target of a put output its earlier bytes back.
void output_undo(int slot);
/// Marks the outputs put so far as final: from now on a process that ends on
/// a signal leaves them in place instead of undoing them. A group commit does
/// this once every output is in place, before it releases them one by one,
/// so that the group is all old or all new at every moment. The next put
/// starts a new group.
void output_keep_all();
/// Removes the staging file and the kept earlier bytes and frees the slot.
void output_release(int slot);
/// Undoes every output that is being put or has been put (unless kept) and
/// removes every staging and backup file, leaving the slots as they are: for
/// a process that ends on a signal. Async-signal-safe.
void output_abandon_all();

}  // namespace vextal
