#include "console.h"

#include "platform.h"
#include "run_trace.h"
#include "text.h"

#include <utility>

namespace osa {

void open_console_input() { prepare_standard_streams(); }

ConsoleLine ConsoleInput::read_line() {
    std::size_t searched = 0;
    for (;;) {
        const auto lf = pending_.find('\n', searched);
        if (lf != std::string::npos) {
            std::size_t end = lf;
            if (end > 0 && pending_[end - 1] == '\r') --end;
            ConsoleLine line{pending_.substr(0, end), ReadStatus::done};
            trace_bytes(TraceTag::from_gui, std::string_view(pending_).substr(0, lf + 1));
            pending_.erase(0, lf + 1);
            return line;
        }
        searched = pending_.size();
        if (ended_ || !read_standard_input(pending_)) {
            ended_ = true;
            if (!pending_.empty()) trace_bytes(TraceTag::from_gui, pending_);
            // A last line may end with a lone CR, which ends a line as LF does.
            if (!pending_.empty() && pending_.back() == '\r') pending_.pop_back();
            return {std::exchange(pending_, {}), ReadStatus::end_of_input};
        }
    }
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
