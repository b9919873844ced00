#include "search_relay.h"

#include "board_dialogue.h"
#include "board_notation.h"
#include "console.h"
#include "pv_notation.h"
#include "search_report.h"

namespace osa {
namespace {

// The board needs this long between two questions about its search.
constexpr unsigned poll_interval_ms = 750;

// The board's replies to "PLAY" and "MOVE " are read and not looked at.
void start_search(SerialLine& line, SearchState& state) {
    send_and_await(line, state.last_move.size() >= 5 ? "MOVE " + state.last_move : std::string("PLAY"));
    state.last_pv.clear();
    state.last_move.clear();
}

// One poll: the board's move once its final report has arrived, otherwise nothing.
std::optional<std::string> poll_search(SerialLine& line, SearchState& state) {
    line.pause(poll_interval_ms);
    drain_input(line);
    send_command(line, "SENDINFO");
    const auto report = read_search_report(collect_reply(line));
    if (!report) return std::nullopt;
    if (report->pv != state.last_pv) {
        write_console_line(state.uci_pv ? uci_info_line(*report, state.white_to_move) : info_line(*report));
        state.last_pv = report->pv;
    }
    if (!ends_search(*report)) return std::nullopt;
    return report->board_move;
}

}  // namespace

void handle_go(SerialLine& line, SearchState& state) {
    start_search(line, state);
    std::optional<std::string> board_move;
    while (!board_move) board_move = poll_search(line, state);
    send_and_await(line, "MOVE " + *board_move);
    // A move that the board wrote in no form we know gives the null move rather than a broken line.
    write_console_line("bestmove " + uci_from_board_word(*board_move, state.white_to_move).value_or("0000"));
    state.white_to_move = !state.white_to_move;
}

}  // namespace osa
