#include "console.h"

#include "platform.h"
#include "run_trace.h"
#include "text.h"

#include <utility>

namespace osa {

void open_console_input() { prepare_standard_streams(); }

std::optional<ConsoleLine> ConsoleInput::complete_line() {
    const auto lf = pending_.find('\n', searched_);
    if (lf == std::string::npos) {
        searched_ = pending_.size();
        return std::nullopt;
    }
    std::size_t end = lf;
    if (end > 0 && pending_[end - 1] == '\r') --end;
    ConsoleLine line{pending_.substr(0, end), ReadStatus::done};
    trace_bytes(TraceTag::from_gui, std::string_view(pending_).substr(0, lf + 1));
    pending_.erase(0, lf + 1);
    searched_ = 0;
    return line;
}

ConsoleLine ConsoleInput::last_line() {
    ended_ = true;
    searched_ = 0;
    if (!pending_.empty()) trace_bytes(TraceTag::from_gui, pending_);
    // A last line may end with a lone CR, which ends a line as LF does.
    if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
    return {std::exchange(pending_, {}), ReadStatus::end_of_input};
}

ConsoleLine ConsoleInput::read_line() {
    if (!kept_.empty()) {
        ConsoleLine line = std::move(kept_.front());
        kept_.pop_front();
        return line;
    }
    for (;;) {
        if (auto line = complete_line()) return std::move(*line);
        if (ended_ || !read_standard_input(pending_)) return last_line();
    }
}

std::vector<ConsoleLine> ConsoleInput::lines_now() {
    const bool more = !ended_ && read_standard_input(pending_);
    std::vector<ConsoleLine> lines = lines_held();
    if (!more) lines.push_back(last_line());
    return lines;
}

std::vector<ConsoleLine> ConsoleInput::lines_held() {
    std::vector<ConsoleLine> lines;
    while (auto line = complete_line()) lines.push_back(std::move(*line));
    return lines;
}

bool asks_to_quit(const ConsoleLine& input, std::string_view command) {
    return command == "quit" || (input.status == ReadStatus::end_of_input && command.empty());
}

// The GUI gets its bytes before the trace does.
void write_console(std::string_view text) {
    write_standard_output(text);
    trace_bytes(TraceTag::to_gui, text);
}

void write_console_line(std::string_view text) { write_console(with_crlf(text)); }

}  // namespace osa
