#include "common/error_exit.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/console.h"
#include "common/process.h"

namespace vextal {

namespace {
ExitHandler exit_handler = nullptr;
// Fixed storage, which a signal handler reads while the process may be adding
// to it.
volatile ExitCleanup exit_cleanups[kMaxExitCleanups] = {};
volatile sig_atomic_t exit_cleanup_count = 0;
}  // namespace

void add_exit_cleanup(ExitCleanup cleanup) {
    static bool catching = false;
    if (!catching) {
        catching = true;
        catch_ending_signals();
    }
    for (sig_atomic_t i = 0; i < exit_cleanup_count; ++i) {
        if (exit_cleanups[i] == cleanup) return;
    }
    if (exit_cleanup_count >= kMaxExitCleanups) return;
    exit_cleanups[exit_cleanup_count] = cleanup;
    exit_cleanup_count = exit_cleanup_count + 1;
}

void run_exit_cleanups(ExitPath path) {
    // Each leaves the list once it has run: a signal that arrives during the
    // error exit's clean-ups runs the unfinished one again (the interrupted
    // run never resumes, as the handler ends the process), and one that
    // arrives after them runs none twice.
    while (exit_cleanup_count > 0) {
        const sig_atomic_t last = exit_cleanup_count - 1;
        const ExitCleanup cleanup = exit_cleanups[last];
        if (cleanup != nullptr) cleanup(path);
        exit_cleanup_count = last;
    }
}

void set_exit_handler(ExitHandler handler) {
    exit_handler = handler;
}

void end_process(int exit_code) {
    if (exit_handler != nullptr) {
        exit_handler(exit_code);
    }
    std::exit(exit_code);
}

void error_exit(const char* message, int exit_code) {
    error_exit(message, exit_code, nullptr);
}

void error_exit(const char* message, int exit_code, const char* detail) {
    // Earlier outputs stay untouched, as the staging files of a run that fails
    // are removed, and a port held exclusively is given back before the
    // report, so that whoever reads it can use the port at once.
    run_exit_cleanups(ExitPath::kErrorExit);
    std::fflush(stdout);
    // The message is written as it stands: a '%' in it is no format.
    console_puts(stderr, "Error: ");
    console_write(stderr, message, std::strlen(message));
    console_puts(stderr, "\n");
    if (detail != nullptr) {
        console_write(stderr, detail, std::strlen(detail));
        console_puts(stderr, "\n");
    }
    end_process(exit_code);
}

}  // namespace vextal
