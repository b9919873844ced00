#include "console.h"

#include "platform.h"

namespace osa {
namespace {

// Bytes read from standard input that belong to lines not yet returned.
struct InputBuffer {
    std::string pending;
    bool ended = false;
};

InputBuffer& input() {
    static InputBuffer buffer;
    return buffer;
}

}  // namespace

void open_console_input() { prepare_standard_streams(); }

ConsoleLine read_console_line() {
    InputBuffer& in = input();
    std::size_t searched = 0;
    for (;;) {
        const auto lf = in.pending.find('\n', searched);
        if (lf != std::string::npos) {
            std::size_t end = lf;
            if (end > 0 && in.pending[end - 1] == '\r') --end;
            ConsoleLine line{in.pending.substr(0, end), ReadStatus::done};
            in.pending.erase(0, lf + 1);
            return line;
        }
        searched = in.pending.size();
        if (in.ended || !read_standard_input(in.pending)) {
            in.ended = true;
            ConsoleLine line{std::move(in.pending), ReadStatus::end_of_input};
            in.pending.clear();
            return line;
        }
    }
}

void write_console(std::string_view text) { write_standard_output(text); }

void write_console_line(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    write_standard_output(line);
}

}  // namespace osa
