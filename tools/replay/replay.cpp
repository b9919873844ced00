#include "replay.h"

#include <algorithm>
#include <utility>

#include "text.h"

namespace osa::board {

void StreamCheck::feed(std::string_view bytes) {
    for (const char c : bytes) {
        if (differs_) {
            if (!difference_whole()) received_line_ += c;
            continue;
        }
        received_line_ += c;
        if (matched_ == expected_.size() || expected_[matched_] != c) {
            differs_ = true;
            continue;
        }
        ++matched_;
        if (c == '\n') {
            ++line_number_;
            line_start_ = matched_;
            received_line_.clear();
        }
    }
}

int StreamCheck::lines() const {
    const auto ends = std::count(expected_.begin(), expected_.end(), '\n');
    const bool unfinished_last = !expected_.empty() && expected_.back() != '\n';
    return static_cast<int>(ends) + (unfinished_last ? 1 : 0);
}

LineDifference StreamCheck::difference() const {
    const auto end = expected_.find('\n', line_start_);
    const auto length = end == std::string::npos ? std::string::npos : end + 1 - line_start_;
    return {line_number_, expected_.substr(line_start_, length), received_line_};
}

namespace {

std::string joined(const std::vector<TraceEntry>& run, TraceTag tag) {
    std::string bytes;
    for (const auto& entry : run)
        if (entry.tag == tag) bytes += entry.bytes;
    return bytes;
}

}  // namespace

Replay::Replay(const std::vector<TraceEntry>& run, ReplayOptions options)
    : options_(options), commands_(joined(run, TraceTag::to_board)), uci_output_(joined(run, TraceTag::to_gui)) {
    anchor_ms_ = run.empty() ? 0 : run.front().ms;
    stretches_.push_back({0, anchor_ms_});
    std::vector<Step> board, gui;
    const auto close_stretch = [&] {
        steps_.insert(steps_.end(), board.begin(), board.end());
        steps_.insert(steps_.end(), gui.begin(), gui.end());
        board.clear();
        gui.clear();
    };
    std::size_t commands_end = 0;
    for (const auto& entry : run) {
        const std::size_t stretch = stretches_.size() - 1;
        if (entry.tag == TraceTag::to_board) {
            close_stretch();
            commands_end += entry.bytes.size();
            stretches_.push_back({commands_end, entry.ms});
        } else if (entry.tag == TraceTag::from_board) {
            board.push_back({stretch, true, entry.ms, entry.bytes});
        } else if (entry.tag == TraceTag::from_gui) {
            gui.push_back({stretch, false, entry.ms, entry.bytes});
        }
    }
    close_stretch();
}

void Replay::receive(std::string_view bytes, std::int64_t now_ms) {
    commands_.feed(bytes);
    if (commands_.differs() && !differs_since_) differs_since_ = now_ms;
    open_reached_stretches(now_ms);
}

void Replay::open_reached_stretches(std::int64_t now_ms) {
    while (opened_ < stretches_.size() && commands_.matched() >= stretches_[opened_].commands_end) {
        anchor_now_ = now_ms;
        anchor_ms_ = stretches_[opened_].ms;
        ++opened_;
    }
}

std::int64_t Replay::due_ms(const Step& step) const { return anchor_now_ + std::max<std::int64_t>(0, step.ms - anchor_ms_); }

// Bytes of a stretch that the program has already left behind go at once, untimed.
bool Replay::step_ready(const Step& step, std::int64_t now_ms) const {
    if (step.stretch >= opened_) return false;
    if (!step.board || !options_.timed || step.stretch + 1 < opened_) return true;
    return due_ms(step) <= now_ms;
}

std::string Replay::board_output(std::int64_t now_ms) {
    std::string bytes;
    while (!steps_.empty() && step_ready(steps_.front(), now_ms)) {
        const Step& step = steps_.front();
        if (!step.board) {
            gui_input_ += step.bytes;
        } else {
            bytes += step.bytes;
            if (step.stretch + 1 == opened_) {
                anchor_now_ = now_ms;
                anchor_ms_ = step.ms;
            }
        }
        steps_.pop_front();
    }
    return bytes;
}

std::string Replay::take_gui_input() { return std::exchange(gui_input_, {}); }

bool Replay::gui_input_finished() const {
    return gui_input_.empty() && std::none_of(steps_.begin(), steps_.end(), [](const Step& s) { return !s.board; });
}

void Replay::gui_output(std::string_view bytes, std::int64_t now_ms) {
    if (!options_.check_gui) return;
    uci_output_.feed(bytes);
    if (uci_output_.differs() && !differs_since_) differs_since_ = now_ms;
}

std::optional<std::int64_t> Replay::next_event_in(std::int64_t now_ms) const {
    if (differs_since_) return std::max<std::int64_t>(0, *differs_since_ + rest_of_line_ms - now_ms);
    if (steps_.empty() || steps_.front().stretch >= opened_) return std::nullopt;
    if (step_ready(steps_.front(), now_ms)) return 0;
    return due_ms(steps_.front()) - now_ms;
}

bool Replay::over(std::int64_t now_ms) const {
    if (!differs_since_) return false;
    const bool whole = commands_.differs() ? commands_.difference_whole() : uci_output_.difference_whole();
    return whole || now_ms >= *differs_since_ + rest_of_line_ms;
}

namespace {

std::string shown(const char* label, const std::string& bytes) { return std::string("  ") + label + ": " + escape_bytes(bytes) + "\n"; }

std::string differing(const StreamCheck& check, const std::string& what) {
    const auto d = check.difference();
    if (d.recorded.empty())
        return what + " " + std::to_string(d.number) + " is not in the recording, which ends after " + what + " " +
               std::to_string(check.lines()) + "\n" + shown("received", d.received);
    return what + " " + std::to_string(d.number) + " differs from the recording\n" + shown("recorded", d.recorded) +
           shown("received", d.received);
}

std::string missing(const StreamCheck& check, const std::string& ended, const std::string& what) {
    const auto d = check.difference();
    return ended + " before " + what + " " + std::to_string(d.number) + "\n" + shown("recorded", d.recorded) +
           (d.received.empty() ? "" : shown("received", d.received));
}

}  // namespace

std::string Replay::report() const {
    if (commands_.differs()) return differing(commands_, "command");
    if (options_.check_gui && uci_output_.differs()) return differing(uci_output_, "UCI output line");
    if (!commands_.complete()) return missing(commands_, "the program ended", "command");
    if (options_.check_gui && !uci_output_.complete()) return missing(uci_output_, "the UCI output ended", "line");
    return {};
}

bool Replay::complete() const { return commands_.complete() && steps_.empty(); }

void ReplayService::receive(std::string_view bytes, std::int64_t now_ms) {
    for (const auto& line : lines_.feed(bytes)) trace_.command(now_ms, line);
    replay_.receive(bytes, now_ms);
}

std::string ReplayService::due_output(std::int64_t now_ms) {
    std::string bytes = replay_.board_output(now_ms);
    if (!bytes.empty()) trace_.reply(now_ms, bytes);
    return bytes;
}

}  // namespace osa::board
