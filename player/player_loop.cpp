#include "player_loop.h"

#include "board_dialogue.h"
#include "console.h"
#include "fen_setup.h"
#include "move_exchange.h"
#include "move_notation.h"
#include "text.h"
#include "uci_commands.h"

namespace osa {
namespace {

void open_dialogue(SerialLine& line) {
    greet_board(line);
    send_command(line, "SENDINFO OFF");
    await_prompt(line);
    send_command(line, "BOARD ON");
    await_prompt(line);
}

// A human who played Black in the last game may play White in this one: the side is decided
// again by the first "go".
void begin_game(PlayerState& state) {
    state.new_game = true;
    state.black_side = false;
}

void handle_uci(SerialLine& line, PlayerState& state) {
    answer_uci(line, {"id name Quillrand V1.1", "id author Jorvik Tamsel"});
    begin_game(state);
}

void answer_isready() { write_console_line("readyok"); }

void handle_ucinewgame(SerialLine& line, PlayerState& state) {
    start_new_game(line);
    begin_game(state);
}

void switch_flip_on(PlayerState& state) { state.flip = 1; }

// The GUI repeats the whole game on every "position " line; the board already holds all but the
// last move, and a FEN position is set up only when it is new.
void take_position(SerialLine& line, PlayerState& state, std::string_view command) {
    PositionLine position = read_position_line(command);
    state.last_move = std::move(position.last_move);
    if (position.fen && *position.fen != state.last_fen) {
        state.last_fen = *position.fen;
        setup_position(line, state.last_fen, player_position_keyword);
    }
}

}  // namespace

void run_player(SerialLine& line, const Settings& settings) {
    open_dialogue(line);
    PlayerState state;
    state.flip = settings.flip;
    ConsoleInput console;
    for (;;) {
        const ConsoleLine input = console.read_line();
        const std::string command = trim_spaces(input.text);
        drain_input(line);
        if (command == "uci") handle_uci(line, state);
        if (command == "isready") answer_isready();
        if (command == "ucinewgame") handle_ucinewgame(line, state);
        if (command == "board") show_board(line);
        if (command == "flip") switch_flip_on(state);
        if (starts_with(command, "position ")) take_position(line, state, command);
        if (starts_with(command, "go")) exchange_moves(line, state);
        if (asks_to_quit(input, command)) return closing_step(line);
    }
}

}  // namespace osa
