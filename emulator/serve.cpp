#include "serve.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "pty.h"

namespace osa::board {

std::vector<std::string> LineSplitter::feed(std::string_view bytes) {
    std::vector<std::string> lines;
    for (char c : bytes) {
        if (c != '\r' && c != '\n') {
            partial_ += c;
            continue;
        }
        if (!partial_.empty()) lines.push_back(std::move(partial_));
        partial_.clear();
    }
    return lines;
}

namespace {

int poll_timeout(const Board& board) {
    const auto wait = board.next_event_in();
    if (!wait) return -1;
    return static_cast<int>(std::clamp<std::int64_t>(*wait, 0, INT_MAX));
}

// Reads what is waiting; false at end of file or on a lasting error.
bool read_some(int fd, std::string& bytes) {
    char buffer[512];
    ssize_t n;
    do {
        n = ::read(fd, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    bytes.assign(buffer, static_cast<std::size_t>(n));
    return true;
}

class Server {
public:
    Server(int master_fd, Board& board, Trace& trace, const Clock& clock)
        : master_(master_fd), board_(board), trace_(trace), clock_(clock) {}

    bool answer_commands() {
        std::string bytes;
        if (!read_some(master_, bytes)) return false;
        for (const auto& line : lines_.feed(bytes)) {
            trace_.command(clock_(), line);
            send(board_.handle(line));
        }
        return true;
    }

    void send_due_output() { send(board_.poll()); }

private:
    void send(const std::string& bytes) {
        if (bytes.empty()) return;
        trace_.reply(clock_(), bytes);
        write_all(master_, bytes);
    }

    int master_;
    Board& board_;
    Trace& trace_;
    const Clock& clock_;
    LineSplitter lines_;
};

}  // namespace

void serve(int master_fd, Board& board, Trace& trace, const Clock& clock, ServeEnds ends) {
    Server server(master_fd, board, trace, clock);
    std::vector<pollfd> fds{{master_fd, POLLIN, 0}};
    if (ends.stdin_fd >= 0) fds.push_back({ends.stdin_fd, POLLIN, 0});
    if (ends.child_exit_fd >= 0) fds.push_back({ends.child_exit_fd, POLLIN, 0});
    for (;;) {
        for (auto& fd : fds) fd.revents = 0;
        if (::poll(fds.data(), fds.size(), poll_timeout(board)) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            std::string ignored;
            if (fds[i].fd == ends.child_exit_fd || !read_some(fds[i].fd, ignored)) return;
        }
        if ((fds[0].revents & POLLIN) && !server.answer_commands()) return;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
        server.send_due_output();
    }
}

}  // namespace osa::board
