#include "app/driver.h"
#include "common/process.h"

int main(int argc, char** argv) {
    vextal::guard_standard_streams();
    vextal::buffer_standard_output();
    return vextal::run_program(argc, argv);
}
