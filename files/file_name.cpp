#include "files/file_name.h"

#include <cstring>

#include "common/error_exit.h"

namespace vextal {

void make_file_name(std::array<char, kMaxPath>& name, const char* prefix, const char* extension) {
    const std::size_t prefix_len = std::strlen(prefix);
    const std::size_t ext_len = std::strlen(extension);
    if (prefix_len + ext_len >= name.size()) error_exit("Dateiname zu lang.\n", kExitError);
    std::memcpy(name.data(), prefix, prefix_len);
    std::memcpy(name.data() + prefix_len, extension, ext_len + 1);
}

}  // namespace vextal
