#include "converter_loop.h"

#include "board_dialogue.h"
#include "console.h"
#include "text.h"

namespace osa {
namespace {

void open_dialogue(SerialLine& line, std::string& reply, const std::string& level_text) {
    greet_board(line, reply);
    send_command(line, "BOARD OFF");
    await_prompt(line);
    send_command(line, "SENDINFO OFF");
    await_prompt(line);
    if (level_text.size() == 2) {
        send_command(line, "SETLEVEL " + level_text);
        await_prompt(line);
    }
}

}  // namespace

void run_converter(SerialLine& line, const Settings& settings) {
    std::string reply;
    open_dialogue(line, reply, settings.level_text);
    for (;;) {
        const ConsoleLine input = read_console_line();
        const std::string command = trim_spaces(input.text);
        reply.clear();
        drain_input(line);
        // A GUI that closes the pipe without "quit" still gets the board closed properly.
        if (command == "quit" || (input.status == ReadStatus::end_of_input && command.empty())) closing_step(line);
    }
}

}  // namespace osa
