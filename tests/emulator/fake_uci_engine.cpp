// A stand-in UCI engine for the match driver's tests.
//   fake_uci_engine first            plays the first legal move
//   fake_uci_engine random SEED      plays a random legal move
//   fake_uci_engine script M1 M2 ... plays the listed moves, one per "go", whatever the position
//   fake_uci_engine silent           answers the greeting but never a "go"
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chess.h"

using namespace osa::chess;

namespace {

Position position_from(const std::string& line) {
    std::istringstream words(line);
    std::string word;
    words >> word >> word;  // "position", then "startpos" or "fen"
    Position pos;
    if (word == "fen") {
        std::string fen, field;
        while (words >> field && field != "moves") fen += (fen.empty() ? "" : " ") + field;
        pos = Position::from_fen(fen).value_or(Position());
    } else {
        words >> word;  // "moves"
    }
    while (words >> word)
        if (const auto move = parse_uci(pos, word)) pos.make(*move);
    return pos;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string mode = args.empty() ? "first" : args[0];
    std::mt19937 random(mode == "random" && args.size() > 1 ? static_cast<unsigned>(std::stoul(args[1])) : 1u);
    std::size_t next_scripted = 1;
    Position pos;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "uci") std::cout << "id name fake\nuciok" << std::endl;
        if (line == "isready") std::cout << "readyok" << std::endl;
        if (line == "quit") return 0;
        if (line.rfind("position", 0) == 0) pos = position_from(line);
        if (line.rfind("go", 0) != 0 || mode == "silent") continue;
        std::string move = "0000";
        const auto moves = pos.legal_moves();
        if (mode == "script" && next_scripted < args.size()) move = args[next_scripted++];
        if (mode == "first" && !moves.empty()) move = uci_text(moves.front());
        if (mode == "random" && !moves.empty())
            move = uci_text(moves[std::uniform_int_distribution<std::size_t>(0, moves.size() - 1)(random)]);
        std::cout << "info depth 1\nbestmove " << move << std::endl;
    }
    return 0;
}
