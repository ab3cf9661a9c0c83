#include "files/line_reader.h"

#include <cstring>

#include "files/file_failure.h"
#include "files/output_slots.h"

namespace vextal {

bool line_reader_open(LineReader& reader, const char* path) {
    FileIdentity identity;
    reader.file = sys_open_read(path, identity);
    reader.pos = reader.end = 0;
    reader.at_end = false;
    if (reader.file == kNoFile) {
        note_file_failure(path);
        return false;
    }
    sys_output_guard_input(identity);
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
        const void* lf = std::memchr(p, '\n', window);
        if (lf != nullptr) {
            const std::size_t k = static_cast<std::size_t>(static_cast<const char*>(lf) - p);
            const bool crlf = k > 0 && p[k - 1] == '\r';
            if (crlf || k < room) {
                const std::size_t body = crlf ? k - 1 : k;
                std::memcpy(line + n, p, body);
                n += body;
                line[n++] = '\n';
                line[n] = '\0';
                reader.pos += k + 1;
                return n;
            }
            // The line feed would be the 250th character: it starts the next line.
            std::memcpy(line + n, p, room);
            n += room;
            reader.pos += room;
            break;
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

LineReader::~LineReader() {
    line_reader_close(*this);
}

void line_reader_close(LineReader& reader) {
    if (reader.file != kNoFile) sys_close(reader.file);
    reader.file = kNoFile;
}

}  // namespace vextal
