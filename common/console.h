// Messages and progress lines for people. The program's texts are Latin-1
// bytes, and the names in them are UTF-8 where they are well-formed UTF-8
// (no message of the program's own is: its Latin-1 letters stand between
// ASCII letters). A terminal that expects UTF-8, or a Windows console
// whatever its code page, gets both in the form it shows right, while a file
// or a pipe receives the bytes unchanged.
#pragma once

#include <cstddef>
#include <cstdio>

namespace vextal {

/// Writes `length` bytes of Latin-1 text to `stream` (stdout or stderr).
void console_write(std::FILE* stream, const char* text, std::size_t length);
/// Writes a NUL-terminated Latin-1 text to `stream` (stdout or stderr).
void console_puts(std::FILE* stream, const char* text);

/// Whether a locale value (as in LC_ALL, LC_CTYPE or LANG) names the UTF-8
/// character set: "C.UTF-8", "de_DE.utf8", "en_US.UTF-8@euro".
bool locale_is_utf8(const char* value);

/// Converts Latin-1 text to UTF-8 into `out`, which holds at least twice
/// `length` bytes; returns the number of bytes written. Bytes that already
/// form a UTF-8 character are kept: a file name typed in a UTF-8 locale
/// shows as typed.
std::size_t latin1_to_utf8(const char* text, std::size_t length, char* out);

/// Converts text from `text[done]` on into the UTF-16 units a Windows
/// console shows, as many whole characters as fit in `room` units (at least
/// two): the same reading as latin1_to_utf8, a line end as CR LF. Advances
/// `done` past what it took; returns the number of units.
std::size_t console_units(const char* text, std::size_t length, std::size_t& done, char16_t* out,
                          std::size_t room);

// The platform half (console_posix.cpp, console_win32.cpp).

/// Whether `stream` (stdout or stderr) is a terminal or console, where a
/// person reads it, rather than a file or a pipe.
bool console_is_terminal(std::FILE* stream);

/// How a standard stream is to be written.
enum class ConsoleKind { kBytes, kUtf8Terminal, kWideConsole };
/// Finds out what `stream` (stdout or stderr) is connected to; asked once per
/// stream.
ConsoleKind console_kind(std::FILE* stream);
/// Writes text (as console_units reads it) to a stream of kind kWideConsole.
void console_write_wide(std::FILE* stream, const char* text, std::size_t length);

}  // namespace vextal
