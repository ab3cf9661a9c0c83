// What the output slots (files/output_slots.cpp) need of the platform's file
// system: how a target is inspected and staged, how the content is put in
// place and undone, and how the staging and backup files are removed. One
// file per platform implements it, keeping its own record for each slot; the
// slot table itself sees nothing else.
#pragma once

#include <csignal>

#include "files/output_slots.h"

namespace vextal {

// A field that the code undoing outputs at the end of a process reads: a
// signal handler on POSIX, the console control handler's thread on Windows.
#ifdef _WIN32
using OutputFlag = long;  // LONG
#else
using OutputFlag = std::sig_atomic_t;
#endif

// The part of an output that the slot table keeps. Each field is set before
// the step it stands for can have an effect on the file system, so that the
// undoing code never misses a file that may exist.
struct OutputSlot {
    enum State : OutputFlag { kFree = 0, kStaged, kPutting, kPut };
    // How far a staging or backup file has got.
    enum FileState : OutputFlag { kAbsent = 0, kMaking, kComplete };

    volatile OutputFlag state = kFree;
    volatile OutputFlag stage = kAbsent;
    volatile OutputFlag backup = kAbsent;
};

enum class StageOutcome { kCreated, kNameTaken, kFailed };

/// The identity of the folder that holds the slot's target, as
/// sys_target_open found it; false when it cannot be known.
bool sys_folder_identity(int slot, FileIdentity& folder);
/// A handle for the lock of that folder between runs; false when no lock can
/// be had there, and the output is refused.
bool sys_folder_lock_open(int slot, const FileIdentity& folder, SysFile& handle);
/// Takes the folder's lock for this process without waiting; false while
/// another process holds it. Having it, puts back the outputs of a run that
/// died holding it without its clean-up.
bool sys_folder_try_lock(SysFile handle);
/// Notes with the held lock how the slot's output goes in place, before its
/// staging file is made, so that the next run can put it back.
void sys_folder_note(SysFile handle, int slot);
/// Notes with the held lock that the slot's earlier bytes are kept whole.
void sys_folder_note_kept(SysFile handle, int slot);
/// Notes with the held lock that every output of the run is in place.
void sys_folder_note_placed(SysFile handle);
/// Gives the folder's lock up where it is `held`, and closes its handle.
void sys_folder_unlock(SysFile handle, bool held);
/// Removes what shows the held lock to other runs, for a process that ends
/// on a signal. Async-signal-safe.
void sys_folder_drop(SysFile handle);
/// Pauses for `ms` milliseconds.
void sys_pause_ms(unsigned ms);

/// True when `target` is a file the run reads (output_guard_input): such
/// a target may not be written, and sys_target_open keeps kIsInput as why.
bool output_is_input(const FileIdentity& target);
inline constexpr char kIsInput[] = "the same file as an input of the run";

/// Takes `target` for the slot: finds the file it names and decides how the
/// content will be put in place. False when it may not be written. What it
/// holds is given back by sys_target_close, whether it succeeded or not.
bool sys_target_open(int slot, const char* target);
/// False when putting the content in place cannot be undone.
bool sys_target_undoable(int slot);
/// Keeps the target's earlier bytes where the put itself does not; marks the
/// backup in `o` as it goes. False on failure.
bool sys_target_keep(int slot, OutputSlot& o);
/// Puts the closed staging file's content in place; marks in `o` what it
/// changes. False on failure.
bool sys_target_place(int slot, OutputSlot& o);
/// Gives the target of a (partly) put output its earlier bytes back.
/// Async-signal-safe; `in_handler` when called while the process ends, so
/// that it does not share the interrupted code's buffers.
void sys_target_restore(int slot, OutputSlot& o, bool in_handler);
/// Releases what sys_target_open holds.
void sys_target_close(int slot);
/// Chooses the names of the staging and backup files from `serial`.
bool sys_stage_name(int slot, unsigned serial);
/// Creates the staging file under its chosen name; its handle goes to `staging`.
StageOutcome sys_stage_create(int slot, SysFile& staging);
/// Removes the staging file. Async-signal-safe.
void sys_stage_remove(int slot);
/// Removes the backup file. Async-signal-safe.
void sys_backup_remove(int slot);

}  // namespace vextal
