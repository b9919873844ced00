#include "pty.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace osa::board {

namespace {

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what + ": " + std::strerror(errno)); }

}  // namespace

termios raw_settings(termios settings) {
    settings.c_iflag &=
        ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    settings.c_cflag |= CS8 | CREAD | CLOCAL;
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    return settings;
}

Pty::Pty() : master_(posix_openpt(O_RDWR | O_NOCTTY)) {
    if (master_.get() < 0) fail("posix_openpt");
    // The program started later must not inherit the master.
    if (fcntl(master_.get(), F_SETFD, FD_CLOEXEC) != 0) fail("fcntl");
    if (grantpt(master_.get()) != 0) fail("grantpt");
    if (unlockpt(master_.get()) != 0) fail("unlockpt");
    const char* name = ptsname(master_.get());
    if (name == nullptr) fail("ptsname");
    slave_path_ = name;
    slave_ = Descriptor(::open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave_.get() < 0) fail("open " + slave_path_);
    termios settings{};
    if (tcgetattr(slave_.get(), &settings) != 0) fail("tcgetattr");
    settings = raw_settings(settings);
    if (tcsetattr(slave_.get(), TCSANOW, &settings) != 0) fail("tcsetattr");
}

}  // namespace osa::board
