// File names the program builds: a base and an extension, length checked.
#pragma once

#include <array>
#include <cstddef>

namespace vextal {

/// Longest file name the program builds, terminating NUL included.
constexpr std::size_t kMaxPath = 4096;

/// Builds the first `length` bytes of `base` followed by `extension` in
/// `name`. A name that does not fit ends the run with "Dateiname zu lang.".
void make_file_name(std::array<char, kMaxPath>& name, const char* base, std::size_t length,
                    const char* extension);

/// Builds `prefix` followed by `extension` in `name`; the extension is always
/// appended, also to a prefix that has one.
void make_file_name(std::array<char, kMaxPath>& name, const char* prefix, const char* extension);

/// Builds `base` with `extension` in `name`, appended only where the name
/// part of `base` does not end in it already ("sensor" and "sensor.c" both
/// give "sensor.c"; ".c", a hidden file's name, gives ".c.c").
void make_file_name_once(std::array<char, kMaxPath>& name, const char* base, const char* extension);

/// The length of `path` without the last extension of its own name part: a
/// point in a folder's name does not count, nor the leading point of a
/// hidden file's name ("run.csv" 3, "a.b/run" 7, ".profile" 8).
std::size_t without_extension(const char* path);

/// A name as the program's messages write it (sys_name_text), in room of
/// its own: `shown_name(path).text.data()` within a message's formatting.
struct ShownName {
    std::array<char, kMaxPath> text{};
};
ShownName shown_name(const char* name);

}  // namespace vextal
