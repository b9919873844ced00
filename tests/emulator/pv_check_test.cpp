// Whole games through Dorvane with "pv=uci" on the emulated board, this test playing the GUI and
// a random opponent. Every info line is checked twice: each move of its PV must be legal in turn
// from the position of the search (the emulator's chess rules), and the PV must be the whole
// variation of the board's report that it relays, read from the emulator's trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>

#include "chess.h"
#include "notation.h"
#include "uci_engine.h"

namespace {

using namespace osa::chess;
namespace fs = std::filesystem;

constexpr int move_timeout_ms = 30'000;
constexpr int max_plies = 160;

std::vector<std::string> words_of(std::string_view text) {
    std::vector<std::string> words;
    std::istringstream in{std::string(text)};
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// One info line as the GUI got it, with the position its search started from.
struct InfoLine {
    Position root;
    std::vector<std::string> pv;
};

struct Figures {
    int lines = 0;
    int moves = 0;
    int castlings = 0;
    int captures = 0;
    int promotions = 0;
    int checks = 0;
};

// "info depth D score cp S" and, when the variation has a move, " pv" and its moves.
std::optional<std::vector<std::string>> pv_of(const std::string& line) {
    const auto words = words_of(line);
    if (words.size() < 5 || words[0] != "info" || words[1] != "depth" || words[3] != "score" || words[4] != "cp")
        return std::nullopt;
    if (words.size() == 6) return std::vector<std::string>();
    if (words.size() == 7 || words[6] != "pv") return std::nullopt;  // "pv" must be followed by a move
    return std::vector<std::string>(words.begin() + 7, words.end());
}

// Plays each PV move in turn; a failure names the first move that is not legal there.
void check_legal_in_turn(const InfoLine& info, Figures& figures) {
    Position walk = info.root;
    for (const auto& text : info.pv) {
        const auto move = parse_uci(walk, text);
        ASSERT_TRUE(move.has_value()) << "PV move " << text << " is not legal in " << walk.fen() << " (PV "
                                      << joined(info.pv) << " from " << info.root.fen() << ")";
        figures.castlings += walk.is_castling(*move);
        figures.captures += walk.is_capture(*move);
        figures.promotions += move->promotion != none;
        walk.make(*move);
        figures.checks += walk.in_check();
        ++figures.moves;
    }
}

// The board's variations in the order in which the engine program relays them: each report whose
// variation differs from the one before in the same search. A search begins with "MOVE" or "PLAY".
std::vector<std::string> relayed_variations(const std::string& trace_path) {
    std::ifstream trace(trace_path);
    std::vector<std::string> relayed;
    std::string last;
    for (std::string line; std::getline(trace, line);) {
        if (line.size() < 13) continue;
        const std::string_view entry = std::string_view(line).substr(10);
        if (entry.starts_with("<- MOVE ") || entry == "<- PLAY") last.clear();
        if (!entry.starts_with("-> Sendinfo")) continue;
        std::string_view report = entry.substr(3);
        report = report.substr(0, report.find("\\r"));
        std::string tail = report.size() > 28 ? std::string(report.substr(28)) : std::string();
        if (!tail.empty() && tail.back() == '.') tail.pop_back();
        if (tail != last) relayed.push_back(tail);
        last = tail;
    }
    return relayed;
}

// The board's variation read with the board's own notation, as UCI moves.
std::vector<std::string> board_variation_as_uci(const Position& root, const std::string& variation) {
    Position walk = root;
    std::vector<std::string> moves;
    for (const auto& word : words_of(variation)) {
        const auto move = osa::board::parse_board_move(walk, word);
        if (!move) break;
        moves.push_back(uci_text(*move));
        walk.make(*move);
    }
    return moves;
}

struct GameCase {
    const char* name;
    const char* fen;  // empty: the start position
    std::vector<std::string> board_options;
    unsigned seed;  // the opponent's choices
    bool promotes;  // the board computer's variations must hold a promotion
};

void PrintTo(const GameCase& game, std::ostream* out) { *out << game.name; }

class PvCheck : public testing::TestWithParam<GameCase> {
protected:
    void SetUp() override {
        dir_ = fs::path(testing::TempDir()) / ("osa_pv_" + std::string(GetParam().name));
        fs::create_directories(dir_);
        std::ofstream(dir_ / "osa.ini") << "pv=uci\n";
        trace_ = (dir_ / "board.trace").string();
    }

    std::string command() const {
        std::string line = "env -C '" + dir_.string() + "' '" OSA_EMULATOR "' --think 1000 --trace '" + trace_ + "'";
        for (const auto& option : GetParam().board_options) line += " " + option;
        return line + " -- '" DORVANE "'";
    }

    fs::path dir_;
    std::string trace_;
};

std::string position_line(const GameCase& game, const std::vector<std::string>& moves) {
    std::string line = *game.fen ? std::string("position fen ") + game.fen : std::string("position startpos");
    if (!moves.empty()) line += " moves " + joined(moves);
    return line;
}

TEST_P(PvCheck, EveryInfoLineIsLegalAndWhole) {
    const GameCase& game = GetParam();
    Position pos = *game.fen ? Position::from_fen(game.fen).value() : Position();
    const Colour engine_side = pos.side_to_move();
    std::mt19937 random(game.seed);
    osa::match::UciEngine engine(command());
    ASSERT_TRUE(engine.send("uci"));
    ASSERT_TRUE(engine.wait_for("uciok", move_timeout_ms));
    ASSERT_TRUE(engine.send("isready"));
    ASSERT_TRUE(engine.wait_for("readyok", move_timeout_ms));

    std::vector<std::string> moves;
    std::vector<InfoLine> infos;
    while (pos.outcome() == Outcome::ongoing && moves.size() < max_plies) {
        if (pos.side_to_move() != engine_side) {
            const auto legal = pos.legal_moves();
            const Move move = legal[std::uniform_int_distribution<std::size_t>(0, legal.size() - 1)(random)];
            moves.push_back(uci_text(move));
            pos.make(move);
            continue;
        }
        ASSERT_TRUE(engine.send(position_line(game, moves)));
        ASSERT_TRUE(engine.send("go wtime 60000 btime 60000"));
        std::optional<std::string> line;
        while ((line = engine.read_line(move_timeout_ms)) && !line->starts_with("bestmove ")) {
            if (!line->starts_with("info ")) continue;
            const auto pv = pv_of(*line);
            ASSERT_TRUE(pv.has_value()) << "malformed info line: " << *line;
            infos.push_back({pos, *pv});
        }
        ASSERT_TRUE(line.has_value()) << "no bestmove after " << position_line(game, moves);
        const auto best = parse_uci(pos, line->substr(9));
        ASSERT_TRUE(best.has_value()) << *line << " in " << pos.fen();
        moves.push_back(uci_text(*best));
        pos.make(*best);
    }
    engine.quit(2000);

    Figures figures;
    for (const auto& info : infos) {
        check_legal_in_turn(info, figures);
        ++figures.lines;
    }
    const auto relayed = relayed_variations(trace_);
    ASSERT_EQ(relayed.size(), infos.size()) << "the board's reports in " << trace_ << " and the info lines differ";
    for (std::size_t i = 0; i < infos.size(); ++i)
        EXPECT_EQ(joined(infos[i].pv), joined(board_variation_as_uci(infos[i].root, relayed[i])))
            << "info line " << i + 1 << " relays the board's '" << relayed[i] << "' from " << infos[i].root.fen();

    std::cout << game.name << ": " << moves.size() << " plies, " << figures.lines << " info lines checked, "
              << figures.moves << " moves checked (" << figures.castlings << " castlings, " << figures.captures
              << " captures, " << figures.promotions << " promotions, " << figures.checks << " checks)\n";
    EXPECT_GT(figures.lines, 0);
    EXPECT_GT(figures.moves, figures.lines);
    EXPECT_TRUE(!game.promotes || figures.promotions > 0) << "no promotion in the variations";
}

INSTANTIATE_TEST_SUITE_P(
    Games, PvCheck,
    testing::Values(GameCase{"start", "", {"--castling", "squares"}, 11, false},
                    GameCase{"castling",
                             "r3k2r/pppq1ppp/2n2n2/3pp3/3PP3/2N2N2/PPPQ1PPP/R3K2R w KQkq - 0 1",
                             {"--captures", "dash", "--checks", "signs"},
                             12,
                             false},
                    GameCase{"promotion", "4k3/P7/8/8/8/8/2p5/4K3 w - - 0 1", {"--checks", "signs"}, 13, true}),
    [](const auto& info) { return info.param.name; });

}  // namespace
