#include "app/driver.h"
#include "common/process.h"

int main(int argc, char** argv) {
    vextal::guard_standard_streams();
    vextal::buffer_standard_output();
    vextal::prepare_signals();
    vextal::take_arguments(argc, argv);
    return vextal::run_program(argc, argv);
}
