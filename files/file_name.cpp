#include "files/file_name.h"

#include <cstring>

#include "common/error_exit.h"
#include "files/sys_file.h"

namespace vextal {

void make_file_name(std::array<char, kMaxPath>& name, const char* base, std::size_t length,
                    const char* extension) {
    const std::size_t ext_len = std::strlen(extension);
    if (length + ext_len >= name.size()) error_exit("Dateiname zu lang.\n", kExitError);
    std::memcpy(name.data(), base, length);
    std::memcpy(name.data() + length, extension, ext_len + 1);
}

void make_file_name(std::array<char, kMaxPath>& name, const char* prefix, const char* extension) {
    make_file_name(name, prefix, std::strlen(prefix), extension);
}

void make_file_name_once(std::array<char, kMaxPath>& name, const char* base,
                         const char* extension) {
    const bool has_it = std::strcmp(base + without_extension(base), extension) == 0;
    make_file_name(name, base, has_it ? "" : extension);
}

std::size_t without_extension(const char* path) {
    const std::size_t len = std::strlen(path);
    std::size_t start = 0;
    for (std::size_t i = 0; i < len; ++i) {
        if (path[i] == '/' || path[i] == '\\') start = i + 1;
    }
    for (std::size_t i = len; i > start + 1; --i) {
        if (path[i - 1] == '.') return i - 1;
    }
    return len;
}

ShownName shown_name(const char* name) {
    ShownName shown;
    sys_name_text(name, shown.text.data(), shown.text.size());
    return shown;
}

}  // namespace vextal
