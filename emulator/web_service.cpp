#include "web_service.h"

namespace osa::board {

namespace {

// The page's log keeps this many of the latest commands and replies.
constexpr std::size_t log_length = 40;
// While the board computer thinks, its variation on the page is brought up to date this often.
constexpr std::int64_t variation_refresh_ms = 250;

}  // namespace

void PageService::receive(std::string_view bytes, std::int64_t now_ms) {
    for (const auto& line : commands_.feed(bytes)) note('>', line);
    line_.receive(bytes, now_ms);
}

std::string PageService::due_output(std::int64_t now_ms) {
    std::string bytes = person_acts(now_ms) + line_.due_output(now_ms);
    if (!bytes.empty()) note('<', bytes);
    publish();
    return bytes;
}

std::optional<std::int64_t> PageService::next_event_in(std::int64_t now_ms) const {
    auto next = line_.next_event_in(now_ms);
    if (board_.computer_variation().empty()) return next;
    return next ? std::min(*next, variation_refresh_ms) : variation_refresh_ms;
}

// The replies to the program's commands were queued before any action was taken, so a move
// made on the page never overtakes them on the line.
std::string PageService::person_acts(std::int64_t now_ms) {
    std::string bytes;
    for (auto& action : page_.take_actions()) bytes += judged(action);
    if (!bytes.empty()) trace_.reply(now_ms, bytes);
    return bytes;
}

std::string PageService::judged(PersonAction& action) {
    if (!board_.waits_for_person()) {
        action.verdict.set_value({409, "the board is not waiting for the human's move"});
        return {};
    }
    if (!action.move) {
        std::string report = board_.person_takes_back();
        action.verdict.set_value(report.empty() ? PageAnswer{409, "the take-back is already reported for this move"}
                                                : PageAnswer{200, "take-back reported"});
        return report;
    }
    const auto move = move_from_squares(board_.position(), *action.move);
    if (const auto* refusal = std::get_if<PageAnswer>(&move)) {
        action.verdict.set_value(*refusal);
        return {};
    }
    action.verdict.set_value({200, "move reported: " + chess::uci_text(std::get<chess::Move>(move))});
    return board_.person_moves(std::get<chess::Move>(move));
}

void PageService::note(char direction, std::string_view bytes) {
    log_.push_back(log_line(direction, bytes));
    while (log_.size() > log_length) log_.pop_front();
}

void PageService::publish() {
    PageState state;
    state.fen = board_.position().fen();
    if (const auto entered = board_.last_entered_move()) state.last_move = chess::uci_text(*entered);
    state.interactive = page_.interactive();
    state.waiting = board_.waits_for_person();
    if (state.waiting) {
        state.takeback_allowed = board_.takeback_allowed();
        for (const auto& move : board_.position().legal_moves()) state.legal.push_back(chess::uci_text(move));
    }
    const auto variation = board_.computer_variation();
    state.variation = variation_text(board_.position(), variation, MoveStyle());
    state.log.assign(log_.begin(), log_.end());
    page_.publish(state_json(state));
}

}  // namespace osa::board
