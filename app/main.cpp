#include "process.h"
#include "settings.h"

int main(int argc, char** argv) {
    vextal::install_signal_handlers();
    vextal::take_arguments(argc, argv);
    return vextal::run_program(argc, argv);
}
