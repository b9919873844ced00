#include "fake_platform.h"

#include "platform.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

struct Script {
    std::string console;
    std::size_t console_read = 0;
    std::string board;
    std::size_t board_read = 0;
};

Script& script() {
    static Script instance;
    return instance;
}

}  // namespace

namespace fake_platform {

void load(std::string_view data) {
    const auto split = std::min(data.find('\0'), data.size());
    script() = Script{std::string(data.substr(0, split)), 0, std::string(data.substr(std::min(split + 1, data.size()))), 0};
}

}  // namespace fake_platform

namespace osa {

void prepare_standard_streams() {}

bool read_standard_input(std::string& into) {
    Script& s = script();
    if (s.console_read >= s.console.size()) return false;
    // Small pieces, so that lines arrive split as they do from a pipe.
    const std::size_t piece = std::min<std::size_t>(7, s.console.size() - s.console_read);
    into.append(s.console, s.console_read, piece);
    s.console_read += piece;
    return true;
}

void write_standard_output(std::string_view) {}

void catch_ending_signals() {}

WaitClock::time_point wait_clock_now() { return WaitClock::now(); }

// Nothing ever waits: a read finds its bytes at once, a pause is over at once.
Woken wait_for(PortHandle port, bool console, std::optional<WaitClock::time_point> deadline) {
    if (deadline) return Woken::deadline;
    return port >= 0 || !console ? Woken::serial_bytes : Woken::console_bytes;
}

std::string program_folder(const char*) { return {}; }

std::string device_for_port(unsigned long) { return "script"; }

OpenResult open_port(const std::string&, const SerialSettings&, PortHandle& port) {
    port = 0;
    return {};
}

void close_port(PortHandle) {}

void write_port(PortHandle, std::string_view) {}

PortRead read_port(PortHandle, std::size_t count, const std::function<void()>&) {
    Script& s = script();
    if (s.board_read >= s.board.size()) return {{}, "the board's script has ended"};
    const std::size_t piece = std::min(count, s.board.size() - s.board_read);
    std::string bytes = s.board.substr(s.board_read, piece);
    s.board_read += piece;
    return {std::move(bytes), {}};
}

std::int64_t port_pending_count(PortHandle) { return 0; }

}  // namespace osa
