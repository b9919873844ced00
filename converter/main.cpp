// Dorvane: the board's own chess computer as a UCI engine.
#include "console.h"
#include "converter_loop.h"
#include "startup.h"

int main(int argc, char** argv) {
    osa::SerialLine line;
    const osa::Settings settings = osa::start_up(osa::Program::converter, argc, argv, line);
    try {
        osa::run_converter(line, settings);
    } catch (const osa::SerialLineLost& lost) {
        osa::write_console_line(std::string("info string ") + lost.what());
        return 1;
    }
    return 0;
}
