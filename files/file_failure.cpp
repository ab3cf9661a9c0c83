#include "files/file_failure.h"

#include <cstring>

#include "common/error_exit.h"
#include "files/file_name.h"
#include "files/sys_file.h"

namespace vextal {
namespace {

// The name as the program writes names, a colon, a blank and the reason.
char failure[kMaxPath + 160] = {};

}  // namespace

void note_file_failure(const char* path, const char* reason) {
    // The first failure is the one that ends the run; what fails after it
    // (the clean-up of the other outputs) does not replace it.
    if (failure[0] != '\0') return;
    std::size_t n = sys_name_text(path, failure, kMaxPath);
    const std::size_t room = sizeof failure - n - 1;
    const std::size_t length = std::strlen(reason) < room - 2 ? std::strlen(reason) : room - 2;
    std::memcpy(failure + n, ": ", 2);
    std::memcpy(failure + n + 2, reason, length);
    failure[n + 2 + length] = '\0';
}

void note_file_failure(const char* path) {
    note_file_failure(path, sys_failure_reason());
}

void file_error_exit(const char* message) {
    error_exit(message, kExitError, failure[0] != '\0' ? failure : nullptr);
}

}  // namespace vextal
