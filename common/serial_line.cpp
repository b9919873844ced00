#include "serial_line.h"

#include "platform.h"
#include "run_trace.h"
#include "text.h"

#include <string>

namespace osa {

OpenResult SerialLine::open(std::string_view open_string) {
    close();
    const auto settings = parse_serial_open_string(open_string);
    if (!settings) return {open_bad_settings, 0, "the open string breaks its grammar"};
    return open_device(device_for_port(settings->port), *settings);
}

// The board reads a command up to CR LF. Text and line end go out in one request, so that the
// board never sees a command without its end while the program does something else.
void SerialLine::write_line(std::string_view text) {
    const std::string line = with_crlf(text);
    write(line);
    trace_bytes(TraceTag::to_board, line);
}

void SerialLine::serve_held_console_lines() {
    if (console_reader_) console_reader_(ConsoleBytes::held);
}

bool SerialLine::await_bytes(std::optional<WaitClock::time_point> deadline) {
    serve_held_console_lines();
    for (;;) {
        switch (wait_for(handle_, static_cast<bool>(console_reader_), deadline)) {
        case Woken::console_bytes: console_reader_(ConsoleBytes::arrived); break;
        case Woken::serial_bytes: return true;
        case Woken::deadline: return false;
        }
    }
}

void SerialLine::await_read() {
    if (!silence_limit_) {
        await_bytes();
        return;
    }
    if (!await_bytes(wait_clock_now() + *silence_limit_))
        throw SerialLineLost("the board sent nothing for " + std::to_string(silence_limit_->count()) + " ms");
}

void SerialLine::pause(unsigned milliseconds) {
    serve_held_console_lines();
    const auto deadline = wait_clock_now() + std::chrono::milliseconds(milliseconds);
    while (wait_for(-1, static_cast<bool>(console_reader_), deadline) == Woken::console_bytes)
        console_reader_(ConsoleBytes::arrived);
}

}  // namespace osa
