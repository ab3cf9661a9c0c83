// The few file operations that differ between POSIX and Windows, implemented
// once per platform (sys_file_posix.cpp, sys_file_win32.cpp). Names are UTF-8
// on Windows (converted to the wide-character form there) and bytes as given
// on POSIX.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vextal {

using SysFile = intptr_t;
constexpr SysFile kNoFile = -1;

/// What tells one file apart from every other: its volume and its number on
/// it, whatever the name or link it is reached by.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity&) const = default;
};

/// Opens an existing file for reading; a folder or a device does not count as
/// a file (a device is refused before it is opened: opening a serial port or
/// a console could wait for ever). Gives the file's identity.
SysFile sys_open_read(const char* path, FileIdentity& identity);
/// Reads up to `size` bytes; returns the count, 0 at the end, -1 on error.
long sys_read(SysFile file, void* buffer, std::size_t size);
/// Writes all `size` bytes; false on any error (disk full included).
bool sys_write_all(SysFile file, const void* data, std::size_t size);
/// Closes the file; false if the close reported an error.
bool sys_close(SysFile file);
/// A second handle of the open file, which keeps it (and its identity) for
/// as long as it stays open; kNoFile when none can be had.
SysFile sys_duplicate(SysFile file);
/// True if both names lead to one existing file (the same file under two
/// names, or through a link); false if either does not exist.
bool sys_same_file(const char* a, const char* b);
/// A number that tells this process apart from others running now.
unsigned sys_process_id();

/// Keeps the reason why the call just made failed, in English, for the report
/// of the file it concerns; a `reason` given stands for the system's.
void sys_keep_failure(const char* reason = nullptr);
/// The reason kept last; empty when none was.
const char* sys_failure_reason();

/// Whether `name` holds the ASCII text `part` anywhere, as the platform's
/// file names compare: exactly on POSIX, ignoring the case of letters on
/// Windows (where "D.MSM" and the short name "SENSOR~1.MSM" name a
/// measurement file too).
bool sys_name_holds(const char* name, const char* part);

/// The bytes that stand for `name` (UTF-8 on Windows) in text the program
/// writes, NUL-terminated in `out` and cut to fit; returns their count.
std::size_t sys_name_text(const char* name, char* out, std::size_t size);

}  // namespace vextal
