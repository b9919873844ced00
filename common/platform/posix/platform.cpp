// POSIX side of the platform interface: standard streams, the serial device (termios), the wait
// and the ending signals.
//
// Ending signals: the handler only sets a flag and writes one byte into a pipe of our own (the
// self-pipe); every wait polls that pipe beside its descriptors, so a signal wakes a wait at once
// wherever the program stands, and the program unwinds to its closing step from there.
//
// Principles: the device is opened non-blocking, so that open() never waits for a carrier, and
// stays so: a read takes what has arrived at once and waits in poll() only when nothing has, so
// that a board that answers quickly costs one system call per read (VMIN 1, VTIME 0 for the line).
// An exclusive flock keeps a second program off the device; TIOCEXCL does not hold against root.
// Pseudo-terminals have no modem lines, so raising DTR and lowering RTS may fail there: ignored.

#include "platform.h"
#include "serial_line.h"
#include "serial_settings.h"
#include "serial_termios.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace osa {
namespace {

volatile std::sig_atomic_t ended_from_outside = 0;
int signal_pipe[2] = {-1, -1};

extern "C" void note_ending_signal(int) {
    const int saved = errno;
    ended_from_outside = 1;
    const char byte = 1;
    // A full pipe already holds a wake-up; the byte is not needed then.
    (void)!::write(signal_pipe[1], &byte, 1);
    errno = saved;
}

void throw_if_ended() {
    if (ended_from_outside) throw EndRequested("ended from outside");
}

// Milliseconds for poll(), rounded up so that a wait never ends before its deadline; -1 for none.
int poll_timeout(std::optional<WaitClock::time_point> deadline) {
    if (!deadline) return -1;
    const auto left = *deadline - WaitClock::now();
    if (left <= WaitClock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

bool ready(const pollfd& watched) { return watched.fd >= 0 && watched.revents != 0; }

}  // namespace

void prepare_standard_streams() { std::signal(SIGPIPE, SIG_IGN); }

void catch_ending_signals() {
    if (signal_pipe[0] < 0 && ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action{};
    action.sa_handler = note_ending_signal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) sigaction(number, &action, nullptr);
}

Woken wait_for(std::intptr_t serial_handle, bool console, std::optional<WaitClock::time_point> deadline) {
    pollfd watched[3] = {{signal_pipe[0], POLLIN, 0},
                         {static_cast<int>(serial_handle), POLLIN, 0},
                         {console ? STDIN_FILENO : -1, POLLIN, 0}};
    for (;;) {
        throw_if_ended();
        const int count = ::poll(watched, 3, poll_timeout(deadline));
        // A poll that cannot be made hands over to the read, which reports the failure.
        if (count < 0 && errno != EINTR)
            return serial_handle >= 0 || !console ? Woken::serial_bytes : Woken::console_bytes;
        if (ready(watched[1])) return Woken::serial_bytes;
        if (ready(watched[2])) return Woken::console_bytes;
        if (count == 0 && deadline) return Woken::deadline;
    }
}

bool read_standard_input(std::string& into) {
    char buffer[4096];
    for (;;) {
        (void)wait_for(-1, true, std::nullopt);
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

void write_standard_output(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

std::string device_for_port(unsigned long port) { return device_path_for_port(port, process_environment); }

std::string program_folder(const char* started_as) {
    std::vector<char> path(4096);
    const ssize_t size = ::readlink("/proc/self/exe", path.data(), path.size());
    std::string program = size > 0 ? std::string(path.data(), static_cast<std::size_t>(size))
                                   : std::string(started_as != nullptr ? started_as : "");
    const auto slash = program.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : program.substr(0, slash);
}

namespace {

OpenResult refused(OpenStatus status, int error) { return {status, error, std::strerror(error)}; }

// Another of our programs holding the device makes it "in use", as a missing device is.
OpenResult lock_device(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refused(open_no_device, errno);
    return {};
}

bool would_block(int error) { return error == EAGAIN || error == EWOULDBLOCK; }

// A full output queue drains at the line's speed; the wait for room is short and needs no deadline.
void await_room(int fd) {
    pollfd watched{fd, POLLOUT, 0};
    while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
    }
}

OpenResult configure_device(int fd, const SerialSettings& settings) {
    termios line{};
    if (tcgetattr(fd, &line) != 0) return refused(open_unreadable, errno);
    if (!configure_termios(line, settings)) return {open_bad_settings, 0, "no such setting on this system"};
    if (tcsetattr(fd, TCSANOW, &line) != 0) return refused(open_bad_settings, errno);
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &dtr);
    if (settings.rts_off) (void)ioctl(fd, TIOCMBIC, &rts);
    return {};
}

}  // namespace

// The line holds the descriptor from the first step on, so that a failed later step closes it.
OpenResult SerialLine::open_device(const std::string& device, const SerialSettings& settings) {
    close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refused(open_no_device, errno);
    handle_ = fd;
    OpenResult result = lock_device(fd);
    if (result.ok()) result = configure_device(fd, settings);
    if (!result.ok()) close();
    return result;
}

void SerialLine::close() {
    if (handle_ < 0) return;
    ::close(static_cast<int>(handle_));
    handle_ = -1;
}

void SerialLine::write(std::string_view bytes) {
    const int fd = static_cast<int>(handle_);
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && would_block(errno)) {
            await_room(fd);
            continue;
        }
        if (put <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

// A closed line (descriptor -1) fails its read at once (EBADF) and so ends like a lost one.
std::string SerialLine::read(std::size_t count) {
    std::string bytes(count, '\0');
    for (;;) {
        throw_if_ended();
        const ssize_t got = ::read(static_cast<int>(handle_), bytes.data(), count);
        if (got > 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return bytes;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && would_block(errno)) {
            await_read();
            continue;
        }
        throw SerialLineLost(got == 0 ? "the serial line to the board has closed"
                                      : std::string("the serial line to the board failed: ") + std::strerror(errno));
    }
}

std::int64_t SerialLine::pending_count() {
    int waiting = 0;
    if (ioctl(static_cast<int>(handle_), FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

}  // namespace osa
