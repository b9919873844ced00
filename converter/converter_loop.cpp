#include "converter_loop.h"

#include "board_dialogue.h"
#include "console.h"
#include "fen_setup.h"
#include "move_notation.h"
#include "search_relay.h"
#include "text.h"
#include "uci_commands.h"

namespace osa {
namespace {

struct LoopState {
    std::string reply;
    std::string last_fen;
    SearchState search;
};

void open_dialogue(SerialLine& line, const std::string& level_text) {
    greet_board(line);
    send_command(line, "BOARD OFF");
    await_prompt(line);
    send_command(line, "SENDINFO OFF");
    await_prompt(line);
    if (level_text.size() == 2) {
        send_command(line, "SETLEVEL " + level_text);
        await_prompt(line);
    }
}

std::vector<std::string> identification(const Settings& settings) {
    if (settings.engine_name.empty() && settings.module_name.empty())
        return {"id name Dorvane V1.2", "id author Jorvik Tamsel"};
    std::string name = "id name " + settings.engine_name;
    if (!settings.module_name.empty()) name += " with " + settings.module_name;
    return {name};
}

// The GUI's own "setlevel" line goes to the board as it stands.
void handle_setlevel(SerialLine& line, LoopState& state, const std::string& command) {
    send_command(line, command);
    collect_reply(line, state.reply);
    write_console_line(state.reply);
}

// Only the GUI's newest move is kept; the board knows the game. A FEN goes to the board only
// when it differs from the last one handed over.
void handle_position(SerialLine& line, LoopState& state, const std::string& command) {
    const PositionLine position = read_position_line(command);
    state.search.last_move = position.last_move;
    state.search.white_to_move = white_to_move_after(command, position);
    if (position.fen && *position.fen != state.last_fen) {
        state.last_fen = *position.fen;
        setup_position(line, state.last_fen, converter_position_keyword);
    }
}

}  // namespace

void run_converter(SerialLine& line, const Settings& settings) {
    LoopState state;
    state.search.uci_pv = settings.uci_pv;
    open_dialogue(line, settings.level_text);
    ConsoleInput console;
    for (;;) {
        const ConsoleLine input = console.read_line();
        const std::string command = trim_spaces(input.text);
        state.reply.clear();
        drain_input(line);
        if (command == "uci") answer_uci(line, identification(settings));
        if (command == "isready") write_console_line("readyok");
        if (command == "ucinewgame") start_new_game(line);
        if (command == "board") show_board(line);
        if (starts_with(command, "setlevel")) handle_setlevel(line, state, command);
        if (starts_with(command, "position ")) handle_position(line, state, command);
        if (starts_with(command, "go")) run_search(line, state.reply, state.search);
        if (asks_to_quit(input, command)) return closing_step(line);
    }
}

}  // namespace osa
