#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "common/error_exit.h"
#include "common/process.h"

namespace vextal {

namespace {

// A command line holds at most 32767 UTF-16 units; each takes at most three
// UTF-8 bytes (a surrogate pair, two units, takes four).
constexpr std::size_t kArgumentBytes = 3 * 32768 + 32768;
constexpr std::size_t kMaxArguments = 16384;
char argument_bytes[kArgumentBytes];
char* arguments[kMaxArguments + 1];

// Runs on a thread of its own while the program goes on: the staging files
// go, the exit cleanups run, and the process ends with the code an
// interrupted console program ends with, before the main thread can put
// another output in place.
BOOL WINAPI on_console_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
        return FALSE;
    }
    run_exit_cleanups(ExitPath::kSignal);
    TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    return TRUE;
}

}  // namespace

// Windows hands out no small numbers for files and ports: a closed standard
// handle is never reused by CreateFile, so there is nothing to guard.
void guard_standard_streams() {}

// The C runtime's own choice stands: start-up cost is not measured there.
void buffer_standard_output() {}

// Writes to a closed pipe fail without a signal on Windows.
void prepare_signals() {}

void catch_ending_signals() {
    SetConsoleCtrlHandler(on_console_event, TRUE);
}

void take_arguments(int& argc, char**& argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return;
    std::size_t used = 0;
    bool ok = count > 0 && static_cast<std::size_t>(count) <= kMaxArguments;
    for (int i = 0; ok && i < count; ++i) {
        int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, argument_bytes + used,
                                    static_cast<int>(kArgumentBytes - used), nullptr, nullptr);
        ok = n > 0;
        arguments[i] = argument_bytes + used;
        used += static_cast<std::size_t>(n);
    }
    LocalFree(wide);
    // Should the wide command line not convert, the arguments stay as given.
    if (!ok) return;
    arguments[count] = nullptr;
    argc = count;
    argv = arguments;
}

}  // namespace vextal
