// The few file operations that differ between POSIX and Windows. One file per
// platform implements them; everything above works on these alone.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

using SysFile = intptr_t;
constexpr SysFile kNoFile = -1;

/// Opens an existing file for reading; a folder does not count as a file.
SysFile sys_open_read(const char* path);
/// Creates a new file for writing; fails if the name exists.
SysFile sys_create_new(const char* path);
/// Reads up to `size` bytes; returns the count, 0 at the end, -1 on error.
long sys_read(SysFile file, void* buffer, std::size_t size);
/// Writes all `size` bytes; false on any error (disk full included).
bool sys_write_all(SysFile file, const void* data, std::size_t size);
/// Closes the file; false if the close reported an error.
bool sys_close(SysFile file);
/// Renames `from` over `to`, replacing a file of that name.
bool sys_replace(const char* from, const char* to);
/// Removes a file; errors are ignored.
void sys_remove(const char* path);
/// True if `path` may be written as a file: it does not exist, or it is a
/// file (not a folder) that may be written to.
bool sys_target_writable(const char* path);
/// True if both names lead to one existing file (the same file under two
/// names, or through a link); false if either does not exist.
bool sys_same_file(const char* a, const char* b);
/// A number that tells this process apart from others running now.
unsigned sys_process_id();

}  // namespace vextal
