// The table of pending outputs and the steps of each, the same on every
// platform; the file system work is in files/output_platform.h.
#include "files/output_slots.h"

#include "files/output_platform.h"

namespace vextal {

namespace {

// Staging names tried before an output gives up; a name is taken only where
// no file has it yet.
constexpr int kStageAttempts = 100;

OutputSlot slots[kMaxOutputs];
unsigned serial = 0;
// The outputs put so far are final (sys_output_keep_all); one flag for all
// of them, so that a signal never finds some kept and others not.
volatile OutputFlag keep_all = 0;

FileIdentity inputs[kMaxGuardedInputs];
int input_count = 0;

OutputSlot* slot_output(int slot) {
    if (slot < 0 || slot >= kMaxOutputs || slots[slot].state == OutputSlot::kFree) return nullptr;
    return &slots[slot];
}

// The staging file under the first name that no file has; kNoFile if none.
SysFile create_stage(int slot, OutputSlot& o) {
    for (int attempt = 0; attempt < kStageAttempts; ++attempt) {
        if (!sys_stage_name(slot, serial++)) break;
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

}  // namespace

void sys_output_guard_input(const FileIdentity& input) {
    if (sys_output_is_input(input) || input_count == kMaxGuardedInputs) return;
    inputs[input_count++] = input;
}

bool sys_output_is_input(const FileIdentity& target) {
    for (int i = 0; i < input_count; ++i) {
        if (inputs[i] == target) return true;
    }
    return false;
}

int sys_output_open(const char* target, SysFile& staging) {
    staging = kNoFile;
    int slot = 0;
    while (slot < kMaxOutputs && slots[slot].state != OutputSlot::kFree) ++slot;
    if (slot == kMaxOutputs) return -1;
    OutputSlot& o = slots[slot];
    o.stage = OutputSlot::kAbsent;
    o.backup = OutputSlot::kAbsent;
    o.state = OutputSlot::kStaged;
    SysFile fd = kNoFile;
    if (sys_target_open(slot, target)) fd = create_stage(slot, o);
    if (fd == kNoFile) {
        sys_output_release(slot);
        return -1;
    }
    staging = fd;
    return slot;
}

bool sys_output_undoable(int slot) {
    return slot_output(slot) != nullptr && sys_target_undoable(slot);
}

bool sys_output_put(int slot) {
    OutputSlot* p = slot_output(slot);
    if (p == nullptr || p->state != OutputSlot::kStaged) return false;
    OutputSlot& o = *p;
    keep_all = 0;
    bool ok = sys_target_keep(slot, o);
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

void sys_output_undo(int slot) {
    OutputSlot* o = slot_output(slot);
    if (o == nullptr || o->state != OutputSlot::kPut) return;
    sys_target_restore(slot, *o, false);
    o->state = OutputSlot::kStaged;
}

void sys_output_keep_all() {
    keep_all = 1;
}

void sys_output_release(int slot) {
    OutputSlot* o = slot_output(slot);
    if (o == nullptr) return;
    remove_files(slot, *o);
    sys_target_close(slot);
    o->state = OutputSlot::kFree;
}

void sys_output_abandon_all() {
    for (int slot = 0; slot < kMaxOutputs; ++slot) {
        OutputSlot& o = slots[slot];
        if (o.state == OutputSlot::kFree) continue;
        const bool kept = keep_all != 0 && o.state == OutputSlot::kPut;
        if (!kept && (o.state == OutputSlot::kPutting || o.state == OutputSlot::kPut)) {
            sys_target_restore(slot, o, true);
        }
        remove_files(slot, o);
    }
}

}  // namespace vextal
