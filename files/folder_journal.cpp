#include "files/folder_journal.h"

#include <cstring>

#include "common/console.h"

namespace vextal {

namespace {

// Record kinds; fields end with a NUL, as no name holds one.
constexpr char kOutputRecord = 'o';   // put in place by a rename
constexpr char kInPlaceRecord = 'w';  // written over the target
constexpr char kKeptRecord = 'k';     // the backup of one written over is whole
constexpr char kPlacedRecord = 'p';

// The fields of a record of each kind, the kind included.
int record_fields(char kind) {
    switch (kind) {
        case kOutputRecord:
        case kInPlaceRecord:
            return 5;
        case kKeptRecord:
            return 2;
        default:
            return 1;
    }
}

// Calls `f` with the fields of each whole record of the list; a record cut
// off by the death ends it.
template <typename F>
void each_record(const char* begin, const char* end, F f) {
    const char* fields[5];
    int count = 0;
    for (const char* p = begin; p < end;) {
        const char* nul =
            static_cast<const char*>(std::memchr(p, '\0', static_cast<std::size_t>(end - p)));
        if (nul == nullptr) return;
        fields[count++] = p;
        p = nul + 1;
        if (count == record_fields(fields[0][0])) {
            f(fields);
            count = 0;
        }
    }
}

// Adds a field, its NUL included, to the record being built at `n`.
void put_field(JournalRecord& record, std::size_t& n, const char* text) {
    const std::size_t size = std::strlen(text) + 1;
    if (n + size > sizeof record) {
        n = sizeof record + 1;  // too long to note: nothing is written
        return;
    }
    std::memcpy(record + n, text, size);
    n += size;
}

std::size_t finished(std::size_t n) {
    return n > kJournalRecordSize ? 0 : n;
}

// A name in the folder itself: the list names nothing elsewhere, whoever
// wrote it. The platform refuses what else its names cannot hold.
bool plain_name(const char* name) {
    return name[0] != '\0' && std::strchr(name, '/') == nullptr && std::strcmp(name, ".") != 0 &&
           std::strcmp(name, "..") != 0;
}

bool staging_name(const char* name) {
    return plain_name(name) && std::strncmp(name, "vextal-", 7) == 0;
}

// Puts back one output of a dead run; true when that changed the folder.
// `kept`: the backup of an output written in place is whole.
bool recover_output(int lock, bool placed, bool kept, const char* const* f) {
    const char* stage = f[1];
    const char* backup = f[2];
    const char* name = f[4];
    if (!staging_name(stage) || !staging_name(backup) || !plain_name(name)) return false;
    // A staging file still there was never put in place.
    const bool staged = journal_remove(lock, stage);
    bool changed = staged;
    if (!placed && f[0][0] == kInPlaceRecord) {
        changed = (kept && journal_copy_back(lock, backup, name)) || changed;
    } else if (!placed) {
        if (journal_exists(lock, backup)) {
            changed = journal_rename(lock, backup, name) || changed;
        } else if (f[3][0] == '0' && !staged) {
            changed = journal_remove(lock, name) || changed;
        }
    }
    // After the rename too: a put cut between its link and its rename left
    // both names on one file, and the rename kept both.
    return journal_remove(lock, backup) || changed;
}

}  // namespace

std::size_t journal_output(JournalRecord& record, bool in_place, const char* stage,
                           const char* backup, bool existed, const char* name) {
    const char kind[2] = {in_place ? kInPlaceRecord : kOutputRecord, '\0'};
    std::size_t n = 0;
    put_field(record, n, kind);
    put_field(record, n, stage);
    put_field(record, n, backup);
    put_field(record, n, existed ? "1" : "0");
    put_field(record, n, name);
    return finished(n);
}

std::size_t journal_kept(JournalRecord& record, const char* backup) {
    const char kind[2] = {kKeptRecord, '\0'};
    std::size_t n = 0;
    put_field(record, n, kind);
    put_field(record, n, backup);
    return finished(n);
}

std::size_t journal_placed(JournalRecord& record) {
    const char kind[2] = {kPlacedRecord, '\0'};
    std::size_t n = 0;
    put_field(record, n, kind);
    return finished(n);
}

void journal_recover(int lock, const char* list, std::size_t size) {
    const char* end = list + size;
    bool placed = false;
    each_record(list, end, [&](const char* const* f) {
        if (f[0][0] == kPlacedRecord) placed = true;
    });
    bool any = false;
    each_record(list, end, [&](const char* const* f) {
        if (f[0][0] != kOutputRecord && f[0][0] != kInPlaceRecord) return;
        bool kept = false;
        each_record(list, end, [&](const char* const* k) {
            if (k[0][0] == kKeptRecord && std::strcmp(k[1], f[2]) == 0) kept = true;
        });
        any = recover_output(lock, placed, kept, f) || any;
    });
    if (any) {
        console_puts(stderr, placed ? "A run that was killed left outputs here; all of them "
                                      "are its new ones now.\n"
                                    : "A run that was killed left outputs here; they are "
                                      "back as they were before it.\n");
    }
}

}  // namespace vextal
