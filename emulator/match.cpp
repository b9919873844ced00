// osa-match: plays one game between two UCI engine command lines and referees it.
//
// Every move is checked with the emulator's own chess rules before it is played; an illegal
// move, no move within the time allowed, or an engine that ends loses the game. The exit status
// is 0 when the game ended by the rules or by the move limit, 1 when a side forfeited, 2 for a
// bad command line.
#include <algorithm>
#include <array>
#include <chrono>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "chess.h"
#include "number_text.h"
#include "referee.h"
#include "uci_engine.h"

namespace {

using namespace osa::chess;
using namespace osa::match;

const char* const usage =
    "usage: osa-match --white COMMAND --black COMMAND [options]\n"
    "\n"
    "  --white COMMAND       shell command line of the engine playing White\n"
    "  --black COMMAND       shell command line of the engine playing Black\n"
    "  --max-moves N         stop the game unfinished after N moves of each side (default 150)\n"
    "  --time MS             each side's clock at the start, sent with go (default 300000)\n"
    "  --inc MS              increment per move (default 0)\n"
    "  --move-timeout MS     a side that takes longer for one move forfeits (default 120000)\n"
    "  --fen FEN             start from this position instead of the initial one\n";

struct MatchOptions {
    std::array<std::string, 2> commands;
    long long max_moves = 150;
    long long time_ms = 300'000;
    long long inc_ms = 0;
    long long move_timeout_ms = 120'000;
    std::string fen;
};

std::optional<MatchOptions> parse(const std::vector<std::string>& args) {
    MatchOptions options;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        const std::string& key = args[i];
        const std::string& value = args[i + 1];
        const auto n = osa::board::parse_number(value, 0, 1'000'000'000);
        if (key == "--white")
            options.commands[white] = value;
        else if (key == "--black")
            options.commands[black] = value;
        else if (key == "--fen")
            options.fen = value;
        else if (key == "--max-moves" && n)
            options.max_moves = *n;
        else if (key == "--time" && n)
            options.time_ms = *n;
        else if (key == "--inc" && n)
            options.inc_ms = *n;
        else if (key == "--move-timeout" && n)
            options.move_timeout_ms = *n;
        else
            return std::nullopt;
    }
    const bool complete = args.size() % 2 == 0 && !options.commands[white].empty() && !options.commands[black].empty();
    return complete ? std::optional(options) : std::nullopt;
}

class Match {
public:
    Match(const MatchOptions& options, Position start) : options_(options), pos_(std::move(start)) {
        clocks_.fill(options.time_ms);
    }

    // The exit status: 0 for a game ended by the rules or the move limit, 1 for a forfeit.
    int play();

private:
    bool greet(Colour side);
    std::optional<Verdict> play_one_move();
    std::string position_command() const;
    std::string go_command() const;
    int finish(const Verdict& verdict, bool forfeited);

    MatchOptions options_;
    Position pos_;
    std::array<std::unique_ptr<UciEngine>, 2> engines_;
    std::array<long long, 2> clocks_{};
    std::vector<std::string> moves_;
};

bool Match::greet(Colour side) {
    auto& engine = *engines_[side];
    const int wait = static_cast<int>(options_.move_timeout_ms);
    return engine.send("uci") && engine.wait_for("uciok", wait) && engine.send("isready") &&
           engine.wait_for("readyok", wait) && engine.send("ucinewgame") && engine.send("isready") &&
           engine.wait_for("readyok", wait);
}

std::string Match::position_command() const {
    std::string line = options_.fen.empty() ? "position startpos" : "position fen " + options_.fen;
    if (!moves_.empty()) line += " moves";
    for (const auto& m : moves_) line += ' ' + m;
    return line;
}

std::string Match::go_command() const {
    const auto shown = [](long long ms) { return std::to_string(std::max(ms, 1LL)); };
    return "go wtime " + shown(clocks_[white]) + " btime " + shown(clocks_[black]) + " winc " +
           std::to_string(options_.inc_ms) + " binc " + std::to_string(options_.inc_ms);
}

// Asks the side to move for its move and plays it; a verdict when the side forfeits.
std::optional<Verdict> Match::play_one_move() {
    const Colour side = pos_.side_to_move();
    auto& engine = *engines_[side];
    const auto asked = std::chrono::steady_clock::now();
    engine.send(position_command());
    engine.send(go_command());
    const auto answer = engine.wait_for("bestmove", static_cast<int>(options_.move_timeout_ms));
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked);
    if (!answer) return forfeit(side, "no move within " + std::to_string(options_.move_timeout_ms) + " ms");
    std::istringstream words(*answer);
    std::string keyword, text;
    words >> keyword >> text;
    const auto move = parse_uci(pos_, text);
    if (!move) return forfeit(side, "illegal move '" + text + "' in " + pos_.fen());
    clocks_[side] += options_.inc_ms - took.count();
    std::cout << move_label(pos_, *move) << "  (" << took.count() << " ms)" << std::endl;
    pos_.make(*move);
    moves_.push_back(text);
    return std::nullopt;
}

int Match::finish(const Verdict& verdict, bool forfeited) {
    std::cout << "Result: " << verdict.score << " (" << verdict.reason << ")" << std::endl;
    for (auto& engine : engines_)
        if (engine) engine->quit(3000);
    return forfeited ? 1 : 0;
}

int Match::play() {
    for (Colour side : {white, black}) {
        engines_[side] = std::make_unique<UciEngine>(options_.commands[side]);
        if (!greet(side)) return finish(forfeit(side, "no answer to uci/isready"), true);
    }
    for (;;) {
        const Verdict verdict = judge(pos_);
        if (verdict.score != "*") return finish(verdict, false);
        if (static_cast<long long>(moves_.size()) >= 2 * options_.max_moves)
            return finish({"*", "move limit of " + std::to_string(options_.max_moves) + " reached"}, false);
        if (const auto lost = play_one_move()) return finish(*lost, true);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const auto options = parse(std::vector<std::string>(argv + 1, argv + argc));
    if (!options) {
        std::cerr << usage;
        return 2;
    }
    const auto start = options->fen.empty() ? std::optional(Position()) : Position::from_fen(options->fen);
    if (!start) {
        std::cerr << "osa-match: unusable FEN: " << options->fen << '\n';
        return 2;
    }
    try {
        Match match(*options, *start);
        return match.play();
    } catch (const std::exception& e) {
        std::cerr << "osa-match: " << e.what() << '\n';
        return 2;
    }
}
