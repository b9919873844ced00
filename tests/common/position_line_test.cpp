#include "fen_setup.h"
#include "position_line.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

struct PositionCase {
    const char* line;
    const char* last_move;
    std::optional<std::string> fen;
};

TEST(PositionLine, PositionLines) {
    const PositionCase cases[] = {
        {"position startpos", "", std::nullopt},
        {"position startpos moves e2e4", "e2-e4", std::nullopt},
        {"position startpos moves e2e4 e7e5 g1f3", "g1-f3", std::nullopt},
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1", "e1-g1", std::nullopt},
        {"position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8q", "a7-a8/Q", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1"},
        {"position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", "", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"},
        {"position fen   8/8/8/8/8/8/8/8 w - - 0 1  moves e2e4", "e2-e4", "8/8/8/8/8/8/8/8 w - - 0 1"},
        {"position startpos moves", "", std::nullopt},
        {"position startpos moves e2e4 e7e8Q", "7e-8Q", std::nullopt},
        {"position startpos moves e2e4 e7e8n", "e7-e8/N", std::nullopt},
        {"position moves e2e4", "e2-e4", std::nullopt},
        {"position fen", "", std::nullopt},
    };
    for (const auto& c : cases) {
        const PositionLine result = read_position_line(c.line);
        EXPECT_EQ(result.last_move, c.last_move) << c.line;
        EXPECT_EQ(result.fen, c.fen) << c.line;
    }
}

TEST(PositionLine, AVeryLongMoveListIsReadWhole) {
    std::string line = "position startpos moves";
    for (int i = 0; i < 20000; ++i) line += i % 2 ? " g8f6 f6g8" : " g1f3 f3g1";
    line += " e2e4";
    EXPECT_EQ(read_position_line(line).last_move, "e2-e4");
}

TEST(PositionLine, PositionBeforeTheLastMove) {
    const char* const start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"position startpos", start},
        {"position startpos moves e2e4", start},
        {"position startpos moves e2e4  e7e5", "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"},
        {"position startpos moves e2e4 e7e5 g1f3", "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"},
        {"position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8q e8d7 a8b8", "Q7/3k4/8/8/8/8/8/4K3 w - - 1 2"},
        {"position fen 4k3/8/8/8/8/8/8/4K3 b - - 0 1", "4k3/8/8/8/8/8/8/4K3 b - - 0 1"},
        // The moves count as far as they are legal: here e2e5 ends the replay.
        {"position startpos moves e2e4 e7e5 e2e5 g1f3 b8c6",
         "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e6 0 2"},
        {"position startpos moves xx e2e4", start},
        {"position fen 8/8/8/8/8/8/8/8 w - - 0 1 moves e2e4", std::nullopt},
        {"position fen xyz w - - 0 1 moves e2e4", std::nullopt},
        // Without "fen " the game starts from the start position.
        {"position fen", start},
    };
    for (const auto& [line, fen] : cases) EXPECT_EQ(fen_before_last_move(line), fen) << line;
}

TEST(PositionLine, SideToMoveAfterAPositionLine) {
    const std::pair<const char*, bool> cases[] = {
        {"position startpos", true},
        {"position startpos moves e2e4", false},
        {"position startpos moves e2e4  e7e5", true},
        {"position startpos moves", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3 b - - 0 1", false},
        {"position fen 4k3/8/8/8/8/8/8/4K3 b - - 0 1 moves e8d8", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1 moves e1d1 e8d8 d1c1", false},
        // The side is the character before the second space, as the board's setup is told it.
        {"position fen 4k3/8/8/8/8/8/8/4K3 wb - - 0 1", false},
        {"position fen 4k3/8/8/8/8/8/8/4K3 bw - - 0 1", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3 wb - - 0 1 moves e8d8", true},
        // Texts that the setup refuses ("fen error") leave White to move.
        {"position fen 4k3/8/8/8/8/8/8/4K3 b", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3  b - - 0 1", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3 B - - 0 1", true},
        {"position fen 4k3/8/8/8/8/8/8/4K3", true},
    };
    for (const auto& [line, white] : cases) EXPECT_EQ(white_to_move_after(line, read_position_line(line)), white) << line;
}

TEST(PositionLine, FenSideLetter) {
    const std::pair<const char*, std::optional<char>> cases[] = {
        {"8/8/8/8/8/8/8/8 w - - 0 1", 'w'}, {"8/8/8/8/8/8/8/8 wb - -", 'b'}, {"8/8/8/8/8/8/8/8  w -", ' '},
        {"8/8/8/8/8/8/8/8 b", std::nullopt}, {"8/8/8/8/8/8/8/8", std::nullopt}, {"", std::nullopt},
    };
    for (const auto& [fen, letter] : cases) EXPECT_EQ(fen_side_letter(fen), letter) << fen;
}

}  // namespace
}  // namespace osa
