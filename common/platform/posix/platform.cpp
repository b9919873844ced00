// POSIX side of the platform interface: standard streams, the serial device (termios) and pauses.
//
// Principles: the device is opened non-blocking so that open() never waits for a carrier, then
// switched back to blocking reads of at least one byte with no inter-byte timer (VMIN 1, VTIME 0).
// An exclusive flock keeps a second program off the device; TIOCEXCL does not hold against root.
// Pseudo-terminals have no modem lines, so raising DTR and lowering RTS may fail there: ignored.

#include "platform.h"
#include "serial_line.h"
#include "serial_settings.h"
#include "serial_termios.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace osa {

void prepare_standard_streams() { std::signal(SIGPIPE, SIG_IGN); }

bool read_standard_input(std::string& into) {
    char buffer[4096];
    for (;;) {
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

void pause_ms(unsigned milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

std::string device_for_port(unsigned long port) { return device_path_for_port(port, process_environment); }

namespace {

OpenResult refused(OpenStatus status, int error) { return {status, error, std::strerror(error)}; }

// Another of our programs holding the device makes it "in use", as a missing device is.
OpenResult lock_and_block(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refused(open_no_device, errno);
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refused(open_unreadable, errno);
    return {};
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
    OpenResult result = lock_and_block(fd);
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
    while (!bytes.empty()) {
        const ssize_t put = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

std::string SerialLine::read(std::size_t count) {
    std::string bytes(count, '\0');
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(handle_), bytes.data(), count);
        if (got > 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return bytes;
        }
        if (got < 0 && errno == EINTR) continue;
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
