// osa-match: plays one game between two UCI engine command lines and referees it.
//
// Every move is checked with the emulator's own chess rules before it is played; an illegal
// move, no move within the time allowed, or an engine that ends loses the game. The moves are
// printed in SAN as they are played, one line per move number; the board, each side's time and
// the result follow at the end, and the game may be saved as PGN. Ctrl-C or SIGTERM ends the game
// unfinished ("*"), and what was played is saved all the same.
#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "chess.h"
#include "diagram.h"
#include "match_options.h"
#include "pgn.h"
#include "referee.h"
#include "san.h"
#include "uci_engine.h"

namespace {

using namespace osa::chess;
using namespace osa::match;
using Clock = std::chrono::steady_clock;

constexpr int status_forfeit = 1;
constexpr int status_bad_command_line = 2;
constexpr int status_pgn_failed = 3;

// SIGINT or SIGTERM once either has asked for the game to stop; 0 until then. The game loop looks
// at it between moves and while an engine thinks, ends the game unfinished and saves it.
volatile std::sig_atomic_t stop_signal = 0;

void note_stop(int signal) { stop_signal = signal; }

std::optional<Verdict> stopped() {
    if (stop_signal == 0) return std::nullopt;
    return Verdict{"*", std::string("stopped by ") + (stop_signal == SIGINT ? "SIGINT" : "SIGTERM")};
}

// Today's date on the local calendar, as the PGN Date tag writes it.
std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return pgn_date(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// An engine's answer quoted in a message, cut short so that a flood of bytes stays readable.
std::string quoted(const std::string& text) {
    constexpr std::size_t longest = 20;
    return "'" + (text.size() > longest ? text.substr(0, longest) + "..." : text) + "'";
}

class Match {
public:
    Match(const MatchOptions& options, Position start, std::ofstream pgn_file)
        : options_(options), start_(start), pos_(std::move(start)), pgn_file_(std::move(pgn_file)) {
        clocks_.fill(options.time_ms);
        for (Colour side : {white, black}) names_[side] = program_name(options.commands[side]);
    }

    // The exit status: 0 for a game ended by the rules or the move limit, 1 for a forfeit, 3 when
    // the PGN file could not be written.
    int play();

private:
    std::optional<Verdict> greet(Colour side);
    bool await_uciok(Colour side, int wait_ms);
    std::optional<Verdict> play_one_move();
    std::optional<std::string> await_move(UciEngine& engine) const;
    std::optional<Verdict> silence(Colour side, const std::string& waited_for) const;
    std::string position_command() const;
    std::string go_command() const;
    void print_move(const Move& move);
    void end_line();
    bool board_due() const;
    void show_board();
    std::string time_used() const;
    bool save_pgn(const Verdict& verdict);
    int finish(const Verdict& verdict, bool forfeited);
    int forfeit_unless_stopped(const Verdict& lost);

    MatchOptions options_;
    Position start_;
    Position pos_;
    std::ofstream pgn_file_;
    std::string date_ = today();
    std::array<std::unique_ptr<UciEngine>, 2> engines_;
    std::array<std::string, 2> names_;
    std::array<long long, 2> clocks_{};
    std::array<long long, 2> used_ms_{};
    std::array<int, 2> moves_made_{};
    std::vector<Move> moves_;
    bool line_open_ = false;  // White's move is printed, Black's will complete its line
};

// The verdict on a side that gave no answer: its engine ended, or its time ran out.
std::optional<Verdict> Match::silence(Colour side, const std::string& waited_for) const {
    if (engines_[side]->ended()) return forfeit(side, "engine ended");
    return forfeit(side, "no " + waited_for + " within " + std::to_string(options_.move_timeout_ms) + " ms");
}

// Reads the engine's lines up to "uciok", keeping the name it gives in "id name".
bool Match::await_uciok(Colour side, int wait_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const auto line = engines_[side]->read_line(static_cast<int>(std::max(0LL, static_cast<long long>(left))));
        if (!line) return false;
        if (line->rfind("uciok", 0) == 0) return true;
        const std::string prefix = "id name ";
        const auto name_at = line->find_first_not_of(' ', prefix.size());
        if (line->rfind(prefix, 0) == 0 && name_at != std::string::npos) names_[side] = line->substr(name_at);
    }
}

std::optional<Verdict> Match::greet(Colour side) {
    auto& engine = *engines_[side];
    const int wait = static_cast<int>(options_.move_timeout_ms);
    const bool ready = engine.send("uci") && await_uciok(side, wait) && engine.send("isready") &&
                       engine.wait_for("readyok", wait) && engine.send("ucinewgame") && engine.send("isready") &&
                       engine.wait_for("readyok", wait);
    return ready ? std::nullopt : silence(side, "answer to uci/isready");
}

std::string Match::position_command() const {
    std::string line = options_.fen.empty() ? "position startpos" : "position fen " + options_.fen;
    if (!moves_.empty()) line += " moves";
    for (const auto& m : moves_) line += ' ' + uci_text(m);
    return line;
}

std::string Match::go_command() const {
    const auto shown = [](long long ms) { return std::to_string(std::max(ms, 1LL)); };
    return "go wtime " + shown(clocks_[white]) + " btime " + shown(clocks_[black]) + " winc " +
           std::to_string(options_.inc_ms) + " binc " + std::to_string(options_.inc_ms);
}

// White's move opens the line of its move number at once, so that a slow game shows each move
// as it comes; Black's move completes it.
void Match::print_move(const Move& move) {
    const std::string san = san_text(pos_, move);
    if (pos_.side_to_move() == white)
        std::cout << move_number_text(pos_) << ' ' << san << std::flush;
    else if (line_open_)
        std::cout << ' ' << san << std::endl;
    else
        std::cout << move_number_text(pos_) << ' ' << san << std::endl;
    line_open_ = pos_.side_to_move() == white;
}

void Match::end_line() {
    if (line_open_) std::cout << std::endl;
    line_open_ = false;
}

// The engine's "bestmove" line; nothing when the engine ends, its time runs out or the game is
// stopped. It is awaited in short slices, so that a stop is seen while the engine thinks.
std::optional<std::string> Match::await_move(UciEngine& engine) const {
    using std::chrono::milliseconds;
    constexpr milliseconds slice(100);
    const auto deadline = Clock::now() + milliseconds(options_.move_timeout_ms);
    while (stop_signal == 0 && !engine.ended()) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
        if (left <= milliseconds(0)) break;
        if (auto line = engine.wait_for("bestmove", static_cast<int>(std::min(left, slice).count()))) return line;
    }
    return std::nullopt;
}

// Asks the side to move for its move and plays it; a verdict when the side forfeits.
std::optional<Verdict> Match::play_one_move() {
    const Colour side = pos_.side_to_move();
    auto& engine = *engines_[side];
    const auto asked = Clock::now();
    engine.send(position_command());
    engine.send(go_command());
    const auto answer = await_move(engine);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
    if (!answer) return silence(side, "move");
    std::istringstream words(*answer);
    std::string keyword, text;
    words >> keyword >> text;
    const auto move = parse_uci(pos_, text);
    if (!move) return forfeit(side, "illegal move " + quoted(text) + " in " + pos_.fen());
    clocks_[side] += options_.inc_ms - took;
    used_ms_[side] += took;
    ++moves_made_[side];
    print_move(*move);
    pos_.make(*move);
    moves_.push_back(*move);
    return std::nullopt;
}

// After Black's move of every N-th move number.
bool Match::board_due() const {
    return options_.board_every > 0 && !moves_.empty() && pos_.side_to_move() == white &&
           (pos_.fullmove_number() - 1) % options_.board_every == 0;
}

void Match::show_board() {
    end_line();
    std::cout << '\n' << board_diagram(pos_.placement()) << std::endl;
}

std::string Match::time_used() const {
    const auto side_text = [this](Colour side, const char* name) {
        return std::string(name) + ' ' + std::to_string(used_ms_[side]) + " ms for " +
               std::to_string(moves_made_[side]) + (moves_made_[side] == 1 ? " move" : " moves");
    };
    return "Time used: " + side_text(white, "White") + ", " + side_text(black, "Black");
}

bool Match::save_pgn(const Verdict& verdict) {
    if (options_.pgn_path.empty()) return true;
    PgnGame game;
    game.date = date_;
    game.white = names_[white];
    game.black = names_[black];
    game.start = start_;
    game.moves = moves_;
    game.verdict = verdict;
    pgn_file_ << pgn_text(game);
    pgn_file_.close();
    if (pgn_file_) return true;
    std::cerr << "osa-match: could not write the PGN file " << options_.pgn_path << '\n';
    return false;
}

int Match::finish(const Verdict& verdict, bool forfeited) {
    show_board();
    std::cout << time_used() << '\n' << "Result: " << verdict.score << " (" << verdict.reason << ")" << std::endl;
    for (auto& engine : engines_)
        if (engine) engine->quit(3000);
    if (!save_pgn(verdict)) return status_pgn_failed;
    return forfeited ? status_forfeit : 0;
}

// A side that missed its move because the game was stopped, or whose engine ended at the same
// Ctrl-C, does not forfeit.
int Match::forfeit_unless_stopped(const Verdict& lost) {
    const auto stop = stopped();
    return stop ? finish(*stop, false) : finish(lost, true);
}

int Match::play() {
    for (Colour side : {white, black}) {
        engines_[side] = std::make_unique<UciEngine>(options_.commands[side]);
        if (const auto lost = greet(side)) return forfeit_unless_stopped(*lost);
    }
    for (;;) {
        if (const auto stop = stopped()) return finish(*stop, false);
        const Verdict verdict = judge(pos_);
        if (verdict.score != "*") return finish(verdict, false);
        if (static_cast<long long>(moves_.size()) >= 2 * options_.max_moves)
            return finish({"*", "move limit of " + std::to_string(options_.max_moves) + " reached"}, false);
        if (board_due()) show_board();
        if (const auto lost = play_one_move()) return forfeit_unless_stopped(*lost);
    }
}

int bad_command_line(const std::string& message) {
    std::cerr << "osa-match: " << message << "\n(osa-match --help prints the usage)\n";
    return status_bad_command_line;
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (line.help) {
        std::cout << usage_text;
        return 0;
    }
    if (!line.error.empty()) return bad_command_line(line.error);
    const MatchOptions& options = line.options;
    const auto start = options.fen.empty() ? std::optional(Position()) : Position::from_fen(options.fen);
    if (!start) return bad_command_line("unusable FEN for --fen: '" + options.fen + "'");
    // The file is opened before the game, so that a bad path fails at once rather than after it.
    std::ofstream pgn_file;
    if (!options.pgn_path.empty()) {
        pgn_file.open(options.pgn_path);
        if (!pgn_file)
            return bad_command_line("cannot write the PGN file '" + options.pgn_path + "': " + std::strerror(errno));
    }
    std::signal(SIGINT, note_stop);
    std::signal(SIGTERM, note_stop);
    int status = status_bad_command_line;
    try {
        Match match(options, *start, std::move(pgn_file));
        status = match.play();
    } catch (const std::exception& e) {
        std::cerr << "osa-match: " << e.what() << '\n';
    }
    // The game is saved: the driver now ends as the signal would have ended it.
    if (stop_signal != 0) {
        std::signal(stop_signal, SIG_DFL);
        std::raise(stop_signal);
    }
    return status;
}
