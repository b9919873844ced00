// POSIX side of the platform interface: standard streams, the serial device (termios) and pauses.
//
// Principles: the device is opened non-blocking so that open() never waits for a carrier, then
// switched back to blocking reads of at least one byte with no inter-byte timer (VMIN 1, VTIME 0).
// An exclusive flock keeps a second program off the device; TIOCEXCL does not hold against root.
// Pseudo-terminals have no modem lines, so raising DTR and lowering RTS may fail there: ignored.

#include "platform.h"
#include "posix_descriptor.h"
#include "serial_line.h"
#include "serial_settings.h"
#include "serial_termios.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

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

namespace {

std::optional<std::string> environment(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

// Another of our programs holding the device makes it "in use", as a missing device is.
int lock_and_block(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return open_no_device;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return open_unreadable;
    return open_ok;
}

int configure_device(int fd, const SerialSettings& settings) {
    termios line{};
    if (tcgetattr(fd, &line) != 0) return open_unreadable;
    if (!configure_termios(line, settings)) return open_bad_settings;
    if (tcsetattr(fd, TCSANOW, &line) != 0) return open_bad_settings;
    const int dtr = TIOCM_DTR;
    const int rts = TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &dtr);
    if (settings.rts_off) (void)ioctl(fd, TIOCMBIC, &rts);
    return open_ok;
}

}  // namespace

int SerialLine::open(std::string_view open_string) {
    close();
    const auto settings = parse_serial_open_string(open_string);
    if (!settings) return open_bad_settings;
    const std::string path = device_path_for_port(settings->port, environment);
    Descriptor device(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (device.get() < 0) return open_no_device;
    if (const int status = lock_and_block(device.get()); status != open_ok) return status;
    if (const int status = configure_device(device.get(), *settings); status != open_ok) return status;
    handle_ = device.release();
    return open_ok;
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
