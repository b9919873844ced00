// osa-emulator: an emulated chess board with an OSA interface, served on a pseudo-terminal.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <random>
#include <stdexcept>

#include "child.h"
#include "options.h"
#include "pty.h"
#include "serve.h"

namespace {

using namespace osa::board;

Clock steady_clock_since_start() {
    const auto start = std::chrono::steady_clock::now();
    return [start] {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    };
}

// Alone: the pty's path is the only thing written to standard output, for the caller to open.
int serve_alone(Pty& pty, Board& board, Trace& trace, const Clock& clock) {
    std::cout << pty.slave_path() << std::endl;
    serve(pty.master(), board, trace, clock, {STDIN_FILENO, -1});
    return 0;
}

// With a program: its standard input and output are the GUI's, so the emulator keeps off them.
int serve_program(const EmulatorOptions& options, Pty& pty, Board& board, Trace& trace, const Clock& clock) {
    ChildProcess child(options.child_command, port_variable(options.port), pty.slave_path());
    trace.note(clock(), "started " + options.child_command.front() + " on " + pty.slave_path());
    serve(pty.master(), board, trace, clock, {-1, child.exit_fd()});
    const int status = child.wait();
    trace.note(clock(), "program ended with status " + std::to_string(status));
    return status;
}

int run(EmulatorOptions options) {
    if (!options.seed_given) options.board.seed = std::random_device{}();
    const Clock clock = steady_clock_since_start();
    Trace trace = options.trace_path.empty() ? Trace() : Trace(options.trace_path);
    Pty pty;
    Board board(options.board, clock);
    if (options.child_command.empty()) return serve_alone(pty, board, trace, clock);
    return serve_program(options, pty, board, trace, clock);
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "osa-emulator: " << *error << "\n\n" << usage_text;
        return 2;
    }
    const auto& options = std::get<EmulatorOptions>(parsed);
    if (options.help) {
        std::cerr << usage_text;
        return 0;
    }
    try {
        return run(options);
    } catch (const std::exception& e) {
        std::cerr << "osa-emulator: " << e.what() << '\n';
        return 1;
    }
}
