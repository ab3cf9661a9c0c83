// Lets a fuzz target survive the program's error exit: the exit becomes an
// exception that the target catches, so one input ends like one run.
#pragma once

#include "common/error_exit.h"

namespace vextal::fuzz {

struct RunEnded {
    int exit_code;
};

inline void install_exit_handler() {
    set_exit_handler([](int code) { throw RunEnded{code}; });
}

}  // namespace vextal::fuzz
