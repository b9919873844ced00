#include "child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace osa::board {

namespace {

int exit_pipe_write = -1;
pid_t running_child = -1;

void on_child_exit(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(exit_pipe_write, &byte, 1);
    errno = saved;
}

// A GUI that ends its engine ends the process it started, the emulator; the program behind it
// must not linger without its board.
void pass_on_to_child(int signal_number) {
    if (running_child > 0) ::kill(running_child, signal_number);
}

void install(int signal_number, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigaction(signal_number, &action, nullptr);
}

}  // namespace

int shell_status(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return 1;
}

namespace {

// A pipe whose ends close in a started program: the child keeps only the end it dups.
std::pair<Descriptor, Descriptor> cloexec_pipe() {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    for (int fd : ends) fcntl(fd, F_SETFD, FD_CLOEXEC);
    return {Descriptor(ends[0]), Descriptor(ends[1])};
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& command, const std::string& variable,
                           const std::string& value, bool piped_gui) {
    int ends[2];
    if (::pipe(ends) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    exit_pipe_read_ = Descriptor(ends[0]);
    exit_pipe_write = ends[1];
    for (int fd : ends) fcntl(fd, F_SETFD, FD_CLOEXEC);
    fcntl(ends[1], F_SETFL, O_NONBLOCK);
    // Installed before the fork, so that an early exit of the child is not missed.
    install(SIGCHLD, on_child_exit, SA_RESTART | SA_NOCLDSTOP);
    setenv(variable.c_str(), value.c_str(), 1);

    std::vector<char*> argv;
    for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    std::pair<Descriptor, Descriptor> input, output;
    if (piped_gui) {
        input = cloexec_pipe();
        output = cloexec_pipe();
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (pid_ == 0) {
        if (piped_gui && (dup2(input.first.get(), STDIN_FILENO) < 0 || dup2(output.second.get(), STDOUT_FILENO) < 0))
            _exit(127);
        execvp(argv[0], argv.data());
        std::fprintf(stderr, "osa-emulator: cannot run %s: %s\n", argv[0], std::strerror(errno));
        _exit(127);
    }
    running_child = pid_;
    stdin_ = std::move(input.second);
    stdout_ = std::move(output.first);
    for (int forwarded : {SIGTERM, SIGHUP, SIGINT}) install(forwarded, pass_on_to_child, SA_RESTART);
}

int ChildProcess::wait() {
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) return 1;
    }
    return shell_status(status);
}

int ChildProcess::wait_or_kill(int timeout_ms) {
    int status = 0;
    for (int waited = 0; waited < timeout_ms; waited += 10) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) return shell_status(status);
        ::usleep(10'000);
    }
    ::kill(pid_, SIGKILL);
    return wait();
}

}  // namespace osa::board
