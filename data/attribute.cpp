#include "data/attribute.h"

#include <cstring>

#include "text/numscan.h"

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

// The first occurrence of `name` (`len` > 0 characters) at or after `from`,
// as strstr finds it: a search for the first character and a comparison of
// the rest is cheaper on lines this short.
const char* find_text(const char* from, const char* name, std::size_t len) {
    for (const char* p = from;; ++p) {
        p = std::strchr(p, name[0]);
        if (p == nullptr) return nullptr;
        std::size_t i = 1;
        while (i < len && p[i] == name[i]) ++i;  // stops at the line's NUL too
        if (i == len) return p;
    }
}

}  // namespace

const char* find_attribute(const char* line, const char* name) {
    const std::size_t name_len = std::strlen(name);
    if (name_len == 0) return nullptr;
    const char* start = line;
    for (;;) {
        const char* hit = find_text(start, name, name_len);
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

bool read_double_attribute(const char* line, const char* name, double& target) {
    const char* value = find_attribute(line, name);
    if (value == nullptr) return false;
    target = text_to_double(value);
    return true;
}

bool read_int_attribute(const char* line, const char* name, int32_t& target) {
    const char* value = find_attribute(line, name);
    if (value == nullptr) return false;
    target = text_to_int(value);
    return true;
}

}  // namespace vextal
