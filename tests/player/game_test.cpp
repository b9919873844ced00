// A whole game through Quillrand: the GUI's engine plays White, the human plays Black on the
// board. The GUI sends the game so far before each "go"; the board reports each of the human's
// moves as a line ended by LF, followed by the end-of-reply character.
#include "player_session.h"

#include <gtest/gtest.h>

namespace osatest {
namespace {

struct FullMove {
    const char* white;         // the GUI's move, as the GUI sends it
    const char* board_move;    // the same move as the board is told it
    const char* report;        // the human's answer as the board reports it
    const char* black;         // the answer as the GUI must receive it
};

// Castling on both sides, captures, a promotion with capture, and a takeback before the human's
// 16th move.
const FullMove game[] = {
    {"e2e4", "e2-e4", "e7-e5", "e7e5"},
    {"g1f3", "g1-f3", "Nb8-c6", "b8c6"},
    {"f1c4", "f1-c4", "Ng8-f6", "g8f6"},
    {"d2d3", "d2-d3", "Bf8-c5", "f8c5"},
    {"e1g1", "e1-g1", "O-O", "e8g8"},
    {"c2c3", "c2-c3", "d7-d6", "d7d6"},
    {"b1d2", "b1-d2", "h7-h5", "h7h5"},
    {"a2a4", "a2-a4", "h5-h4", "h5h4"},
    {"b2b4", "b2-b4", "Bc5-b6", "c5b6"},
    {"a4a5", "a4-a5", "Bb6xa5", "b6a5"},
    {"b4a5", "b4-a5", "Nc6xa5", "c6a5"},
    {"c1a3", "c1-a3", "h4-h3", "h4h3"},
    {"d1c2", "d1-c2", "h3xg2", "h3g2"},
    {"a1b1", "a1-b1", "g2xf1/Q+", "g2f1q"},
    {"d2f1", "d2-f1", "Bc8-e6", "c8e6"},
    {"f1e3", "f1-e3", "Na5-c6", "a5c6"},
    {"b1b7", "b1-b7", "Ra8-b8", "a8b8"},
    {"b7b8", "b7-b8", "Qd8xb8", "d8b8"},
    {"a3d6", "a3-d6", "c7xd6", "c7d6"},
    {"c2a4", "c2-a4", "Be6-d7", "e6d7"},
    {"g1g2", "g1-g2", "Kg8-h7", "g8h7"},
    {"h2h4", "h2-h4", "Qb8-b2", "b8b2"},
};
constexpr std::size_t takeback_before = 15;

std::string report_bytes(const std::string& text) { return text + "\r\n" + eor; }

TEST(Game, TheHumanPlaysBlackThroughAWholeGame) {
    PlayerSession session;
    session.program.send_line("uci");
    for (const auto& text : identification) EXPECT_EQ(session.program.next_line(), text);
    session.board.expect("NEWGAME", "New Game" + eor);
    EXPECT_EQ(session.program.next_line(), "uciok");
    session.program.send_line("isready");
    EXPECT_EQ(session.program.next_line(), "readyok");
    session.program.send_line("ucinewgame");
    session.board.expect("NEWGAME");
    std::string moves = "position startpos moves";
    for (std::size_t i = 0; i < std::size(game); ++i) {
        const FullMove& move = game[i];
        moves += std::string(" ") + move.white;
        session.program.send_line(moves);
        session.program.send_line("go wtime 300000 btime 300000");
        expect_hand_over(session.board, move.board_move);
        session.board.expect("ANALYSIS");
        if (i == takeback_before) session.board.send(report_bytes("Takeback"));
        session.board.send(report_bytes(move.report));
        ASSERT_EQ(session.program.next_line(), std::string("bestmove ") + move.black) << "move " << i + 1;
        moves += std::string(" ") + move.black;
    }
    EXPECT_TRUE(session.board.stays_silent(100ms));
    session.program.send_line("quit");
    EXPECT_EQ(session.board.next_command(), "CLOSE");
    EXPECT_EQ(session.program.wait_exit(), 0);
    EXPECT_EQ(session.program.rest_of_output(), "");
}

}  // namespace
}  // namespace osatest
