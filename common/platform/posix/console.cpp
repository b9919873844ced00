// Standard input and output of the POSIX programs: plain reads and writes of descriptors 0 and 1.
#include "internal.h"
#include "platform.h"

#include <cerrno>
#include <csignal>

#include <unistd.h>

namespace osa {

void prepare_standard_streams() { std::signal(SIGPIPE, SIG_IGN); }

bool read_standard_input(std::string& into) {
    char buffer[4096];
    for (;;) {
        (void)wait_for(no_port, true, std::nullopt);
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got > 0) {
            into.append(buffer, static_cast<std::size_t>(got));
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        return false;
    }
}

void write_standard_output(std::string_view bytes) { posix::write_all(STDOUT_FILENO, bytes); }

}  // namespace osa
