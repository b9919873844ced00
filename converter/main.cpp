// Dorvane: the board's own chess computer as a UCI engine.
#include "converter_loop.h"
#include "startup.h"

int main(int argc, char** argv) { return osa::run_program(osa::converter_profile(), argc, argv, osa::run_converter); }
