// A whole game through Dorvane: the board computer plays White, castles and promotes; every board
// command, info line and bestmove is checked in order.
#include "chess.h"
#include "harness.h"

#include <gtest/gtest.h>

namespace osatest {
namespace {

struct Ply {
    const char* uci;         // as the GUI writes it
    const char* board_text;  // as the board writes it in its reports
};

// White is the board computer, Black the GUI's side.
const Ply game[] = {
    {"b1c3", "b1-c3"}, {"b8a6", "b8-a6"}, {"g1f3", "g1-f3"}, {"d7d6", "d7-d6"}, {"d2d4", "d2-d4"},
    {"f7f5", "f7-f5"}, {"e2e4", "e2-e4"}, {"d8d7", "d8-d7"}, {"f1b5", "f1-b5"}, {"a6b4", "a6-b4"},
    {"b5d7", "b5xd7"}, {"c8d7", "c8xd7"}, {"a2a3", "a2-a3"}, {"a8b8", "a8-b8"}, {"a3b4", "a3xb4"},
    {"b7b5", "b7-b5"}, {"a1a7", "a1xa7"}, {"d6d5", "d6-d5"}, {"e4d5", "e4xd5"}, {"b8c8", "b8-c8"},
    {"e1g1", "O-O"},   {"g7g5", "g7-g5"}, {"c1g5", "c1xg5"}, {"f8g7", "f8-g7"}, {"d1d3", "d1-d3"},
    {"g7f6", "g7-f6"}, {"c3b5", "c3xb5"}, {"f6d4", "f6xd4"}, {"b5d4", "b5xd4"}, {"h7h6", "h7-h6"},
    {"g5d2", "g5-d2"}, {"e8f8", "e8-f8"}, {"d4f5", "d4xf5"}, {"c7c6", "c7-c6"}, {"a7d7", "a7xd7"},
    {"c8a8", "c8-a8"}, {"d5c6", "d5xc6"}, {"a8a5", "a8-a5"}, {"b4a5", "b4xa5"}, {"e7e6", "e7-e6"},
    {"c6c7", "c6-c7"}, {"e6e5", "e6-e5"}, {"c7c8q", "c7-c8/Q"},
};

const std::string ack = std::string(">") + etb;

std::string report(int depth, int score, const std::string& tail) {
    auto pad = [](const std::string& text, std::size_t width) { return std::string(width - text.size(), ' ') + text; };
    return "Sendinfo    12345" + pad(std::to_string(depth), 2) + " " + pad(std::to_string(score), 6) + "  " + tail +
           "\r\n" + ack;
}

TEST(ConverterGame, TheBoardComputerCastlesAndPromotes) {
    // The game itself is legal.
    osa::chess::Position position;
    for (const Ply& ply : game) {
        bool legal = false;
        for (const auto& move : position.legal_moves())
            if (osa::chess::uci_text(move) == ply.uci) {
                position.make(move);
                legal = true;
                break;
            }
        ASSERT_TRUE(legal) << ply.uci;
    }

    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_on_board("Dorvane", board, dir);
    EXPECT_EQ(board.next_command(), "ENGLISH");
    board.expect("OPEN", "Emulated board" + ack);
    EXPECT_EQ(program.next_line(), "info string Emulated board");
    board.expect("BOARD OFF", ack);
    board.expect("SENDINFO OFF", ack);
    program.send_line("uci");
    for (const char* line : {"id name Dorvane V1.2", "id author Jorvik Tamsel", "option name OwnBook type check default true"})
        EXPECT_EQ(program.next_line(), line);
    board.expect("NEWGAME", "New Game" + ack);
    EXPECT_EQ(program.next_line(), "uciok");
    program.send_line("ucinewgame");
    board.expect("NEWGAME", ack);

    std::string moves;
    int white_moves = 0;
    for (std::size_t i = 0; i < std::size(game); i += 2, ++white_moves) {
        program.send_line("position startpos" + (moves.empty() ? "" : " moves" + moves));
        program.send_line("go wtime 60000 btime 60000");
        if (i == 0) {
            board.expect("PLAY", ack);
        } else {
            const std::string gui_move = game[i - 1].uci;
            board.expect("MOVE " + gui_move.substr(0, 2) + "-" + gui_move.substr(2), ack);
        }
        const std::string own = game[i].board_text;
        const std::string reply = i + 1 < std::size(game) ? game[i + 1].board_text : "a5-a4";
        // A first iteration; now and then a deeper one with a longer variation; the final report.
        board.expect("SENDINFO", report(2, 10 + white_moves, own));
        EXPECT_EQ(program.next_line(), "info depth 2 score cp " + std::to_string(10 + white_moves) + " pv " + own);
        if (white_moves % 4 == 0) {
            board.expect("SENDINFO", report(3, 20, own + " " + reply));
            EXPECT_EQ(program.next_line(), "info depth 3 score cp 20 pv " + own + " " + reply);
        }
        board.expect("SENDINFO", report(4, 25, own + " " + reply + "."));
        if (white_moves % 4 != 0) {
            EXPECT_EQ(program.next_line(), "info depth 4 score cp 25 pv " + own + " " + reply);
        }
        board.expect("MOVE " + own, ack);
        EXPECT_EQ(program.next_line(), std::string("bestmove ") + game[i].uci) << own;
        moves += std::string(" ") + game[i].uci;
        if (i + 1 < std::size(game)) moves += std::string(" ") + game[i + 1].uci;
    }
    EXPECT_EQ(white_moves, 22);
    program.send_line("quit");
    EXPECT_EQ(board.next_command(), "CLOSE");
    EXPECT_EQ(program.wait_exit(), 0);
}

}  // namespace
}  // namespace osatest
