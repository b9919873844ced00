// Quillrand's UCI command loop: what each line makes it send to the board and write to the GUI.
#include "player_session.h"

#include <gtest/gtest.h>

#include <thread>

namespace osatest {
namespace {

struct UciCase {
    const char* line;
    const char* reply;
    bool uciok;
};

TEST(CommandLoop, UciAnswerWithAndWithoutNewGame) {
    const UciCase cases[] = {
        {"uci", "New Game>", true},
        {"  uci  ", "\r\n  New Game\r\n", true},
        {"uci", "new game", false},
        {"uci", "New\r\nGame", false},
        {"uci", "", false},
    };
    for (const auto& c : cases) {
        PlayerSession session;
        session.program.send_line(c.line);
        for (const auto& text : identification) EXPECT_EQ(session.program.next_line(), text) << c.line;
        session.board.expect("NEWGAME", c.reply + eor);
        // "readyok" right after the identification shows that no "uciok" came.
        if (c.uciok) {
            EXPECT_EQ(session.program.next_line(), "uciok") << c.reply;
        }
        session.program.send_line("isready");
        EXPECT_EQ(session.program.next_line(), "readyok") << c.reply;
        EXPECT_TRUE(session.board.stays_silent(50ms));
    }
}

TEST(CommandLoop, UciStartsAGameEvenWithoutUciok) {
    PlayerSession session;
    session.program.send_line("uci");
    for (const auto& text : identification) EXPECT_EQ(session.program.next_line(), text);
    session.board.expect("NEWGAME", "busy" + eor);
    session.program.send_line("position startpos moves e2e4");
    session.program.send_line("go");
    expect_hand_over(session.board, "e2-e4");
    // The first "go" of the game came with a move, so the human plays Black: the report ends with LF.
    EXPECT_EQ(human_plays(session, "e7-e5\n"), "bestmove e7e5");
}

TEST(CommandLoop, UnknownLinesCauseNothing) {
    PlayerSession session;
    for (const char* line : {"UCI", "Uci", "uci\t", "", "   ", "stop", "setoption name OwnBook value false",
                             "position", "position ", "Position startpos", "\tgo", "Go", "ISREADY", "quit now",
                             "board\t", "flipped", "ucinewgame2", "ponderhit"})
        session.program.send_line(line);
    EXPECT_TRUE(session.board.stays_silent(300ms));
    EXPECT_TRUE(session.program.silent_for(50ms));
    session.program.send_line("quit");
    EXPECT_EQ(session.board.next_command(), "CLOSE");
    EXPECT_EQ(session.program.wait_exit(), 0);
    EXPECT_EQ(session.program.rest_of_output(), "");
}

TEST(CommandLoop, IsreadyNeedsNoUciAndNoBoard) {
    PlayerSession session;
    session.program.send_line("isready");
    session.program.send_line("   isready ");
    EXPECT_EQ(session.program.next_line(), "readyok");
    EXPECT_EQ(session.program.next_line(), "readyok");
    EXPECT_TRUE(session.board.stays_silent(100ms));
}

TEST(CommandLoop, UcinewgameAwaitsTheBoardAndWritesNothing) {
    PlayerSession session;
    session.program.send_line("ucinewgame");
    session.program.send_line("isready");
    EXPECT_EQ(session.board.next_command(), "NEWGAME");
    // Until the reply ends, the next line waits.
    EXPECT_TRUE(session.program.silent_for(200ms));
    session.board.send("New Game\r\n>" + eor);
    EXPECT_EQ(session.program.next_line(), "readyok");
}

TEST(CommandLoop, BoardListingKeepsItsLineBreaks) {
    PlayerSession session;
    session.program.send_line("board");
    session.board.expect("POSITION", "\r\n8 rnbqkbnr\x01\r\n7 pppp>pppp\n\r\n>" + eor);
    session.program.send_line("quit");
    EXPECT_EQ(session.board.next_command(), "CLOSE");
    EXPECT_EQ(session.program.rest_of_output(), "\r\n8 rnbqkbnr\r\n7 pppppppp\n\r\n\r\n");
}

TEST(CommandLoop, WaitingBoardBytesAreDiscardedBeforeEachCommand) {
    PlayerSession session;
    session.board.send("New Game" + eor);
    std::this_thread::sleep_for(100ms);
    session.program.send_line("uci");
    for (const auto& text : identification) EXPECT_EQ(session.program.next_line(), text);
    session.board.expect("NEWGAME", "busy" + eor);
    session.program.send_line("isready");
    EXPECT_EQ(session.program.next_line(), "readyok");
}

TEST(CommandLoop, EveryLineBeginningWithGoStartsTheExchange) {
    for (const char* line : {"go", "go infinite", "go depth 5", "  go wtime 1000 btime 1000 ", "gopher"}) {
        PlayerSession session;
        session.program.send_line(line);
        EXPECT_EQ(human_plays(session, "e2-e4" + eor), "bestmove e2e4") << line;
    }
}

const std::string first_fen = "4k3/P7/8/8/8/8/8/4K3 w - - 0 1";
const std::vector<std::string> first_setup = {"SETUP",           "FUNCTION NEW",    "POSI WHITE BKe8",
                                              "POSI WHITE WPa7", "POSI WHITE WKe1", "BOARD OFF", "NORMAL"};
const std::string second_fen = "4k3/8/8/8/8/8/4P3/4K3 b - - 0 1";
const std::vector<std::string> second_setup = {"SETUP",           "FUNCTION NEW",    "POSI BLACK BKe8",
                                               "POSI BLACK WPe2", "POSI BLACK WKe1", "BOARD OFF", "NORMAL"};

struct FenStep {
    std::string line;
    std::vector<std::string> commands;  // sent to the board, in order
    std::vector<std::string> output;    // written to the GUI
};

TEST(CommandLoop, AFenIsSetUpOnlyWhenItIsNew) {
    const std::string bad_fen = "8/8/8/8/8/8/8/8 w";
    const FenStep steps[] = {
        {"position fen " + first_fen, first_setup, {}},
        {"position fen " + first_fen + " moves a7a8q", {}, {}},
        {"position fen   " + first_fen + "  ", {}, {}},
        {"ucinewgame", {"NEWGAME"}, {}},
        {"position fen " + first_fen, {}, {}},
        {"position fen " + second_fen + " moves e2e4", second_setup, {}},
        {"position fen " + first_fen, first_setup, {}},
        {"position fen " + bad_fen, {}, {"fen error"}},
        // The refused text has become the last FEN, as every new text does.
        {"position fen " + bad_fen, {}, {}},
        {"position fen 4k3/8/8/8/8/8/8/4K3 W - - 0 1", {}, {"fen error"}},
        {"position fen " + first_fen, first_setup, {}},
    };
    PlayerSession session;
    for (const auto& step : steps) {
        session.program.send_line(step.line);
        expect_commands(session.board, step.commands);
        EXPECT_TRUE(session.board.stays_silent(100ms)) << step.line;
        for (const auto& text : step.output) EXPECT_EQ(session.program.next_line(), text) << step.line;
        session.program.send_line("isready");
        EXPECT_EQ(session.program.next_line(), "readyok") << step.line;
    }
}

struct PositionCase {
    std::string line;
    std::vector<std::string> setup;  // the FEN setup the line causes
    std::string move;                // handed to the board by the next "go"; empty for none
};

// Each "go" hands the last move over, then the human answers; the flag of a new game is never set
// here, so every report ends with the end-of-reply character.
TEST(CommandLoop, PositionLinesLeaveTheLastMoveForGo) {
    const PositionCase cases[] = {
        {"position startpos", {}, ""},
        {"position startpos moves e2e4 e7e5", {}, "e7-e5"},
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1", {}, "e1-g1"},
        {"position", {}, "e1-g1"},  // no test matches: the last move stays
        {"position fen " + first_fen + " moves a7a8q", first_setup, "a7-a8/Q"},
        {"position fen " + first_fen, {}, ""},
        {"position startpos moves", {}, ""},
        {"position startpos moves e2e4 e7e8Q", {}, "7e-8Q"},
    };
    PlayerSession session;
    for (const auto& c : cases) {
        session.program.send_line(c.line);
        session.program.send_line("go");
        expect_commands(session.board, c.setup);
        if (!c.move.empty()) expect_hand_over(session.board, c.move);
        EXPECT_EQ(human_plays(session, "h7-h6" + eor), "bestmove h7h6") << c.line;
    }
}

}  // namespace
}  // namespace osatest
