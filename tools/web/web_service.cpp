#include "web_service.h"

#include <algorithm>

namespace osa::board {

namespace {

// The page's log keeps this many of the latest commands and replies.
constexpr std::size_t log_length = 40;
// While the board computer thinks, its variation on the page is brought up to date this often.
constexpr std::int64_t variation_refresh_ms = 250;

}  // namespace

PageService::~PageService() {
    for (auto& unsent : unsent_)
        unsent.verdict.set_value({503, "the line went away before the board's report went out"});
}

void PageService::receive(std::string_view bytes, std::int64_t now_ms) {
    for (const auto& line : commands_.feed(bytes)) {
        note('>', line);
        closed_ = line == "CLOSE";
    }
    line_.receive(bytes, now_ms);
    publish(now_ms);
}

std::string PageService::due_output(std::int64_t now_ms) {
    std::string bytes = line_.due_output(now_ms);
    bytes += person_acts(given_ + bytes.size(), now_ms);
    given_ += bytes.size();
    if (!bytes.empty()) note('<', bytes);
    if (!bytes.empty() || refresh_due(now_ms)) publish(now_ms);
    return bytes;
}

void PageService::sent(std::size_t count) {
    sent_ += count;
    while (!unsent_.empty() && unsent_.front().end <= sent_) {
        unsent_.front().verdict.set_value(std::move(unsent_.front().answer));
        unsent_.pop_front();
    }
}

std::optional<std::int64_t> PageService::next_event_in(std::int64_t now_ms) const {
    const auto next = line_.next_event_in(now_ms);
    if (board_.computer_variation().empty()) return next;
    const auto refresh = std::max<std::int64_t>(0, published_ms_.value_or(now_ms) + variation_refresh_ms - now_ms);
    return next ? std::min(*next, refresh) : refresh;
}

// The reports follow the replies already due: the program reads a reply up to its end, and a
// report before it would be read as the reply. start: the bytes given to the line before them.
std::string PageService::person_acts(std::uint64_t start, std::int64_t now_ms) {
    std::string reports;
    for (auto& action : page_.take_actions()) {
        auto [answer, report] = judged(action);
        if (report.empty()) {
            action.verdict.set_value(std::move(answer));
            continue;
        }
        reports += report;
        unsent_.push_back({start + reports.size(), std::move(action.verdict), std::move(answer)});
    }
    if (!reports.empty()) trace_.reply(now_ms, reports);
    return reports;
}

PageService::Judged PageService::judged(const PersonAction& action) {
    if (!board_.waits_for_person()) return {{409, "the board is not waiting for the human's move"}};
    if (!action.move) {
        std::string report = board_.person_takes_back();
        if (report.empty()) return {{409, "the take-back is already reported for this move"}};
        return {{200, "take-back reported"}, std::move(report)};
    }
    const auto move = move_from_squares(board_.position(), *action.move);
    if (const auto* refusal = std::get_if<PageAnswer>(&move)) return {*refusal};
    const auto& legal = std::get<chess::Move>(move);
    return {{200, "move reported: " + chess::uci_text(legal)}, board_.person_moves(legal)};
}

void PageService::note(char direction, std::string_view bytes) {
    log_.push_back(log_line(direction, bytes));
    while (log_.size() > log_length) log_.pop_front();
}

// Besides the changes that commands and output bring, the session's first state, and the board
// computer's variation while it thinks.
bool PageService::refresh_due(std::int64_t now_ms) const {
    if (!published_ms_) return true;
    return !board_.computer_variation().empty() && now_ms - *published_ms_ >= variation_refresh_ms;
}

void PageService::publish(std::int64_t now_ms) {
    published_ms_ = now_ms;
    PageState state;
    state.fen = board_.position().fen();
    if (const auto entered = board_.last_entered_move()) state.last_move = chess::uci_text(*entered);
    state.interactive = page_.interactive();
    state.waiting = board_.waits_for_person();
    if (state.waiting) {
        state.takeback_allowed = board_.takeback_allowed();
        for (const auto& move : board_.position().legal_moves()) state.legal.push_back(chess::uci_text(move));
    }
    state.closed = closed_;
    const auto variation = board_.computer_variation();
    state.variation = variation_text(board_.position(), variation, MoveStyle());
    state.log.assign(log_.begin(), log_.end());
    page_.publish(state_json(state));
}

}  // namespace osa::board
