// Quillrand: a human plays on the board inside a UCI GUI.
#include "console.h"
#include "player_loop.h"
#include "startup.h"

int main(int argc, char** argv) {
    osa::SerialLine line;
    const osa::Settings settings = osa::start_up(osa::Program::player, argc, argv, line);
    try {
        osa::run_player(line, settings);
    } catch (const osa::SerialLineLost& lost) {
        osa::write_console_line(std::string("info string ") + lost.what());
        return 1;
    }
    return 0;
}
