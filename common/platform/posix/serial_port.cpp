// The serial port on POSIX: a terminal device described by termios (serial_termios.h).
//
// The device is opened non-blocking, so that the open never waits for a carrier, and stays so: a
// read takes what has arrived at once and waits only when nothing has, so that a board that
// answers quickly costs one system call per read (VMIN 1, VTIME 0 for the line). An exclusive
// flock keeps a second program off the device; TIOCEXCL does not hold against root.
// Pseudo-terminals have no modem lines, so raising DTR and lowering RTS may fail there: ignored.
#include "internal.h"
#include "platform.h"
#include "serial_termios.h"

#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace osa {
namespace {

OpenResult refused(OpenStatus status, int error) { return {status, error, std::strerror(error)}; }

// Another of our programs holding the device makes it "in use", as a missing device is.
OpenResult lock_device(int fd) {
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) return refused(open_no_device, errno);
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

PortRead lost(const std::string& reason) { return {{}, reason}; }

}  // namespace

std::string device_for_port(unsigned long port) { return device_path_for_port(port, process_environment); }

OpenResult open_port(const std::string& device, const SerialSettings& settings, PortHandle& port) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return refused(open_no_device, errno);
    OpenResult result = lock_device(fd);
    if (result.ok()) result = configure_device(fd, settings);
    if (result.ok()) port = fd;
    else ::close(fd);
    return result;
}

void close_port(PortHandle port) { ::close(static_cast<int>(port)); }

void write_port(PortHandle port, std::string_view bytes) { posix::write_all(static_cast<int>(port), bytes); }

// No port (-1) fails its read at once (EBADF) and so ends like a lost one.
PortRead read_port(PortHandle port, std::size_t count, const std::function<void()>& await_bytes) {
    std::string bytes(count, '\0');
    for (;;) {
        posix::throw_if_ended();
        const ssize_t got = ::read(static_cast<int>(port), bytes.data(), count);
        if (got > 0) {
            bytes.resize(static_cast<std::size_t>(got));
            return {std::move(bytes), {}};
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && posix::would_block(errno)) {
            await_bytes();
            continue;
        }
        if (got == 0) return lost("the serial line to the board has closed");
        return lost(std::string("the serial line to the board failed: ") + std::strerror(errno));
    }
}

std::int64_t port_pending_count(PortHandle port) {
    int waiting = 0;
    if (ioctl(static_cast<int>(port), FIONREAD, &waiting) != 0) return 0;
    return waiting;
}

}  // namespace osa
