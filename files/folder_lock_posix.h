// The lock of a folder between runs on POSIX (folder_lock_posix.cpp): a lock
// file in the folder, which also tells the next run what a run that died
// without its clean-up left half done.
#pragma once

#include "files/sys_file.h"

namespace vextal {

/// Opens the lock of the folder `folder` (a handle that *at calls take):
/// its lock file, or, where none can be made, the folder itself. False when
/// neither can be had.
bool folder_lock_open(int folder, SysFile& handle);
/// Takes the lock without waiting; false while another process holds it.
/// Having it, puts back what a dead holder left half done.
bool folder_lock_try(SysFile handle);
/// Notes in the lock file, before the staging file `stage` is made, how the
/// output `name` goes in place: by a rename or written over (`in_place`),
/// with `backup` holding its earlier bytes where it `existed`.
void folder_lock_note(SysFile handle, bool in_place, const char* stage, const char* backup,
                      bool existed, const char* name);
/// Notes that the backup of an output written over is whole.
void folder_lock_note_kept(SysFile handle, const char* backup);
/// Notes that every output of the run is in place.
void folder_lock_note_placed(SysFile handle);
/// Gives the lock up (removing the lock file where `held`) and closes it.
void folder_lock_close(SysFile handle, bool held);
/// Removes the lock file of a held lock. Async-signal-safe.
void folder_lock_drop(SysFile handle);

}  // namespace vextal
