// The platform layer in the fuzzers' world: the fake clock moves only when the program waits, and
// then straight to the next thing that can happen; a wait on nothing at all is a program that
// would wait for ever.
#include "field_world.h"

#include "end_requested.h"
#include "platform.h"
#include "text.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace field {

using osa::starts_with;

namespace {

constexpr long wait_limit = 200000;       // far beyond any run the fuzzer builds

// The board's reply: the text, its line end, the prompt and ETB; a bare prompt without a text.
std::string reply(std::string_view text) {
    return (text.empty() ? std::string() : std::string(text) + "\r\n") + ">" + std::string(1, etb);
}

// Depth in columns 18 and 19, the score in 21 to 26, the variation from 29; "." ends the search.
std::string search_report(bool final) {
    std::string report = "Sendinfo";
    report.resize(17, ' ');
    return report + " 5   0.12  " + (final ? "e7-e5." : "e7-e5 g1-f3");
}

std::optional<int> square_named(std::string_view text) {
    if (text.size() != 2 || text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8') return std::nullopt;
    return chess::square_at(text[0] - 'a', text[1] - '1');
}

// "POSI WHITE WRa1,BKe8": the entries of one rank placed on the position being set up.
void place_rank(BoardModel& board, std::string_view entries) {
    for (const std::string_view side : {"WHITE ", "BLACK "})
        if (entries.substr(0, side.size()) == side) entries.remove_prefix(side.size());
    while (!entries.empty()) {
        const auto comma = std::min(entries.find(','), entries.size());
        const std::string_view entry = entries.substr(0, comma);
        entries.remove_prefix(std::min(comma + 1, entries.size()));
        const auto square = entry.size() == 4 ? square_named(entry.substr(2)) : std::nullopt;
        const auto type = std::string_view("PNBRQK").find(entry.empty() ? '?' : entry[1]);
        if (!square || type == std::string_view::npos) continue;
        (*board.setup)[*square] =
            chess::make_piece(entry[0] == 'B' ? chess::black : chess::white, static_cast<chess::PieceType>(type + 1));
    }
}

}  // namespace

World& world() {
    static World instance;
    return instance;
}

// What the GUI and the board saw, for the one who reads the fuzzer's finding.
void broken(std::string_view invariant) {
    const World& w = world();
    std::string board;
    for (const std::string& command : w.written) board += command + " | ";
    std::fprintf(stderr, "invariant broken at %lld ms: %.*s\nGUI wrote: %s\nGUI heard: %s\nboard got: %s\n",
                 static_cast<long long>(w.now), static_cast<int>(invariant.size()), invariant.data(),
                 osa::escape_bytes(w.gui_sent).c_str(), osa::escape_bytes(w.gui_output).c_str(), board.c_str());
    std::abort();
}

std::uint8_t World::choose() {
    if (choices.empty()) return 0;
    const auto byte = static_cast<std::uint8_t>(choices.front());
    choices.remove_prefix(1);
    return byte;
}

// Mostly at once, sometimes slow, never as slow as a board that has gone silent.
std::int64_t World::board_delay() {
    static constexpr std::int64_t delays[] = {0, 0, 0, 1, 10, 200, 900, 1500};
    return delays[choose() % 8];
}

void World::begin_turn_if_idle() {
    if (!scheduled.empty()) return;
    if (next_turn == turns.size()) {
        if (!input_ends_at) input_ends_at = now;
        return;
    }
    for (const Timed& piece : turns[next_turn]) scheduled.push_back({now + piece.at, piece.bytes});
    ++next_turn;
}

bool World::gui_due() const {
    if (!scheduled.empty()) return scheduled.front().at <= now;
    return input_ends_at && *input_ends_at <= now;
}

// One read takes every piece that has arrived, as a pipe gives them.
std::string World::take_gui_bytes() {
    std::string bytes;
    while (!scheduled.empty() && scheduled.front().at <= now) {
        bytes += scheduled.front().bytes;
        scheduled.pop_front();
    }
    gui_sent += bytes;
    return bytes;
}

void World::begin_due_losses() {
    while (losses_begun < losses.size() && losses[losses_begun].at <= now) {
        if (on_loss) on_loss(*this);
        alive_generation = 0;
        board_output.clear();
        ++losses_begun;
    }
}

std::optional<std::int64_t> World::next_loss_at() const {
    if (losses_begun == losses.size()) return std::nullopt;
    return losses[losses_begun].at;
}

bool World::away() const {
    if (losses_begun == 0) return false;
    const Loss& last = losses[losses_begun - 1];
    return now < last.at + last.down_ms;
}

bool World::board_due() const { return !board_output.empty() && board_output.front().at <= now; }

// Replies leave in the order of their commands, each after its own delay.
void World::board_takes(std::string_view command) {
    std::string text;
    if (command == "ENGLISH" || command == "CLOSE") return;
    if (command == "OPEN") text = "Fake board";
    if (command == "NEWGAME") {
        text = "New Game";
        board.placement = chess::Position().placement();
    }
    if (command == "POSITION") text = "Board listing";
    if (command == "SETUP") board.setup = chess::Placement{};
    if (starts_with(command, "POSI") && command != "POSITION" && board.setup)
        place_rank(board, command.substr(command.find(' ') + 1));
    if (command == "NORMAL" && board.setup) {
        board.placement = *board.setup;
        board.setup.reset();
    }
    if (starts_with(command, "SETLEVEL") || starts_with(command, "setlevel")) {
        const auto space = command.find(' ');
        board.level = space == std::string_view::npos ? std::string() : std::string(command.substr(space + 1));
        text = "Level " + board.level;
    }
    if (command == "PLAY" || starts_with(command, "MOVE ")) board.polls_left = choose() % 3;
    if (command == "SENDINFO") text = search_report(board.polls_left-- <= 0);
    const std::int64_t after = std::max(now + board_delay(), board_output.empty() ? 0 : board_output.back().at);
    // The listing has no line end after its last line: the program passes it on as it comes.
    board_output.push_back({after, command == "POSITION" ? text + ">" + etb : reply(text)});
    // The human's move comes unasked, framed so that the player finds it on either side.
    if (command == "ANALYSIS") board_output.push_back({after + board_delay(), "\nh7-h6\n" + std::string(1, etb)});
}

std::string World::take_board_bytes(std::size_t count) {
    std::string bytes;
    while (bytes.size() < count && board_due()) {
        std::string& front = board_output.front().bytes;
        const std::size_t piece = std::min(count - bytes.size(), front.size());
        bytes += front.substr(0, piece);
        front.erase(0, piece);
        if (front.empty()) board_output.pop_front();
    }
    return bytes;
}

}  // namespace field

namespace osa {

using field::world;

void prepare_standard_streams() {}
void catch_ending_signals() {}

WaitClock::time_point wait_clock_now() { return WaitClock::time_point(std::chrono::milliseconds(world().now)); }

Woken wait_for(PortHandle port, bool console, std::optional<WaitClock::time_point> deadline) {
    field::World& w = world();
    const auto deadline_ms =
        deadline ? std::optional(std::chrono::ceil<std::chrono::milliseconds>(deadline->time_since_epoch()).count())
                 : std::nullopt;
    const bool serial = port >= 0;
    for (;;) {
        if (++w.waits > field::wait_limit) field::broken("the program never settles");
        w.begin_due_losses();
        if (w.signal_at && *w.signal_at <= w.now) {
            w.signalled = true;
            throw EndRequested("ended from outside");
        }
        if (serial && (port != w.alive_generation || w.board_due())) return Woken::serial_bytes;
        if (console && w.gui_due()) return Woken::console_bytes;
        if (deadline_ms && *deadline_ms <= w.now) return Woken::deadline;
        if (console && !serial && !deadline) w.begin_turn_if_idle();
        if (console && w.gui_due()) continue;
        if ((serial || deadline) && w.on_blocking_board_wait) w.on_blocking_board_wait(w);
        std::optional<std::int64_t> next = deadline_ms;
        const auto consider = [&next](std::optional<std::int64_t> at) {
            if (at && (!next || *at < *next)) next = at;
        };
        if (serial && !w.board_output.empty()) consider(w.board_output.front().at);
        if (serial) consider(w.next_loss_at());
        if (console && !w.scheduled.empty()) consider(w.scheduled.front().at);
        if (console && w.scheduled.empty()) consider(w.input_ends_at);
        consider(w.signal_at);
        if (!next) field::broken("the program waits for ever");
        w.now = std::max(w.now, *next);
    }
}

bool read_standard_input(std::string& into) {
    (void)wait_for(-1, true, std::nullopt);
    field::World& w = world();
    if (w.scheduled.empty() && w.input_ends_at && *w.input_ends_at <= w.now) {
        w.input_ended = true;
        return false;
    }
    into += w.take_gui_bytes();
    return true;
}

void write_standard_output(std::string_view bytes) {
    field::World& w = world();
    w.gui_output += bytes;
    w.output_partial += bytes;
    for (auto end = w.output_partial.find("\r\n"); end != std::string::npos; end = w.output_partial.find("\r\n")) {
        const std::string line = w.output_partial.substr(0, end);
        w.output_partial.erase(0, end + 2);
        if (w.on_output_line) w.on_output_line(w, line);
    }
}

std::string program_folder(const char*) { return {}; }
std::string device_for_port(unsigned long) { return "field"; }

OpenResult open_port(const std::string&, const SerialSettings&, PortHandle& port) {
    field::World& w = world();
    w.begin_due_losses();
    if (w.away()) return {open_no_device, 2, "the board is away"};
    if (w.alive_generation == 0 && w.losses_begun > 0 && !w.losses[w.losses_begun - 1].keeps_game) w.board = {};
    port = w.alive_generation = ++w.generation;
    ++w.handles_open;
    if (w.handles_open > 1) field::broken("two handles of the line open at once");
    return {};
}

// What the board sent and nobody read goes with the device.
void close_port(PortHandle) {
    --world().handles_open;
    world().board_output.clear();
}

void write_port(PortHandle port, std::string_view bytes) {
    field::World& w = world();
    w.begin_due_losses();
    std::string text(bytes);
    for (auto end = text.find("\r\n"); end != std::string::npos; text.erase(0, end + 2), end = text.find("\r\n")) {
        w.written.push_back(text.substr(0, end));
        if (port >= 0 && port == w.alive_generation) w.board_takes(text.substr(0, end));
    }
}

PortRead read_port(PortHandle port, std::size_t count, const std::function<void()>& await_bytes) {
    field::World& w = world();
    for (;;) {
        w.begin_due_losses();
        if (w.signal_at && *w.signal_at <= w.now) {
            w.signalled = true;
            throw EndRequested("ended from outside");
        }
        if (port < 0) return {{}, "the serial line to the board is closed"};
        if (port != w.alive_generation) return {{}, "the board went away"};
        if (w.board_due()) return {w.take_board_bytes(count), {}};
        await_bytes();
    }
}

std::int64_t port_pending_count(PortHandle port) {
    field::World& w = world();
    std::int64_t waiting = 0;
    for (const auto& piece : w.board_output)
        if (piece.at <= w.now && port == w.alive_generation) waiting += static_cast<std::int64_t>(piece.bytes.size());
    return waiting;
}

}  // namespace osa
