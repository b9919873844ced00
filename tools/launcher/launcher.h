// Starting a program, once for the tools and their tests: its standard input and output inherited
// or piped, its environment, its working folder, and its end waited for with the status that a
// shell would report.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "descriptor.h"

namespace osa::board {

// Exit status as a shell reports it: the exit code, or 128 plus the signal number.
int shell_status(int wait_status);

// Every member has its default written out, so that a designated initializer may leave it out.
struct Launch {
    // The program, looked up in PATH when it names no folder, and its arguments.
    std::vector<std::string> command{};
    std::map<std::string, std::string> environment{};  // set for the program
    bool inherit_environment = true;                   // this process's variables besides those
    std::string work_dir{};                            // empty: this process's
    bool pipes = false;  // its standard input and output are pipes to this process, not this process's own
    // SIGPIPE at its default, as a shell would start the program, even where this process ignores it.
    bool default_sigpipe = false;
    // The one program that this process stands for: its end makes exit_fd() readable, and the
    // ending signals this process gets (SIGTERM, SIGHUP, SIGINT) are passed on to it.
    bool served = false;
};

// A started program. Dropping the object neither waits for the program nor ends it: the caller
// decides, with wait() or wait_or_kill().
class Child {
public:
    // Throws std::runtime_error when the pipes cannot be made. A program that cannot be started
    // counts, as in a shell, as one that ended at once with status 127; start_error() tells why.
    explicit Child(const Launch& launch);
    Child(Child&& other) noexcept;
    Child& operator=(Child&&) = delete;

    pid_t pid() const { return pid_; }
    int start_error() const { return start_error_; }  // the errno of a failed start, else 0
    // With pipes: the program's standard input, and its standard output.
    Descriptor& input() { return input_; }
    Descriptor& output() { return output_; }
    int exit_fd() const { return exit_pipe_.get(); }  // served only: readable once the program has ended

    void signal(int number);  // ignored once the program has been waited for
    // The program's shell_status once it has ended within the time; nothing while it runs on.
    std::optional<int> wait_for(int timeout_ms);
    int wait();
    // The shell_status once the program has ended within the time; after it, the signal ends it.
    int wait_or_kill(int timeout_ms, int signal = SIGKILL);

private:
    bool reap(int flags);

    Descriptor input_;
    Descriptor output_;
    Descriptor exit_pipe_;
    pid_t pid_ = -1;
    int start_error_ = 0;
    std::optional<int> status_;
};

}  // namespace osa::board
