// The program that the emulator serves in "--" mode, started as a child process.
//
// The child gets the emulator's standard input and output unchanged, so a GUI talks to it as if
// it had started it directly. The end of the child is signalled through a pipe that the serving
// loop can poll, since a signal alone cannot wake poll() without a race.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "descriptor.h"

namespace osa::board {

// Exit status as a shell reports it: the exit code, or 128 plus the signal number.
int shell_status(int wait_status);

class ChildProcess {
public:
    // Sets the variable to the value in the child's environment and starts the command.
    // Throws std::runtime_error when the process cannot be created; a command that cannot be
    // executed makes the child exit with status 127.
    // With piped_gui, the child's standard input and output are pipes to this process instead.
    ChildProcess(const std::vector<std::string>& command, const std::string& variable, const std::string& value,
                 bool piped_gui = false);

    int exit_fd() const { return exit_pipe_read_.get(); }  // readable once the child has exited
    int wait();                                            // the child's shell_status
    // The child's shell_status once it has ended within the time; killed (SIGKILL) after it.
    int wait_or_kill(int timeout_ms);
    // The ends of the pipes of piped_gui: the child's standard input and its standard output.
    Descriptor take_stdin() { return std::move(stdin_); }
    Descriptor take_stdout() { return std::move(stdout_); }

private:
    Descriptor exit_pipe_read_;
    Descriptor stdin_;
    Descriptor stdout_;
    pid_t pid_ = -1;
};

}  // namespace osa::board
