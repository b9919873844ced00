// Quillrand's "go": the hand-over of the GUI's move, the reading of the human's move on the board
// and the "bestmove" line.
#include "player_session.h"

#include <gtest/gtest.h>

namespace osatest {
namespace {

using Clock = std::chrono::steady_clock;

// A new game in which the GUI's side has moved e2e4, so that the human plays Black.
void start_game_as_black(PlayerSession& session) {
    session.program.send_line("ucinewgame");
    session.program.send_line("position startpos moves e2e4");
    session.program.send_line("go");
    session.board.expect("NEWGAME");
    expect_hand_over(session.board, "e2-e4");
}

// The human's move in a report that ends with LF, the terminator while the human plays Black.
std::string black_report(const std::string& move) { return move + "\r\n"; }

struct FirstGoCase {
    const char* name;
    const char* settings;
    bool flip_command;
    bool with_flip;  // the longer hand-over, which uses the last move up
};

void PrintTo(const FirstGoCase& c, std::ostream* out) { *out << c.name; }

class FirstGoWithALastMove : public testing::TestWithParam<FirstGoCase> {};

TEST_P(FirstGoWithALastMove, HandsOverAndLetsTheHumanPlayBlack) {
    const FirstGoCase& c = GetParam();
    PlayerSession session(c.settings);
    if (c.flip_command) session.program.send_line("flip");
    session.program.send_line("ucinewgame");
    session.program.send_line("position startpos moves e2e4");
    session.program.send_line("go");
    session.board.expect("NEWGAME");
    if (c.with_flip) expect_hand_over_with_flip(session.board, "e2-e4");
    else expect_hand_over(session.board, "e2-e4");
    EXPECT_EQ(human_plays(session, black_report("e7-e5")), "bestmove e7e5");
    // A second "go" without a "position " line: the plain hand-over left the move for it.
    session.program.send_line("go");
    if (!c.with_flip) expect_hand_over(session.board, "e2-e4");
    EXPECT_EQ(human_plays(session, black_report("O-O")), "bestmove e8g8");
}

INSTANTIATE_TEST_SUITE_P(Flip, FirstGoWithALastMove,
                         testing::Values(FirstGoCase{"FlipInSettings", "flip=1\n", false, true},
                                         FirstGoCase{"FlipCommand", "", true, true},
                                         FirstGoCase{"FlipOfTwo", "flip=2\n", false, false},
                                         FirstGoCase{"NoFlip", "", false, false}),
                         [](const testing::TestParamInfo<FirstGoCase>& info) { return std::string(info.param.name); });

TEST(MoveExchange, FirstGoWithoutALastMoveOnlyAsksForAnalysis) {
    PlayerSession session("flip=1\n");
    session.program.send_line("ucinewgame");
    session.program.send_line("position startpos");
    session.program.send_line("go");
    session.board.expect("NEWGAME");
    session.board.expect("ANALYSIS");
    // The human plays White: the report ends with the end-of-reply character, not with LF.
    session.board.send("e2-e4\r\n");
    EXPECT_TRUE(session.program.silent_for(300ms));
    session.board.send(eor);
    EXPECT_EQ(session.program.next_line(), "bestmove e2e4");
    // That "go" was the first of the game: the next one is a plain hand-over, and the human still
    // plays White.
    session.program.send_line("position startpos moves e2e4 e7e5");
    session.program.send_line("go");
    expect_hand_over(session.board, "e7-e5");
    session.board.expect("ANALYSIS");
    session.board.send("g1-f3\n");
    EXPECT_TRUE(session.program.silent_for(300ms));
    session.board.send(eor);
    EXPECT_EQ(session.program.next_line(), "bestmove g1f3");
}

TEST(MoveExchange, TheBoardSettlesBeforeNormalAndItsChatterIsDiscarded) {
    PlayerSession session;
    session.program.send_line("position startpos moves d2d4");
    session.program.send_line("go");
    expect_commands(session.board, {"BOARD OFF", "MOVE d2-d4"});
    // Chatter that would otherwise answer "NORMAL" and "ANALYSIS" and pass for the human's move.
    session.board.expect("BOARD ON", eor + eor + eor + "g8-f6" + eor);
    const auto start = Clock::now();
    session.board.expect("NORMAL");
    const auto pause = Clock::now() - start;
    EXPECT_GE(pause, 1500ms);
    EXPECT_LT(pause, 3000ms);
    EXPECT_EQ(human_plays(session, "d7-d5" + eor), "bestmove d7d5");
}

struct ConversionCase {
    const char* report;
    const char* bestmove;
};

TEST(MoveExchange, ConversionTableWhileTheHumanPlaysWhite) {
    const ConversionCase cases[] = {
        {"e2-e4", "bestmove e2e4"},     {"e4xd5", "bestmove e4d5"},     {"O-O", "bestmove e1g1"},
        {"O-O-O", "bestmove e1c1"},     {"e7-e8/Q", "bestmove e7e8q"},  {"\r\n>Nb1-c3\x01", "bestmove b1c3"},
        {"b2xa1/N", "bestmove b2a1n"},  {"Ng8-f6", "bestmove g8f6"},
    };
    PlayerSession session;
    for (const auto& c : cases) {
        session.program.send_line("position startpos");
        session.program.send_line("go");
        // Written in two pieces, the line arrives whole all the same.
        EXPECT_EQ(human_plays(session, c.report + eor), c.bestmove);
    }
}

TEST(MoveExchange, ConversionTableWhileTheHumanPlaysBlack) {
    const ConversionCase cases[] = {
        {"Ng8-f6", "bestmove g8f6"},    {"e4xd5", "bestmove e4d5"},  {"O-O", "bestmove e8g8"},
        {"O-O-O", "bestmove e8c8"},     {"b2xa1/N", "bestmove b2a1n"}, {"e2-e1/R", "bestmove e2e1r"},
        {">c7-c5\x17", "bestmove c7c5"},
    };
    PlayerSession session;
    start_game_as_black(session);
    EXPECT_EQ(human_plays(session, black_report("e7-e5")), "bestmove e7e5");
    for (const auto& c : cases) {
        session.program.send_line("position startpos");
        session.program.send_line("go");
        EXPECT_EQ(human_plays(session, black_report(c.report)), c.bestmove);
    }
}

TEST(MoveExchange, TakebackWhileTheHumanPlaysWhite) {
    PlayerSession session;
    session.program.send_line("go");
    // The rest of the takeback report runs up to LF and is skipped, a move in it included.
    EXPECT_EQ(human_plays(session, "Takeback" + eor + "e2-e4\r\n" + "d2-d4" + eor), "bestmove d2d4");
    session.program.send_line("go");
    // "Takeback" is looked for once: a second one is only a report without a move.
    EXPECT_EQ(human_plays(session, "Takeback" + eor + "\n" + "Takeback" + eor + "c2-c4" + eor), "bestmove c2c4");
}

TEST(MoveExchange, TakebackWhileTheHumanPlaysBlack) {
    PlayerSession session;
    start_game_as_black(session);
    // The rest of the takeback report runs up to the end-of-reply character and is skipped.
    EXPECT_EQ(human_plays(session, "Takeback\r\ne7-e5\r\n" + eor + "c7-c5\r\n"), "bestmove c7c5");
    session.program.send_line("go");
    expect_hand_over(session.board, "e2-e4");
    EXPECT_EQ(human_plays(session, "  Takeback  \r\n" + eor + "O-O-O\r\n"), "bestmove e8c8");
}

TEST(MoveExchange, ReportsWithoutAMoveAreReadPast) {
    PlayerSession session;
    for (const char* report : {"", "Illegal", "-e4", "e-e4", "e2-", "0-0", "x"}) {
        session.program.send_line("go");
        session.board.expect("ANALYSIS");
        session.board.send(report + eor);
        EXPECT_TRUE(session.program.silent_for(100ms)) << report;
        session.board.send("g1-f3" + eor);
        EXPECT_EQ(session.program.next_line(), "bestmove g1f3") << report;
    }
    start_game_as_black(session);
    EXPECT_EQ(human_plays(session, std::string("\r\n") + eor + "Wait\r\nBf8xb4\r\n"), "bestmove f8b4");
}

TEST(MoveExchange, UciAndUcinewgameLetTheNextGameStartWithTheHumanAsWhite) {
    for (const char* reset : {"ucinewgame", "uci"}) {
        PlayerSession session;
        start_game_as_black(session);
        EXPECT_EQ(human_plays(session, black_report("e7-e5")), "bestmove e7e5");
        session.program.send_line(reset);
        session.program.send_line("position startpos");
        session.program.send_line("go");
        session.board.expect("NEWGAME", "New Game" + eor);
        if (std::string(reset) == "uci") {
            for (const auto& text : identification) EXPECT_EQ(session.program.next_line(), text);
            EXPECT_EQ(session.program.next_line(), "uciok");
        }
        session.board.expect("ANALYSIS");
        session.board.send("O-O\n");
        EXPECT_TRUE(session.program.silent_for(300ms)) << reset;
        session.board.send(eor);
        EXPECT_EQ(session.program.next_line(), "bestmove e1g1") << reset;
    }
}

TEST(MoveExchange, LinesSentWhileTheHumanThinksComeAfterBestmoveInOrder) {
    PlayerSession session;
    session.program.send_line("go");
    session.board.expect("ANALYSIS");
    for (const char* line : {"stop", "isready", "position startpos moves e2e4 e7e5", "ucinewgame", "isready", "board"})
        session.program.send_line(line);
    EXPECT_TRUE(session.board.stays_silent(300ms));
    EXPECT_TRUE(session.program.silent_for(50ms));
    session.board.send("e2-e4" + eor);
    EXPECT_EQ(session.program.next_line(), "bestmove e2e4");
    EXPECT_EQ(session.program.next_line(), "readyok");
    session.board.expect("NEWGAME");
    EXPECT_EQ(session.program.next_line(), "readyok");
    session.board.expect("POSITION", "listing" + eor);
    EXPECT_EQ(session.program.next_line(), "listing");
}

TEST(MoveExchange, TheEndOfInputDuringAMoveStillGivesBestmoveThenCloses) {
    PlayerSession session;
    session.program.send_line("go");
    session.program.close_input();
    session.board.expect("ANALYSIS");
    session.board.send("e2-e4" + eor);
    EXPECT_EQ(session.program.next_line(), "bestmove e2e4");
    EXPECT_EQ(session.board.next_command(), "CLOSE");
    EXPECT_EQ(session.program.wait_exit(), 0);
}

}  // namespace
}  // namespace osatest
