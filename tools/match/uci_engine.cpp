#include "uci_engine.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>

namespace osa::match {

namespace {

using Instant = std::chrono::steady_clock::time_point;

int remaining_ms(Instant deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    return std::max(0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
}

Instant after_ms(int ms) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); }

// A finished engine must not end the driver with SIGPIPE on the next write. Set before the start:
// the engine runs with it ignored as well.
board::Launch engine_launch(const std::string& command) {
    std::signal(SIGPIPE, SIG_IGN);
    // "exec" makes the engine itself the child, so that ending the child ends the engine; the
    // word after the line is the shell's name in its messages.
    return {.command = {"/bin/sh", "-c", "exec " + command, "sh"}, .pipes = true};
}

}  // namespace

UciEngine::UciEngine(const std::string& command) : child_(engine_launch(command)) {}

// After quit() nothing more is sent, and the engine's status is already known.
UciEngine::~UciEngine() { quit(0); }

// A write that fails finds the engine's input closed: the engine has ended, whether or not its
// output has been read to its end yet.
bool UciEngine::send(const std::string& line) {
    if (board::write_all(child_.input().get(), line + "\n")) return true;
    ended_ = true;
    return false;
}

std::optional<std::string> UciEngine::read_line(int timeout_ms) {
    const Instant deadline = after_ms(timeout_ms);
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        pollfd fd{child_.output().get(), POLLIN, 0};
        const int ready = ::poll(&fd, 1, remaining_ms(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[4096];
        const ssize_t n = ::read(child_.output().get(), chunk, sizeof chunk);
        if (n <= 0) {
            ended_ = true;
            return std::nullopt;
        }
        buffered_.append(chunk, static_cast<std::size_t>(n));
    }
}

std::optional<std::string> UciEngine::wait_for(const std::string& prefix, int timeout_ms) {
    const Instant deadline = after_ms(timeout_ms);
    while (auto line = read_line(remaining_ms(deadline))) {
        if (line->rfind(prefix, 0) == 0) return line;
    }
    return std::nullopt;
}

int UciEngine::quit(int grace_ms) {
    send("quit");
    child_.input() = board::Descriptor();
    return child_.wait_or_kill(grace_ms, SIGTERM);
}

}  // namespace osa::match
