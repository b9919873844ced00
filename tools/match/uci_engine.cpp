#include "uci_engine.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>

#include "child.h"

namespace osa::match {

namespace {

using Instant = std::chrono::steady_clock::time_point;

int remaining_ms(Instant deadline) {
    const auto left = deadline - std::chrono::steady_clock::now();
    return std::max(0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(left).count()));
}

Instant after_ms(int ms) { return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms); }

void make_pipe(board::Descriptor& read_end, board::Descriptor& write_end) {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    for (int fd : ends) fcntl(fd, F_SETFD, FD_CLOEXEC);
    read_end = board::Descriptor(ends[0]);
    write_end = board::Descriptor(ends[1]);
}

}  // namespace

UciEngine::UciEngine(const std::string& command) {
    board::Descriptor child_in, child_out;
    make_pipe(child_in, to_engine_);
    make_pipe(from_engine_, child_out);
    // A finished engine must not end the driver with SIGPIPE on the next write.
    std::signal(SIGPIPE, SIG_IGN);
    // "exec" makes the engine itself the child, so that ending the child ends the engine.
    const std::string line = "exec " + command;
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        dup2(child_in.get(), STDIN_FILENO);
        dup2(child_out.get(), STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
}

UciEngine::~UciEngine() {
    if (pid_ > 0) quit(0);
}

bool UciEngine::send(const std::string& line) { return board::write_all(to_engine_.get(), line + "\n"); }

std::optional<std::string> UciEngine::read_line(int timeout_ms) {
    const Instant deadline = after_ms(timeout_ms);
    for (;;) {
        if (const auto end = buffered_.find('\n'); end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        pollfd fd{from_engine_.get(), POLLIN, 0};
        const int ready = ::poll(&fd, 1, remaining_ms(deadline));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return std::nullopt;
        char chunk[4096];
        const ssize_t n = ::read(from_engine_.get(), chunk, sizeof chunk);
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
    to_engine_ = board::Descriptor();
    const Instant deadline = after_ms(grace_ms);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (remaining_ms(deadline) == 0) {
            ::kill(pid_, SIGTERM);
            waitpid(pid_, &status, 0);
            break;
        }
        ::usleep(20'000);
    }
    pid_ = -1;
    return board::shell_status(status);
}

}  // namespace osa::match
