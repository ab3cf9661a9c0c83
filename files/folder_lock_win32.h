// The lock of a folder between runs on Windows (folder_lock_win32.cpp): a
// mutex named by the folder's identity, and a lock file in the folder that
// tells the next run what a run that died without its clean-up left half
// done.
#pragma once

#include <cstddef>

#include "files/sys_file.h"

namespace vextal {

/// Opens the lock of the folder `folder`, whose path is the first `length`
/// units of `path` (none: the current folder). False when none can be had.
bool folder_lock_open(const FileIdentity& folder, const wchar_t* path, std::size_t length,
                      SysFile& handle);
/// Takes the lock without waiting; false while another process holds it.
/// Having it, puts back what a dead holder left half done.
bool folder_lock_try(SysFile handle);
/// Notes, before the staging file `stage` is made, how the output `name` goes
/// in place: replaced or written over (`in_place`), with `backup` holding its
/// earlier bytes where it `existed`. Names are paths in the folder.
void folder_lock_note(SysFile handle, bool in_place, const wchar_t* stage, const wchar_t* backup,
                      bool existed, const wchar_t* name);
/// Notes that the backup of an output written over is whole.
void folder_lock_note_kept(SysFile handle, const wchar_t* backup);
/// Notes that every output of the run is in place.
void folder_lock_note_placed(SysFile handle);
/// Gives the lock up (removing the lock file where `held`) and closes it.
void folder_lock_close(SysFile handle, bool held);
/// Empties and removes the lock file of a held lock, for a process that ends
/// on a console event.
void folder_lock_drop(SysFile handle);

}  // namespace vextal
