#include "data/attribute.h"

#include <cstring>

#include "common/numscan.h"

namespace vextal {

namespace {

// Only the 52 ASCII letters: a byte above 127 never counts as a letter,
// whatever the locale says.
bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Blanks around the '=' are spaces only; a tab spoils the occurrence.
const char* skip_blanks(const char* p) {
    while (*p == ' ') ++p;
    return p;
}

}  // namespace

const char* find_attribute(const char* line, const char* name) {
    const std::size_t name_len = std::strlen(name);
    if (name_len == 0) return nullptr;
    const char* start = line;
    for (;;) {
        const char* hit = std::strstr(start, name);
        if (hit == nullptr) return nullptr;
        // An occurrence right at the search start is taken without the letter
        // test: that is how "nono='5'" finds its second "no".
        if (hit != start && is_letter(hit[-1])) {
            start = hit + 1;
            continue;
        }
        const char* p = skip_blanks(hit + name_len);
        if (*p == '=') {
            p = skip_blanks(p + 1);
            // Either quote opens the value; the closing one is never looked for.
            if (*p == '"' || *p == '\'') return p + 1;
        }
        // Always beyond `hit`, since the name is not empty: the search ends.
        start = p;
    }
}

int read_double_attribute(const char* line, const char* name, double& target) {
    const char* value = find_attribute(line, name);
    if (value == nullptr) return 0;
    target = text_to_double(value);
    return 1;
}

int read_int_attribute(const char* line, const char* name, int32_t& target) {
    const char* value = find_attribute(line, name);
    if (value == nullptr) return 0;
    target = text_to_int(value);
    return 1;
}

}  // namespace vextal
