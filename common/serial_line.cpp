#include "serial_line.h"

#include "run_trace.h"
#include "text.h"

#include <string>
#include <utility>

namespace osa {

OpenResult SerialLine::open(std::string_view open_string) {
    close();
    const auto settings = parse_serial_open_string(open_string);
    if (!settings) return {open_bad_settings, 0, "the open string breaks its grammar"};
    return open_device(device_for_port(settings->port), *settings);
}

OpenResult SerialLine::open_device(const std::string& device, const SerialSettings& settings) {
    close();
    return open_port(device, settings, handle_);
}

void SerialLine::close() {
    if (handle_ != no_port) close_port(std::exchange(handle_, no_port));
}

void SerialLine::write(std::string_view bytes) { write_port(handle_, bytes); }

// The board reads a command up to CR LF. Text and line end go out in one request, so that the
// board never sees a command without its end while the program does something else.
void SerialLine::write_line(std::string_view text) {
    const std::string line = with_crlf(text);
    write(line);
    trace_bytes(TraceTag::to_board, line);
}

std::string SerialLine::read(std::size_t count) {
    PortRead got = read_port(handle_, count, [this] { await_read(); });
    if (!got.loss.empty()) throw SerialLineLost(got.loss);
    return std::move(got.bytes);
}

std::int64_t SerialLine::pending_count() { return port_pending_count(handle_); }

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
    while (wait_for(no_port, static_cast<bool>(console_reader_), deadline) == Woken::console_bytes)
        console_reader_(ConsoleBytes::arrived);
}

}  // namespace osa
