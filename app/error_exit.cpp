#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings.h"
#include "text_file.h"

namespace vextal {

void error_exit(const char* message, int exit_code) {
    // Earlier calibrations stay untouched: the temporary files of a run that
    // fails are removed before the process ends.
    out_discard_all();
    std::fflush(stdout);
    // The message is written as it stands: a '%' in it is no format.
    std::fputs("Error: ", stderr);
    std::fwrite(message, 1, std::strlen(message), stderr);
    std::fputs("\n", stderr);
    std::exit(exit_code);
}

}  // namespace vextal
