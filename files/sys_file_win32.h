// What the Windows file operations and the Windows output targets share:
// names in the wide-character form and the identity of a file.
#pragma once

#include <windows.h>

#include <cstddef>

#include "files/sys_file.h"

namespace vextal {

/// Room of a name in UTF-16 units: the longest UTF-8 name the program builds,
/// made a full path with the long-path prefix.
constexpr std::size_t kWideSize = 4096 + 1024;
/// Longest name part, in UTF-16 units, that the Windows file systems take.
constexpr std::size_t kMaxNamePart = 255;
/// The reason for a folder where a file is wanted, as on POSIX.
inline constexpr char kIsFolder[] = "Is a directory";

/// Gives a path too long for the plain form the "\\?\" form.
bool long_form(wchar_t (&path)[kWideSize]);
/// A program name as Windows takes it: UTF-8 converted, with the long-path
/// form where it needs it; bytes that are not UTF-8 in the ANSI code page.
bool to_wide(const char* name, wchar_t (&path)[kWideSize]);
/// Copies every byte of the file `from` over the file `to`, which keeps its
/// identity and so every name it has, through `buffer`; false on any error.
bool copy_file_over(const wchar_t* from, const wchar_t* to, char* buffer, DWORD size);
/// The identity of the file `info` describes.
FileIdentity identity_of(const BY_HANDLE_FILE_INFORMATION& info);

}  // namespace vextal
