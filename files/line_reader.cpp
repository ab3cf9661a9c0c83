#include "files/line_reader.h"

#include <cstring>

#include "files/file_failure.h"
#include "files/output_slots.h"

namespace vextal {

bool line_reader_open(LineReader& reader, const char* path, LineEnds ends) {
    FileIdentity identity;
    reader.file = sys_open_read(path, identity);
    reader.pos = reader.end = 0;
    reader.at_end = false;
    reader.ends_undecided = ends == LineEnds::kDetect;
    reader.lone_cr_ends = false;
    if (reader.file == kNoFile) {
        note_file_failure(path);
        return false;
    }
    output_guard_input(identity, reader.file);
    return true;
}

namespace {

// Makes at least `want` bytes available unless the file ends first.
void fill(LineReader& reader, std::size_t want) {
    if (reader.end - reader.pos >= want || reader.at_end) return;
    std::memmove(reader.buffer.data(), reader.buffer.data() + reader.pos, reader.end - reader.pos);
    reader.end -= reader.pos;
    reader.pos = 0;
    while (reader.end < want && !reader.at_end) {
        long n = sys_read(reader.file, reader.buffer.data() + reader.end,
                          reader.buffer.size() - reader.end);
        if (n <= 0) {
            reader.at_end = true;  // a read error ends the data like the end of the file
        } else {
            reader.end += static_cast<std::size_t>(n);
        }
    }
}

// Where the first line end among the `n` bytes at `p` stands: a LF, or a CR
// too where `cr` says so; `n` when there is none.
std::size_t find_end(const char* p, std::size_t n, bool cr) {
    const void* lf = std::memchr(p, '\n', n);
    std::size_t k = lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - p) : n;
    if (cr) {
        const void* c = std::memchr(p, '\r', k);
        if (c != nullptr) k = static_cast<std::size_t>(static_cast<const char*>(c) - p);
    }
    return k;
}

// The first line end of a kDetect file decides whether a CR alone ends lines.
void decide(LineReader& reader, bool lone_cr) {
    if (!reader.ends_undecided) return;
    reader.ends_undecided = false;
    reader.lone_cr_ends = lone_cr;
}

}  // namespace

std::size_t line_reader_next(LineReader& reader, char (&line)[kLineSize]) {
    if (reader.file == kNoFile) return 0;
    constexpr std::size_t kMax = kLineSize - 1;
    std::size_t n = 0;
    while (n < kMax) {
        // A CR needs the character after it in view: keep two available.
        if (reader.end - reader.pos < 2) {
            fill(reader, 2);
            if (reader.pos == reader.end) break;
        }
        const char* p = reader.buffer.data() + reader.pos;
        const std::size_t avail = reader.end - reader.pos;
        const std::size_t room = kMax - n;
        // CR LF takes two bytes for one character: look one byte further.
        const std::size_t window = avail < room + 1 ? avail : room + 1;
        const bool cr_ends = reader.lone_cr_ends || reader.ends_undecided;
        const std::size_t k = find_end(p, window, cr_ends);
        if (k < window) {
            // Where a CR ends lines it is found first, so a CR before a LF
            // found here belongs to it only where it does not.
            const bool crlf_at_lf = p[k] == '\n' && k > 0 && p[k - 1] == '\r';
            const std::size_t body = crlf_at_lf ? k - 1 : k;
            if (body >= room) {
                // The line end would be the 250th character: it starts the next line.
                std::memcpy(line + n, p, room);
                n += room;
                reader.pos += room;
                break;
            }
            std::size_t used = 1;
            if (p[k] == '\r') {
                if (k + 1 == avail && !reader.at_end) {
                    // The byte after the CR is still unread: look again with it.
                    std::memcpy(line + n, p, k);
                    n += k;
                    reader.pos += k;
                    continue;
                }
                const bool crlf = k + 1 < avail && p[k + 1] == '\n';
                used = crlf ? 2 : 1;
                decide(reader, !crlf);
            } else {
                decide(reader, false);
            }
            std::memcpy(line + n, p, body);
            n += body;
            line[n++] = '\n';
            line[n] = '\0';
            reader.pos += k + used;
            return n;
        }
        // No line end in view: take what fits, but keep back a final CR whose
        // line feed may still be unread.
        std::size_t take = avail < room ? avail : room;
        if (take == avail && p[take - 1] == '\r' && !reader.at_end) --take;
        std::memcpy(line + n, p, take);
        n += take;
        reader.pos += take;
    }
    if (n > 0) line[n] = '\0';
    return n;
}

uint64_t line_reader_skip_empty(LineReader& reader) {
    if (reader.file == kNoFile || reader.ends_undecided) return 0;
    uint64_t lines = 0;
    for (;;) {
        if (reader.end - reader.pos < 2) {
            fill(reader, 2);
            if (reader.pos == reader.end) return lines;
        }
        const char* p = reader.buffer.data() + reader.pos;
        const std::size_t avail = reader.end - reader.pos;
        std::size_t i = 0;
        while (i < avail) {
            // Long runs of one kind of line end go eight bytes at a time; a
            // run of CRs only where no LF follows its last one.
            if (avail - i > 8) {
                if (std::memcmp(p + i, "\n\n\n\n\n\n\n\n", 8) == 0) {
                    i += 8;
                    lines += 8;
                    continue;
                }
                if (std::memcmp(p + i, "\r\n\r\n\r\n\r\n", 8) == 0) {
                    i += 8;
                    lines += 4;
                    continue;
                }
                if (reader.lone_cr_ends && p[i + 8] != '\n' &&
                    std::memcmp(p + i, "\r\r\r\r\r\r\r\r", 8) == 0) {
                    i += 8;
                    lines += 8;
                    continue;
                }
            }
            if (p[i] == '\n') {
                ++i;
            } else if (p[i] == '\r' && i + 1 < avail && p[i + 1] == '\n') {
                i += 2;
            } else if (p[i] == '\r' && i + 1 < avail && reader.lone_cr_ends) {
                ++i;
            } else {
                break;
            }
            ++lines;
        }
        reader.pos += i;
        if (i == avail) continue;
        if (p[i] != '\r' || i + 1 < avail) return lines;
        // A CR as the last byte in view: the next byte, if any, says what it is.
        if (!reader.at_end) continue;
        if (reader.lone_cr_ends) {
            ++reader.pos;
            ++lines;
        }
        return lines;
    }
}

LineReader::~LineReader() {
    line_reader_close(*this);
}

void line_reader_close(LineReader& reader) {
    if (reader.file != kNoFile) sys_close(reader.file);
    reader.file = kNoFile;
}

}  // namespace vextal
