// The table of pending outputs and the steps of each, the same on every
// platform; the file system work is in files/output_platform.h.
#include "files/output_slots.h"

#include "common/console.h"
#include "files/output_platform.h"

namespace vextal {

namespace {

// Staging names tried before an output gives up; a name is taken only where
// no file has it yet.
constexpr int kStageAttempts = 100;

OutputSlot slots[kMaxOutputs];
unsigned serial = 0;
// The outputs put so far are final (output_keep_all); one flag for all
// of them, so that a signal never finds some kept and others not.
volatile OutputFlag keep_all = 0;

FileIdentity inputs[kMaxGuardedInputs];
int input_count = 0;

// Two runs that write into one folder at once take turns: each holds the
// folder's lock from its first output there until the last is released, so
// that outputs of the same names are never a mix of both. A run that finds
// a lock taken waits, saying so once after a second, and gives up when it has
// waited 30 seconds in all: a second output in a folder it gave up on fails
// at once rather than waiting again.
constexpr unsigned kLockPollMs = 10;
constexpr unsigned kLockNoticeMs = 1000;
constexpr unsigned kLockGiveUpMs = 30000;
unsigned lock_waited_ms = 0;  // of this run, over every folder
bool lock_notice_given = false;

struct FolderLock {
    FileIdentity folder;
    SysFile handle = kNoFile;
    int users = 0;  // outputs of this process in the folder
};
FolderLock folder_locks[kMaxOutputs];
int slot_lock[kMaxOutputs] = {-1, -1, -1, -1, -1, -1, -1, -1};
static_assert(kMaxOutputs == 8);

OutputSlot* slot_output(int slot) {
    if (slot < 0 || slot >= kMaxOutputs || slots[slot].state == OutputSlot::kFree) return nullptr;
    return &slots[slot];
}

// The staging file under the first name that no file has; kNoFile if none.
SysFile create_stage(int slot, OutputSlot& o) {
    for (int attempt = 0; attempt < kStageAttempts; ++attempt) {
        if (!sys_stage_name(slot, serial++)) break;
        if (slot_lock[slot] >= 0) sys_folder_note(folder_locks[slot_lock[slot]].handle, slot);
        o.stage = OutputSlot::kMaking;
        SysFile staging = kNoFile;
        const StageOutcome outcome = sys_stage_create(slot, staging);
        if (outcome == StageOutcome::kCreated) {
            o.stage = OutputSlot::kComplete;
            return staging;
        }
        o.stage = OutputSlot::kAbsent;
        if (outcome != StageOutcome::kNameTaken) break;
    }
    return kNoFile;
}

// Async-signal-safe.
void remove_files(int slot, OutputSlot& o) {
    if (o.stage != OutputSlot::kAbsent) sys_stage_remove(slot);
    if (o.backup != OutputSlot::kAbsent) sys_backup_remove(slot);
    o.stage = OutputSlot::kAbsent;
    o.backup = OutputSlot::kAbsent;
}

// Takes the lock of the slot's folder, or shares the one this process holds
// there. `taken` tells whether the lock was newly taken: another run may have
// held it first, or died holding it and had its outputs put back now. False
// when it could not be had in time.
bool lock_folder(int slot, bool& taken) {
    taken = false;
    FileIdentity folder;
    if (!sys_folder_identity(slot, folder)) return true;
    int free = -1;
    for (int i = 0; i < kMaxOutputs; ++i) {
        FolderLock& l = folder_locks[i];
        if (l.users > 0 && l.folder == folder) {
            ++l.users;
            slot_lock[slot] = i;
            return true;
        }
        if (l.users == 0 && free < 0) free = i;
    }
    SysFile handle = kNoFile;
    if (!sys_folder_lock_open(slot, folder, handle)) {
        sys_keep_failure("no lock against other runs can be had in the folder");
        return false;
    }
    taken = true;
    for (; !sys_folder_try_lock(handle); lock_waited_ms += kLockPollMs) {
        if (lock_waited_ms >= kLockNoticeMs && !lock_notice_given) {
            lock_notice_given = true;
            console_puts(stderr, "Another run is writing into the same folder; waiting for it.\n");
        }
        if (lock_waited_ms >= kLockGiveUpMs) {
            sys_folder_unlock(handle, false);
            sys_keep_failure("another run kept writing into the same folder");
            return false;
        }
        sys_pause_ms(kLockPollMs);
    }
    folder_locks[free] = {folder, handle, 1};
    slot_lock[slot] = free;
    return true;
}

void unlock_folder(int slot) {
    const int i = slot_lock[slot];
    slot_lock[slot] = -1;
    if (i < 0 || --folder_locks[i].users > 0) return;
    sys_folder_unlock(folder_locks[i].handle, true);
    folder_locks[i].handle = kNoFile;
}

// Finds the target and takes its folder's lock; where the lock is newly
// taken, the target is looked at again, as the run that held it before may
// have changed it.
bool open_target(int slot, const char* target) {
    bool taken = false;
    if (!sys_target_open(slot, target) || !lock_folder(slot, taken)) return false;
    if (!taken) return true;
    sys_target_close(slot);
    return sys_target_open(slot, target);
}

}  // namespace

void output_guard_input(const FileIdentity& input, SysFile file) {
    if (output_is_input(input) || input_count == kMaxGuardedInputs) return;
    // Where the file cannot be held, a file that takes its identity later may
    // be refused as an input: a refusal, never a replaced input.
    (void)sys_duplicate(file);
    inputs[input_count++] = input;
}

bool output_is_input(const FileIdentity& target) {
    for (int i = 0; i < input_count; ++i) {
        if (inputs[i] == target) return true;
    }
    return false;
}

int output_open(const char* target, SysFile& staging) {
    staging = kNoFile;
    int slot = 0;
    while (slot < kMaxOutputs && slots[slot].state != OutputSlot::kFree) ++slot;
    if (slot == kMaxOutputs) return -1;
    OutputSlot& o = slots[slot];
    o.stage = OutputSlot::kAbsent;
    o.backup = OutputSlot::kAbsent;
    o.state = OutputSlot::kStaged;
    SysFile fd = kNoFile;
    if (open_target(slot, target)) fd = create_stage(slot, o);
    if (fd == kNoFile) {
        output_release(slot);
        return -1;
    }
    staging = fd;
    return slot;
}

bool output_undoable(int slot) {
    return slot_output(slot) != nullptr && sys_target_undoable(slot);
}

bool output_put(int slot) {
    OutputSlot* p = slot_output(slot);
    if (p == nullptr || p->state != OutputSlot::kStaged) return false;
    OutputSlot& o = *p;
    keep_all = 0;
    bool ok = sys_target_keep(slot, o);
    if (ok && slot_lock[slot] >= 0)
        sys_folder_note_kept(folder_locks[slot_lock[slot]].handle, slot);
    o.state = OutputSlot::kPutting;
    if (ok) ok = sys_target_place(slot, o);
    if (!ok) {
        sys_target_restore(slot, o, false);
        o.state = OutputSlot::kStaged;
        return false;
    }
    o.state = OutputSlot::kPut;
    return true;
}

void output_undo(int slot) {
    OutputSlot* o = slot_output(slot);
    if (o == nullptr || o->state != OutputSlot::kPut) return;
    sys_target_restore(slot, *o, false);
    o->state = OutputSlot::kStaged;
}

void output_keep_all() {
    for (const FolderLock& l : folder_locks) {
        if (l.users > 0) sys_folder_note_placed(l.handle);
    }
    keep_all = 1;
}

void output_release(int slot) {
    OutputSlot* o = slot_output(slot);
    if (o == nullptr) return;
    remove_files(slot, *o);
    sys_target_close(slot);
    unlock_folder(slot);
    o->state = OutputSlot::kFree;
}

void output_abandon_all() {
    for (int slot = 0; slot < kMaxOutputs; ++slot) {
        OutputSlot& o = slots[slot];
        if (o.state == OutputSlot::kFree) continue;
        const bool kept = keep_all != 0 && o.state == OutputSlot::kPut;
        if (!kept && (o.state == OutputSlot::kPutting || o.state == OutputSlot::kPut)) {
            sys_target_restore(slot, o, true);
        }
        remove_files(slot, o);
    }
    for (const FolderLock& l : folder_locks) {
        if (l.users > 0) sys_folder_drop(l.handle);
    }
}

}  // namespace vextal
