// The one write loop of the POSIX platform, for standard output and the serial port alike.
#include "internal.h"

#include <poll.h>
#include <unistd.h>

namespace osa::posix {
namespace {

// A full output queue drains at the line's speed; the wait for room is short and needs no deadline.
void await_room(int fd) {
    pollfd watched{fd, POLLOUT, 0};
    while (::poll(&watched, 1, -1) < 0 && errno == EINTR) {
    }
}

}  // namespace

void write_all(int fd, std::string_view bytes) {
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

}  // namespace osa::posix
