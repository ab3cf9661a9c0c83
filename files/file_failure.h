// The file a run failed on and why, for the line that follows the error
// report: "<file>: <reason>".
#pragma once

namespace vextal {

/// Notes that `path` could not be opened, created, written or put in place,
/// for the reason the platform layer kept (sys_keep_failure). The first
/// failure noted stays: it is the one that ends the run.
void note_file_failure(const char* path);
/// Notes `path` with a reason of the program's own.
void note_file_failure(const char* path, const char* reason);

/// Ends the run as error_exit does with `message`, then writes the file and
/// the reason noted last as one more line on standard error.
[[noreturn]] void file_error_exit(const char* message);

}  // namespace vextal
