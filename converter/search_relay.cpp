#include "search_relay.h"

#include "board_dialogue.h"
#include "console.h"
#include "platform.h"
#include "pv_notation.h"
#include "search_report.h"

namespace osa {
namespace {

// The board needs this long between two questions about its search.
constexpr unsigned poll_interval_ms = 750;

void start_search(SerialLine& line, std::string& reply, SearchState& state) {
    reply.clear();
    send_command(line, state.last_move.size() >= 5 ? "MOVE " + state.last_move : std::string("PLAY"));
    collect_reply(line, reply);
    state.last_pv.clear();
    state.last_move.clear();
}

// One poll: the board's move once its final report has arrived, otherwise nothing.
std::optional<std::string> poll_search(SerialLine& line, std::string& reply, SearchState& state) {
    reply.clear();
    pause_ms(poll_interval_ms);
    drain_input(line);
    send_command(line, "SENDINFO");
    collect_reply(line, reply);
    const auto report = read_search_report(reply);
    if (!report) return std::nullopt;
    if (report->pv != state.last_pv) {
        write_console_line(state.uci_pv ? uci_info_line(*report, state.white_to_move) : info_line(*report));
        state.last_pv = report->pv;
    }
    if (!ends_search(*report)) return std::nullopt;
    return report->board_move;
}

}  // namespace

void run_search(SerialLine& line, std::string& reply, SearchState& state) {
    start_search(line, reply, state);
    std::optional<std::string> board_move;
    while (!board_move) board_move = poll_search(line, reply, state);
    reply.clear();
    send_command(line, "MOVE " + *board_move);
    collect_reply(line, reply);
    write_console_line("bestmove " + uci_move(*board_move, state.white_to_move));
    state.white_to_move = !state.white_to_move;
}

}  // namespace osa
