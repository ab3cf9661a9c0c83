#include "common/error_exit.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/console.h"
#include "common/text_file.h"

namespace vextal {

namespace {
ExitHandler exit_handler = nullptr;
// Fixed storage, which a signal handler reads while the process may be adding
// to it.
void (*volatile exit_cleanups[kMaxExitCleanups])() = {};
volatile sig_atomic_t exit_cleanup_count = 0;
}  // namespace

void add_exit_cleanup(void (*cleanup)()) {
    for (sig_atomic_t i = 0; i < exit_cleanup_count; ++i) {
        if (exit_cleanups[i] == cleanup) return;
    }
    if (exit_cleanup_count >= kMaxExitCleanups) return;
    exit_cleanups[exit_cleanup_count] = cleanup;
    exit_cleanup_count = exit_cleanup_count + 1;
}

void run_exit_cleanups() {
    // Each is taken from the list before it runs, so that a signal arriving
    // during the error exit's clean-ups does not run one twice.
    while (exit_cleanup_count > 0) {
        const sig_atomic_t last = exit_cleanup_count - 1;
        void (*cleanup)() = exit_cleanups[last];
        exit_cleanup_count = last;
        if (cleanup != nullptr) cleanup();
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
    // Earlier calibrations stay untouched: the temporary files of a run that
    // fails are removed before the process ends.
    out_discard_all();
    // A port held exclusively is given back before the report, so that
    // whoever reads it can use the port at once.
    run_exit_cleanups();
    std::fflush(stdout);
    // The message is written as it stands: a '%' in it is no format.
    console_puts(stderr, "Error: ");
    console_write(stderr, message, std::strlen(message));
    console_puts(stderr, "\n");
    end_process(exit_code);
}

}  // namespace vextal
