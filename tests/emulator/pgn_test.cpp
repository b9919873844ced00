// The match driver's PGN text, byte for byte where a GUI reads it.
#include "pgn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <utility>

#include "san.h"

namespace {

using namespace osa::chess;
using namespace osa::match;

PgnGame game_of(const Position& start, std::initializer_list<const char*> uci_moves) {
    PgnGame game;
    game.start = start;
    Position pos = start;
    for (const char* text : uci_moves) {
        const auto move = parse_uci(pos, text);
        EXPECT_TRUE(move.has_value()) << text;
        if (!move) break;
        game.moves.push_back(*move);
        pos.make(*move);
    }
    return game;
}

TEST(Pgn, FoolsMateByteForByte) {
    PgnGame game = game_of(Position(), {"f2f3", "e7e5", "g2g4", "d8h4"});
    game.date = "2026.12.07";
    game.white = "Dorvane V1.2";
    game.black = "Quillrand V1.1";
    game.verdict = {"0-1", "Black mates"};
    EXPECT_EQ(pgn_text(game),
              "[Event \"osa-match game\"]\n"
              "[Site \"?\"]\n"
              "[Date \"2026.12.07\"]\n"
              "[Round \"1\"]\n"
              "[White \"Dorvane V1.2\"]\n"
              "[Black \"Quillrand V1.1\"]\n"
              "[Result \"0-1\"]\n"
              "\n"
              "1. f3 e5 2. g4 Qh4# {Black mates} 0-1\n"
              "\n");
}

TEST(Pgn, GameFromAPositionWithBlackToMoveCarriesItsFen) {
    const char* fen = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 12";
    PgnGame game = game_of(*Position::from_fen(fen), {"b8c6", "g1f3"});
    game.verdict = {"*", "move limit of 1 reached"};
    const std::string text = pgn_text(game);
    EXPECT_NE(text.find("[Result \"*\"]\n[SetUp \"1\"]\n[FEN \"" + std::string(fen) + "\"]\n\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n12... Nc6 13. Nf3 {move limit of 1 reached} *\n\n"), std::string::npos) << text;
}

TEST(Pgn, InitialPositionGivenAsFenNeedsNoSetUp) {
    PgnGame game = game_of(*Position::from_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"), {});
    game.verdict = {"1-0", "Black forfeits: engine ended"};
    const std::string text = pgn_text(game);
    EXPECT_EQ(text.find("SetUp"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\n{Black forfeits: engine ended} 1-0\n\n"), std::string::npos) << text;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> lines;
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// A long game, its moves the first legal move each time, ended by a long reason.
TEST(Pgn, MovetextLinesStayBelowEightyCharactersAndLoseNothing) {
    PgnGame game;
    Position pos;
    std::string expected;
    for (int ply = 0; ply < 160 && !pos.legal_moves().empty(); ++ply) {
        const Move move = pos.legal_moves().front();
        if (pos.side_to_move() == white) expected += std::to_string(pos.fullmove_number()) + ". ";
        expected += san_text(pos, move) + " ";
        game.moves.push_back(move);
        pos.make(move);
    }
    game.verdict = {"0-1", "White forfeits: illegal move 'e7e4' in " + pos.fen()};
    expected += "{" + game.verdict.reason + "} 0-1";
    const auto lines = lines_of(pgn_text(game));
    const auto blank = std::find(lines.begin(), lines.end(), "");
    ASSERT_NE(blank, lines.end());
    std::string joined;
    for (auto line = blank + 1; line != lines.end() && !line->empty(); ++line) {
        EXPECT_LT(line->size(), 80u) << *line;
        EXPECT_NE(line->back(), ' ') << *line;
        joined += (joined.empty() ? "" : " ") + *line;
    }
    EXPECT_GT(lines.end() - blank, 10) << "the game fills many lines";
    EXPECT_EQ(joined, expected);
}

TEST(Pgn, TagValuesAndTheCommentCannotBeEndedEarly) {
    PgnGame game;
    game.white = "say \"hi\" \\ bye";
    game.black = "bell\a";
    game.verdict = {"1-0", "Black forfeits: illegal move '}{' \n"};
    const std::string text = pgn_text(game);
    EXPECT_NE(text.find("[White \"say \\\"hi\\\" \\\\ bye\"]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Black \"bell?\"]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n{Black forfeits: illegal move '?{' ?} 1-0\n"), std::string::npos) << text;
}

TEST(Pgn, DateHasFourDigitYearAndTwoDigitMonthAndDay) {
    EXPECT_EQ(pgn_date(2026, 12, 7), "2026.12.07");
    EXPECT_EQ(pgn_date(987, 1, 31), "0987.01.31");
}

TEST(Pgn, PlayerNameIsTheLastPathComponentOfTheProgramWord) {
    const std::pair<const char*, const char*> cases[] = {
        {"build/osa-emulator --think 300 -- build/Dorvane", "Dorvane"},
        {"/usr/games/stockfish", "stockfish"},
        {"tests/fake_uci_engine script e2e4", "fake_uci_engine"},
        {"  Quillrand  COM3: 9600", "Quillrand"},
        {"osa-emulator --", "?"},
        {"", "?"},
        {"dir/", "?"},
    };
    for (const auto& [command, name] : cases) EXPECT_EQ(program_name(command), name) << command;
}

}  // namespace
