#include "serve.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <ctime>
#include <utility>

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

using Nanoseconds = std::chrono::nanoseconds;

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

bool readable(int fd, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeout_ms) > 0;
}

class ServingLoop {
public:
    ServingLoop(int master_fd, LineService& service, Wire& wire, const Clock& clock, ServeEnds ends, GuiPipes gui)
        : master_(master_fd), service_(service), wire_(wire), clock_(clock), ends_(ends),
          gui_(std::move(gui)) {
        if (gui_.to_program.get() >= 0) fcntl(gui_.to_program.get(), F_SETFL, O_NONBLOCK);
    }

    void run() {
        do {
            send_due_output();
            pending_gui_ += service_.gui_input();
            close_finished_gui_input();
        } while (!service_.over(clock_()) && wait_and_handle());
    }

private:
    // One wait in poll and what it found; false when serving ends.
    bool wait_and_handle() {
        std::vector<pollfd> fds{{master_, POLLIN, 0}};
        const auto watch = [&fds](int fd, short events) {
            fds.push_back({fd, events, 0});
            return fds.size() - 1;
        };
        const auto stdin_at = ends_.stdin_fd >= 0 ? watch(ends_.stdin_fd, POLLIN) : 0;
        const auto exit_at = ends_.child_exit_fd >= 0 ? watch(ends_.child_exit_fd, POLLIN) : 0;
        const auto to_gui_at = !pending_gui_.empty() ? watch(gui_.to_program.get(), POLLOUT) : 0;
        const auto from_gui_at = gui_.from_program.get() >= 0 ? watch(gui_.from_program.get(), POLLIN) : 0;
        if (service_.wake_fd() >= 0) watch(service_.wake_fd(), POLLIN);  // handled by the next due output
        if (!wait(fds)) return false;
        if (exit_at && fds[exit_at].revents) return finish_after_exit();
        std::string ignored;
        if (stdin_at && fds[stdin_at].revents && !read_some(ends_.stdin_fd, ignored)) return false;
        if ((fds[0].revents & POLLIN) && !take_commands()) return false;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        if (to_gui_at && fds[to_gui_at].revents) write_gui_input();
        if (from_gui_at && fds[from_gui_at].revents) copy_gui_output();
        return true;
    }

    bool wait(std::vector<pollfd>& fds) {
        const auto timeout = next_timeout();
        timespec ts{};
        if (timeout) {
            ts.tv_sec = static_cast<time_t>(timeout->count() / 1'000'000'000);
            ts.tv_nsec = static_cast<long>(timeout->count() % 1'000'000'000);
        }
        return ::ppoll(fds.data(), fds.size(), timeout ? &ts : nullptr, nullptr) >= 0 || errno == EINTR;
    }

    // Until the service's next event or the wire's next byte, whichever comes first.
    std::optional<Nanoseconds> next_timeout() const {
        std::optional<Nanoseconds> timeout;
        if (const auto ms = service_.next_event_in(clock_()))
            timeout = std::chrono::milliseconds(std::clamp<std::int64_t>(*ms, 0, INT_MAX));
        if (const auto due = wire_.next_due()) {
            const auto wire_wait = std::max(Nanoseconds(0), *due - std::chrono::steady_clock::now());
            timeout = timeout ? std::min(*timeout, wire_wait) : wire_wait;
        }
        return timeout;
    }

    bool take_commands() {
        std::string bytes;
        if (!read_some(master_, bytes)) return false;
        service_.receive(bytes, clock_());
        return true;
    }

    // The program has ended: what it wrote last still counts, on the line and to the GUI.
    bool finish_after_exit() {
        while (readable(master_, 0) && take_commands()) {
        }
        while (gui_.from_program.get() >= 0 && readable(gui_.from_program.get(), 1000)) copy_gui_output();
        return false;
    }

    void send_due_output() {
        const std::string bytes = service_.due_output(clock_());
        if (!bytes.empty()) wire_.queue(bytes, std::chrono::steady_clock::now());
        const std::string due = wire_.take_due(std::chrono::steady_clock::now());
        if (!due.empty() && write_all(master_, due)) service_.sent(due.size());
    }

    void write_gui_input() {
        const ssize_t n = ::write(gui_.to_program.get(), pending_gui_.data(), pending_gui_.size());
        if (n > 0) pending_gui_.erase(0, static_cast<std::size_t>(n));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            pending_gui_.clear();  // the program no longer reads its input
            gui_.to_program = Descriptor();
        }
    }

    void close_finished_gui_input() {
        if (gui_.to_program.get() >= 0 && pending_gui_.empty() && service_.gui_input_finished())
            gui_.to_program = Descriptor();
    }

    void copy_gui_output() {
        std::string bytes;
        if (!read_some(gui_.from_program.get(), bytes)) {
            gui_.from_program = Descriptor();
            return;
        }
        write_all(STDOUT_FILENO, bytes);
        service_.gui_output(bytes, clock_());
    }

    int master_;
    LineService& service_;
    Wire& wire_;
    const Clock& clock_;
    ServeEnds ends_;
    GuiPipes gui_;
    std::string pending_gui_;
};

}  // namespace

void serve(int master_fd, LineService& service, Wire& wire, const Clock& clock, ServeEnds ends, GuiPipes gui) {
    ServingLoop(master_fd, service, wire, clock, ends, std::move(gui)).run();
}

}  // namespace osa::board
