#include "app/driver.h"

int main(int argc, char** argv) { return vextal::run_program(argc, argv); }
