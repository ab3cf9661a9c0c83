// The list a run keeps in the lock file of each folder it writes into: how
// each of its outputs there goes in place, and, once all of them are, that
// they are. A run that dies where no handler runs (SIGKILL, a forced end, a
// power cut) leaves the list behind, and the next run that takes the
// folder's lock puts the folder back from it: all new where the list says
// every output was in place, all old otherwise. The records are the same on
// every platform; the lock file and the file operations are the platform's
// (folder_lock_posix.cpp, folder_lock_win32.cpp).
#pragma once

#include <cstddef>

#include "files/file_name.h"

namespace vextal {

/// Room for one record: its kind and four names.
inline constexpr std::size_t kJournalRecordSize = 4 * kMaxPath;
/// Room for a run's list (its outputs, a few staging names tried for each):
/// what recovery reads of one.
inline constexpr std::size_t kJournalSize = 16384;
using JournalRecord = char[kJournalRecordSize];

/// Builds the record noting, before the staging file `stage` is made, how the
/// output `name` goes in place: by a rename or written over (`in_place`),
/// with `backup` holding its earlier bytes where it `existed`. Returns its
/// size; 0 when it is too long to note.
std::size_t journal_output(JournalRecord& record, bool in_place, const char* stage,
                           const char* backup, bool existed, const char* name);
/// Builds the record noting that the backup of an output written over is whole.
std::size_t journal_kept(JournalRecord& record, const char* backup);
/// Builds the record noting that every output of the run is in place.
std::size_t journal_placed(JournalRecord& record);

/// Puts back, in the folder of the lock `lock`, the outputs that the list a
/// dead run left names, and says so in one line on standard error where
/// that changed anything. Only names inside the folder are touched, and of
/// staging and backup files only those named as this program names them.
void journal_recover(int lock, const char* list, std::size_t size);

// What putting back needs of the platform, on names in the lock's folder.
/// Removes the file `name`; true when there was one.
bool journal_remove(int lock, const char* name);
/// True when a file has the name `name`.
bool journal_exists(int lock, const char* name);
/// Renames `from` to `to`, replacing a file of that name; true when it did.
bool journal_rename(int lock, const char* from, const char* to);
/// Writes the bytes of `from` over `to`, which keeps its identity and links;
/// true when it did.
bool journal_copy_back(int lock, const char* from, const char* to);

}  // namespace vextal
