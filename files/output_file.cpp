#include "files/output_file.h"

#include <cstring>

#include "common/error_exit.h"
#include "files/file_failure.h"
#include "files/file_name.h"
#include "files/output_slots.h"

namespace vextal {

namespace {

// The pending outputs in the order they were opened; a commit and the error
// exit work through them.
std::array<OutFile*, kMaxOutputs> pending{};

void track(OutFile* out) {
    for (auto& slot : pending) {
        if (slot == nullptr) {
            slot = out;
            return;
        }
    }
}

void untrack(OutFile* out) {
    for (auto& slot : pending) {
        if (slot == out) slot = nullptr;
    }
}

void fail(OutFile& out) {
    if (!out.failed) note_file_failure(out.target.data());
    out.failed = true;
}

void flush(OutFile& out) {
    if (out.used > 0 && !out.failed && !sys_write_all(out.file, out.buffer.data(), out.used)) {
        fail(out);
    }
    out.used = 0;
}

bool ready(const OutFile& out) {
    return out.slot >= 0 && out.file == kNoFile && !out.failed;
}

// The output is in place: its staging file and the earlier bytes go.
void finish(OutFile& out) {
    output_release(out.slot);
    out.slot = -1;
    untrack(&out);
}

// The run ends early: on the error exit the pending outputs go; on a signal,
// the targets of an unfinished commit get their earlier bytes back and the
// staging files go, with system calls only.
void exit_cleanup(ExitPath path) {
    if (path == ExitPath::kSignal) {
        output_abandon_all();
    } else {
        out_discard_all();
    }
}

}  // namespace

bool out_open(OutFile& out, const char* target) {
    add_exit_cleanup(exit_cleanup);
    out_discard(out);
    out.failed = false;
    out.used = 0;
    const std::size_t length = std::strlen(target);
    if (length >= kMaxPath) return false;
    std::memcpy(out.target.data(), target, length + 1);
    out.slot = output_open(target, out.file);
    if (out.slot < 0) {
        note_file_failure(target);
        return false;
    }
    track(&out);
    return true;
}

void out_bytes(OutFile& out, const char* data, std::size_t size) {
    if (size <= out.buffer.size() - out.used) {  // the usual case: it fits
        std::memcpy(out.buffer.data() + out.used, data, size);
        out.used += size;
        return;
    }
    while (size > 0) {
        if (out.used == out.buffer.size()) flush(out);
        std::size_t room = out.buffer.size() - out.used;
        std::size_t chunk = size < room ? size : room;
        std::memcpy(out.buffer.data() + out.used, data, chunk);
        out.used += chunk;
        data += chunk;
        size -= chunk;
    }
}

void out_line(OutFile& out, const char* data, std::size_t size) {
    if (size + 2 <= out.buffer.size() - out.used) {  // the usual case: line and end fit
        char* p = out.buffer.data() + out.used;
        std::memcpy(p, data, size);
        p[size] = '\r';
        p[size + 1] = '\n';
        out.used += size + 2;
        return;
    }
    out_bytes(out, data, size);
    out_bytes(out, "\r\n", 2);
}

void out_text(OutFile& out, const char* text) {
    for (const char* p = text; *p != '\0';) {
        const char* nl = std::strchr(p, '\n');
        std::size_t len = nl ? static_cast<std::size_t>(nl - p) : std::strlen(p);
        out_bytes(out, p, len);
        if (!nl) break;
        out_bytes(out, "\r\n", 2);  // every line end as CR LF, on every platform
        p = nl + 1;
    }
}

bool out_close(OutFile& out) {
    if (out.file == kNoFile) return false;
    flush(out);
    if (!sys_close(out.file)) fail(out);
    out.file = kNoFile;
    return !out.failed;
}

bool out_commit_all() {
    bool ok = true;
    for (OutFile* out : pending) {
        if (out != nullptr && !ready(*out)) ok = false;
    }
    // Outputs whose earlier bytes can be restored go first, so that a device
    // or a pipe is written to only once everything else is in place.
    std::array<OutFile*, kMaxOutputs> put{};
    std::size_t count = 0;
    for (bool undoable : {true, false}) {
        for (OutFile* out : pending) {
            if (!ok || out == nullptr || output_undoable(out->slot) != undoable) continue;
            if (output_put(out->slot)) {
                put[count++] = out;
            } else {
                note_file_failure(out->target.data());
                ok = false;
            }
        }
    }
    if (!ok) {
        while (count > 0) output_undo(put[--count]->slot);
        out_discard_all();
        return false;
    }
    // Every output is in place: from here they stay, whatever happens while
    // their staging files and earlier bytes go.
    output_keep_all();
    for (OutFile* out : pending) {
        if (out != nullptr) finish(*out);
    }
    return true;
}

void out_discard(OutFile& out) {
    if (out.file != kNoFile) sys_close(out.file);
    out.file = kNoFile;
    if (out.slot >= 0) output_release(out.slot);
    out.slot = -1;
    untrack(&out);
}

void out_discard_all() {
    for (OutFile* out : pending) {
        if (out != nullptr) out_discard(*out);
    }
}

}  // namespace vextal
