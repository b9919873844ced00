// osa-emulator: an emulated chess board with an OSA interface, served on a pseudo-terminal.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <random>
#include <stdexcept>

#include "board_service.h"
#include "launcher.h"
#include "options.h"
#include "pty.h"
#include "recording.h"
#include "replay.h"
#include "serve.h"
#include "temp_paths.h"
#include "unplug.h"
#include "web_service.h"

namespace {

using namespace osa::board;

// The status of a replay that parted from its recording.
constexpr int replay_failed = 3;
// How long a program may take to end once its line is gone, before it is killed.
constexpr int program_end_ms = 2000;

Clock steady_clock_since_start() {
    const auto start = std::chrono::steady_clock::now();
    return [start] {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
    };
}

// A browser that goes away while the page's server writes to it must not end the emulator by
// SIGPIPE. A handler that does nothing, rather than an ignored signal: the program that the
// emulator starts gets the default back at its start.
void survive_closed_browsers() {
    struct sigaction action {};
    action.sa_handler = [](int) {};
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
}

std::string page_address(const WebPage& page) { return "http://127.0.0.1:" + std::to_string(page.port()) + "/"; }

// The unplug that ends the coming session, and the command lines counted so far.
struct Coming {
    const Unplug* unplug = nullptr;
    std::int64_t* commands = nullptr;
};

// The board answers the line, watched for the coming unplug; with a page, the page also shows it
// and takes the person's moves. The page is served last, so that it hears what went out on the line.
void serve_board(const EmulatorOptions& options, Pty& pty, Board& board, Trace& trace, const Clock& clock,
                 ServeEnds ends, WebPage* page, Coming coming = {}) {
    Wire wire(options.wire_baud);
    BoardService board_service(board, trace);
    std::optional<UnplugWatch> watch;
    if (coming.unplug) watch.emplace(board_service, *coming.unplug, *coming.commands);
    LineService& line = watch ? static_cast<LineService&>(*watch) : board_service;
    if (!page) return serve(pty.master(), line, wire, clock, ends);
    PageService service(board, trace, *page, line);
    serve(pty.master(), service, wire, clock, ends);
}

// Alone: the pty's path is the first thing written to standard output, for the caller to open,
// and the page's address the only other.
int serve_alone(const EmulatorOptions& options, Pty& pty, Board& board, Trace& trace, const Clock& clock,
                WebPage* page) {
    std::cout << pty.slave_path() << std::endl;
    if (page) std::cout << page_address(*page) << std::endl;
    serve_board(options, pty, board, trace, clock, {STDIN_FILENO, -1}, page);
    return 0;
}

// The program on the port's path; its standard input and output are the GUI's unless a replay
// plays the GUI.
Child start_program(const EmulatorOptions& options, const std::string& path, bool piped_gui = false) {
    Child child({.command = options.child_command,
                 .environment = {{port_variable(options.port), path}},
                 .pipes = piped_gui,
                 .served = true});
    if (child.start_error() != 0)
        std::fprintf(stderr, "osa-emulator: cannot run %s: %s\n", options.child_command.front().c_str(),
                     std::strerror(child.start_error()));
    return child;
}

// With a program: its standard input and output are the GUI's, so the emulator keeps off them.
int serve_program(const EmulatorOptions& options, Pty& pty, Board& board, Trace& trace, const Clock& clock,
                  WebPage* page) {
    Child child = start_program(options, pty.slave_path());
    trace.note(clock(), "started " + options.child_command.front() + " on " + pty.slave_path());
    serve_board(options, pty, board, trace, clock, {-1, child.exit_fd()}, page);
    const int status = child.wait();
    trace.note(clock(), "program ended with status " + std::to_string(status));
    return status;
}

bool ends_within(const Child& child, std::int64_t ms) {
    pollfd exit{child.exit_fd(), POLLIN, 0};
    return ::poll(&exit, 1, static_cast<int>(ms)) > 0;
}

// With unplugs: the program finds the board through a link of the emulator's own, which names
// each new pty in turn. Between two sessions the board is away for the unplug's time; a program
// that ends meanwhile ends the run.
int serve_program_unplugged(const EmulatorOptions& options, Trace& trace, const Clock& clock, WebPage* page) {
    const osa::StableLink link("osa-emulator");
    std::optional<Pty> pty(std::in_place);
    std::optional<Board> board(std::in_place, options.board, clock);
    link.point_to(pty->slave_path());
    Child child = start_program(options, link.path());
    trace.note(clock(), "started " + options.child_command.front() + " on " + link.path());
    std::int64_t commands = 0;
    bool ended = false;
    for (const Unplug& unplug : options.unplugs) {
        serve_board(options, *pty, *board, trace, clock, {-1, child.exit_fd()}, page, {&unplug, &commands});
        if (!unplug_due(unplug, commands, clock())) break;  // the program ended first
        trace.note(clock(), "unplugged for " + std::to_string(unplug.down_ms) + " ms");
        link.remove();
        pty.reset();
        ended = ends_within(child, unplug.down_ms);
        if (ended) break;
        if (unplug.reset) board.emplace(options.board, clock);
        pty.emplace();
        link.point_to(pty->slave_path());
        trace.note(clock(), unplug.reset ? "plugged in again, switched on afresh" : "plugged in again with its game");
    }
    if (!ended) serve_board(options, *pty, *board, trace, clock, {-1, child.exit_fd()}, page);
    const int status = child.wait();
    trace.note(clock(), "program ended with status " + std::to_string(status));
    return status;
}

int run_board(EmulatorOptions options) {
    if (!options.seed_given) options.board.seed = std::random_device{}();
    options.board.repeatable = options.seed_given;
    const Clock clock = steady_clock_since_start();
    Trace trace = options.trace_path.empty() ? Trace() : Trace(options.trace_path);
    std::optional<WebPage> page;
    if (serves_page(options)) {
        survive_closed_browsers();
        page.emplace(options.board.human == HumanKind::person, options.web_port);
        std::cerr << "osa-emulator: the board's page is at " << page_address(*page) << std::endl;
    }
    WebPage* shown = page ? &*page : nullptr;
    if (!options.unplugs.empty()) return serve_program_unplugged(options, trace, clock, shown);
    Pty pty;
    Board board(options.board, clock);
    if (options.child_command.empty()) return serve_alone(options, pty, board, trace, clock, shown);
    return serve_program(options, pty, board, trace, clock, shown);
}

// Once the replay has parted from its recording the line goes away: the program's reads fail
// and it ends by itself, or it is killed after a while.
int run_replay(const EmulatorOptions& options, const std::vector<osa::TraceEntry>& run) {
    const Clock clock = steady_clock_since_start();
    Trace trace = options.trace_path.empty() ? Trace() : Trace(options.trace_path);
    Replay replay(run, {!options.replay_fast, options.replay_check_gui});
    std::optional<Pty> pty(std::in_place);
    Child child = start_program(options, pty->slave_path(), options.replay_gui);
    // Only here, after the start: a program that inherited an ignored SIGPIPE would behave otherwise.
    if (options.replay_gui) std::signal(SIGPIPE, SIG_IGN);
    trace.note(clock(), "replaying " + options.replay_path + " to " + options.child_command.front());
    ReplayService service(replay, trace);
    Wire wire(options.wire_baud);
    GuiPipes gui;
    if (options.replay_gui) gui = {std::move(child.input()), std::move(child.output())};
    serve(pty->master(), service, wire, clock, {-1, child.exit_fd()}, std::move(gui));
    const bool parted = replay.over(clock());
    if (parted) pty.reset();
    const int status = parted ? child.wait_or_kill(program_end_ms) : child.wait();
    const std::string report = replay.report();
    trace.note(clock(), "program ended with status " + std::to_string(status));
    if (report.empty()) return status;
    std::cerr << "osa-emulator: replay: " << report;
    return replay_failed;
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
        if (options.replay_path.empty()) return run_board(options);
        const auto recording = read_recording(options.replay_path);
        if (const auto* error = std::get_if<std::string>(&recording)) {
            std::cerr << "osa-emulator: " << *error << '\n';
            return 2;
        }
        return run_replay(options, std::get<std::vector<osa::TraceEntry>>(recording));
    } catch (const std::exception& e) {
        std::cerr << "osa-emulator: " << e.what() << '\n';
        return 1;
    }
}
