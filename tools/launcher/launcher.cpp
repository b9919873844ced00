#include "launcher.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace osa::board {

namespace {

int exit_pipe_write = -1;
pid_t served_child = -1;

void on_child_exit(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(exit_pipe_write, &byte, 1);
    errno = saved;
}

// A GUI that ends its engine ends the process it started; the program behind that process must
// not linger without it.
void pass_on_to_child(int signal_number) {
    if (served_child > 0) ::kill(served_child, signal_number);
}

void install(int signal_number, void (*handler)(int), int flags) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = flags;
    sigaction(signal_number, &action, nullptr);
}

// A program that never ran has ended as well, for the loop that polls the exit pipe.
void serve_child(pid_t pid, bool never_ran) {
    if (never_ran) on_child_exit(SIGCHLD);
    served_child = pid;
    for (int ending : {SIGTERM, SIGHUP, SIGINT}) install(ending, pass_on_to_child, SA_RESTART);
}

// Both ends close in the started program, which keeps only the copy made for it.
std::pair<Descriptor, Descriptor> cloexec_pipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    return {Descriptor(ends[0]), Descriptor(ends[1])};
}

// A signal alone cannot wake poll() without a race; a byte in a pipe can. Watched before the
// start, so that an early end is not missed.
Descriptor watch_child_exit() {
    auto [read_end, write_end] = cloexec_pipe();
    fcntl(write_end.get(), F_SETFL, O_NONBLOCK);
    exit_pipe_write = write_end.release();
    install(SIGCHLD, on_child_exit, SA_RESTART | SA_NOCLDSTOP);
    return std::move(read_end);
}

// The given variables replace this process's ones of the same name.
std::vector<std::string> environment_of(const Launch& launch) {
    std::vector<std::string> variables;
    for (char** entry = environ; launch.inherit_environment && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        if (!launch.environment.contains(std::string(text.substr(0, text.find('='))))) variables.emplace_back(text);
    }
    for (const auto& [name, value] : launch.environment) variables.push_back(name + "=" + value);
    return variables;
}

std::vector<char*> null_ended(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (auto& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// What posix_spawn does in the new process before the program runs.
class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawnattr_init(&attributes_);
        posix_spawn_file_actions_init(&actions_);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions_);
        posix_spawnattr_destroy(&attributes_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    void redirect(int fd, int standard_fd) { posix_spawn_file_actions_adddup2(&actions_, fd, standard_fd); }
    void change_folder(const std::string& path) { posix_spawn_file_actions_addchdir_np(&actions_, path.c_str()); }
    void default_sigpipe() {
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGPIPE);
        posix_spawnattr_setsigdefault(&attributes_, &signals);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGDEF);
    }
    // The errno of a failed start, else 0.
    int spawn(pid_t& pid, std::vector<std::string> command, std::vector<std::string> variables) {
        return posix_spawnp(&pid, command.front().c_str(), &actions_, &attributes_, null_ended(command).data(),
                            null_ended(variables).data());
    }

private:
    posix_spawnattr_t attributes_;
    posix_spawn_file_actions_t actions_;
};

}  // namespace

int shell_status(int wait_status) {
    if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
    if (WIFSIGNALED(wait_status)) return 128 + WTERMSIG(wait_status);
    return 1;
}

Child::Child(const Launch& launch) {
    if (launch.served) exit_pipe_ = watch_child_exit();
    SpawnSetup setup;
    std::pair<Descriptor, Descriptor> to_program, from_program;
    if (launch.pipes) {
        to_program = cloexec_pipe();
        from_program = cloexec_pipe();
        setup.redirect(to_program.first.get(), STDIN_FILENO);
        setup.redirect(from_program.second.get(), STDOUT_FILENO);
    }
    if (!launch.work_dir.empty()) setup.change_folder(launch.work_dir);
    if (launch.default_sigpipe) setup.default_sigpipe();
    start_error_ = setup.spawn(pid_, launch.command, environment_of(launch));
    input_ = std::move(to_program.second);
    output_ = std::move(from_program.first);
    if (start_error_ != 0) status_ = 127;
    if (launch.served) serve_child(pid_, start_error_ != 0);
}

// The moved-from object counts as ended, so that nothing waits for or signals its process.
Child::Child(Child&& other) noexcept
    : input_(std::move(other.input_)),
      output_(std::move(other.output_)),
      exit_pipe_(std::move(other.exit_pipe_)),
      pid_(std::exchange(other.pid_, -1)),
      start_error_(other.start_error_),
      status_(std::exchange(other.status_, 0)) {}

void Child::signal(int number) {
    if (!status_) ::kill(pid_, number);
}

// True once the status is known; false only with WNOHANG while the program runs.
bool Child::reap(int flags) {
    while (!status_) {
        int raw = 0;
        const pid_t done = ::waitpid(pid_, &raw, flags);
        if (done == pid_) status_ = shell_status(raw);
        else if (done == 0) return false;
        else if (errno != EINTR) status_ = 1;  // not this process's child to wait for
    }
    return true;
}

std::optional<int> Child::wait_for(int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!reap(WNOHANG)) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        ::usleep(2000);
    }
    return status_;
}

int Child::wait() {
    reap(0);
    return *status_;
}

int Child::wait_or_kill(int timeout_ms, int signal) {
    if (const auto status = wait_for(timeout_ms)) return *status;
    this->signal(signal);
    return wait();
}

}  // namespace osa::board
