// The one wait of the POSIX programs, and the ending signals that cut it short.
//
// Ending signals: the handler only sets a flag and writes one byte into a pipe of our own (the
// self-pipe); every wait polls that pipe beside its descriptors, so a signal wakes a wait at once
// wherever the program stands, and the program unwinds to its closing step from there.
#include "end_requested.h"
#include "internal.h"
#include "platform.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
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

// Milliseconds for poll(), rounded up so that a wait never ends before its deadline; -1 for none.
int poll_timeout(std::optional<WaitClock::time_point> deadline) {
    if (!deadline) return -1;
    const auto left = *deadline - WaitClock::now();
    if (left <= WaitClock::duration::zero()) return 0;
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

bool ready(const pollfd& watched) { return watched.fd >= 0 && watched.revents != 0; }

}  // namespace

void posix::throw_if_ended() {
    if (ended_from_outside) throw EndRequested("ended from outside");
}

void catch_ending_signals() {
    if (signal_pipe[0] < 0 && ::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action{};
    action.sa_handler = note_ending_signal;
    sigemptyset(&action.sa_mask);
    for (const int number : {SIGTERM, SIGHUP, SIGINT}) sigaction(number, &action, nullptr);
}

Woken wait_for(PortHandle port, bool console, std::optional<WaitClock::time_point> deadline) {
    pollfd watched[3] = {{signal_pipe[0], POLLIN, 0},
                         {static_cast<int>(port), POLLIN, 0},
                         {console ? STDIN_FILENO : -1, POLLIN, 0}};
    for (;;) {
        posix::throw_if_ended();
        const int count = ::poll(watched, 3, poll_timeout(deadline));
        // A poll that cannot be made hands over to the read, which reports the failure.
        if (count < 0 && errno != EINTR) return port >= 0 || !console ? Woken::serial_bytes : Woken::console_bytes;
        if (ready(watched[1])) return Woken::serial_bytes;
        if (ready(watched[2])) return Woken::console_bytes;
        if (count == 0 && deadline) return Woken::deadline;
    }
}

}  // namespace osa
