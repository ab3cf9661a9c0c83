// What the process sets up for itself before it does anything else.
#pragma once

namespace vextal {

/// Opens each standard stream that was closed at start (`vextal ... >&-`) on
/// the null device, so that no file or port the program opens later takes its
/// number and receives what the program prints.
void guard_standard_streams();

/// Gives standard output a fixed buffer, buffered by line on a terminal and
/// in blocks elsewhere as the C library would choose, so that the first
/// message does not set up the heap for one. Call before any output.
void buffer_standard_output();

/// Sets up at start what signals do before anything is pending: a write to a
/// pipe whose reader has gone, or beyond the file size limit, fails like a
/// write to a full disk instead of ending the process (POSIX; nothing to do
/// on Windows).
void prepare_signals();

/// Makes the process end cleanly on every signal whose default action ends
/// it (on Windows Ctrl-C, Ctrl-Break and a closed console window): the exit
/// clean-ups run, which undo an unfinished commit and release the port, and
/// the process then ends as the signal would have ended it. A signal that
/// was ignored at start stays ignored. The first registered exit clean-up
/// calls this, so that a run with nothing to undo pays nothing for it.
void catch_ending_signals();

/// The arguments as the program reads them. On Windows they are taken from
/// the wide-character command line and given as UTF-8, so that every name
/// reaches the file system as the user typed it; on POSIX they stay as given.
void take_arguments(int& argc, char**& argv);

}  // namespace vextal
