#include "uci_commands.h"

#include "board_dialogue.h"
#include "console.h"
#include "text.h"

namespace osa {

void run_command_loop(SerialLine& line, const CommandHandler& handle) {
    ConsoleInput console;
    for (;;) {
        const ConsoleLine input = console.read_line();
        const std::string command = trim_spaces(input.text);
        drain_input(line);
        handle(command);
        if (asks_to_quit(input, command)) return closing_step(line);
    }
}

void answer_uci(SerialLine& line, const std::vector<std::string>& identification) {
    for (const std::string& text : identification) write_console_line(text);
    write_console_line("option name OwnBook type check default true");
    send_command(line, "NEWGAME");
    if (contains(collect_reply(line), "New Game")) write_console_line("uciok");
}

void start_new_game(SerialLine& line) { send_and_await(line, "NEWGAME"); }

void handle_isready() { write_console_line("readyok"); }

void handle_board(SerialLine& line) {
    send_command(line, "POSITION");
    write_console_line(collect_reply(line, end_of_reply, LineBreaks::keep));
}

}  // namespace osa
