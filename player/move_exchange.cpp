#include "move_exchange.h"

#include "board_dialogue.h"
#include "console.h"
#include "move_report.h"
#include "text.h"

namespace osa {
namespace {

// The board needs this long after "BOARD ON" before it takes the next command.
constexpr unsigned board_settling_ms = 1500;

// Whatever the board says while it settles is no answer to anything and is thrown away.
void finish_hand_over(SerialLine& line) {
    send_and_await(line, "BOARD ON");
    line.pause(board_settling_ms);
    drain_input(line);
    send_and_await(line, "NORMAL");
}

// The GUI's side moved first, so the human plays Black. The flip setting has the board play and
// take back before the GUI's move goes in. The move is used up here: a later "go" without a new
// "position " line does not enter it again.
void hand_over_with_flip(SerialLine& line, PlayerState& state) {
    state.new_game = false;
    state.black_side = true;
    send_and_await(line, "PLAY");
    send_and_await(line, "BOARD OFF");
    send_and_await(line, "TAKEBACK");
    send_and_await(line, "MOVE " + state.last_move);
    state.last_move.clear();
    finish_hand_over(line);
}

// The last move stays: a second "go" without a new "position " line enters it again.
void plain_hand_over(SerialLine& line, PlayerState& state) {
    if (state.new_game) {
        state.black_side = true;
        state.new_game = false;
    }
    send_and_await(line, "BOARD OFF");
    send_and_await(line, "MOVE " + state.last_move);
    finish_hand_over(line);
}

bool holds_a_move_to_enter(const PlayerState& state) { return state.last_move.size() > 4; }

// The board ends a move report with LF while the human plays Black, with ETB otherwise.
char move_terminator(bool black_side) { return black_side ? line_feed : end_of_reply; }
char other_terminator(bool black_side) { return black_side ? end_of_reply : line_feed; }

// After "Takeback" the rest of that report, up to the other terminator, is skipped and the next
// report read; "Takeback" is looked for only once.
std::string read_report(SerialLine& line, bool black_side) {
    const std::string report = collect_reply(line, move_terminator(black_side));
    if (!contains(report, "Takeback")) return report;
    await_prompt(line, other_terminator(black_side));
    return collect_reply(line, move_terminator(black_side));
}

// A report without a move would give the GUI a broken "bestmove"; the human's move comes in a
// later report, so the reports are read on until one holds it.
std::string read_human_move(SerialLine& line, bool black_side) {
    send_and_await(line, "ANALYSIS");
    auto move = uci_move_from_report(read_report(line, black_side), black_side);
    while (!move) move = uci_move_from_report(collect_reply(line, move_terminator(black_side)), black_side);
    return *move;
}

}  // namespace

void handle_go(SerialLine& line, PlayerState& state) {
    if (state.new_game && state.flip == 1 && holds_a_move_to_enter(state)) hand_over_with_flip(line, state);
    if (holds_a_move_to_enter(state)) plain_hand_over(line, state);
    const std::string move = read_human_move(line, state.black_side);
    state.new_game = false;
    write_console("bestmove ");
    write_console_line(move);
}

}  // namespace osa
