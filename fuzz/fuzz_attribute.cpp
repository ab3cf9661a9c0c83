// The attribute scanner on one line: every name the measurement file reader
// asks for, plus a name taken from the input itself.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "data/attribute.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vextal;
    // The first line of the input (up to a NUL or LF) names one more
    // attribute; the rest is the line to scan.
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t cut = text.find_first_of(std::string("\n\0", 2));
    std::string extra = cut == std::string::npos ? "no" : text.substr(0, cut);
    std::string line = cut == std::string::npos ? text : text.substr(cut + 1);
    const char* names[] = {"no", "stage", "psd", "max_range", "avg", "sn", extra.c_str()};
    for (const char* name : names) {
        if (*name == '\0') continue;
        const char* value = find_attribute(line.c_str(), name);
        if (value != nullptr) {
            // The value begins right after a quote inside the line.
            if (value <= line.c_str() || value > line.c_str() + std::strlen(line.c_str())) {
                __builtin_trap();
            }
            if (value[-1] != '\'' && value[-1] != '"') __builtin_trap();
        }
        int32_t i = 12345;
        double d = 0.5;
        const bool found_i = read_int_attribute(line.c_str(), name, i);
        const bool found_d = read_double_attribute(line.c_str(), name, d);
        if (found_i != (value != nullptr) || found_d != found_i) __builtin_trap();
        if (!found_i && (i != 12345 || d != 0.5)) __builtin_trap();
    }
    return 0;
}
