#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "settings.h"
#include "text_file.h"

namespace vextal {

namespace {
ExitHandler exit_handler = nullptr;
}  // namespace

void set_exit_handler(ExitHandler handler) { exit_handler = handler; }

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
    std::fflush(stdout);
    // The message is written as it stands: a '%' in it is no format.
    console_puts(stderr, "Error: ");
    console_write(stderr, message, std::strlen(message));
    console_puts(stderr, "\n");
    end_process(exit_code);
}

}  // namespace vextal
