// Dorvane run as a GUI runs it, against a scripted board: exact board commands, exact UCI lines.
#include "harness.h"

#include <gtest/gtest.h>

#include <thread>

namespace osatest {
namespace {

using Clock = std::chrono::steady_clock;

const std::string ack = std::string(">") + etb;

std::string report(const std::string& depth, const std::string& score, const std::string& tail) {
    auto pad = [](const std::string& text, std::size_t width) { return std::string(width - text.size(), ' ') + text; };
    return "Sendinfo" + std::string(9, ' ') + pad(depth, 2) + " " + pad(score, 6) + "  " + tail + etb;
}

// Dorvane after its opening dialogue, waiting for its first UCI line.
struct Converter {
    explicit Converter(const std::string& settings = "") {
        dir.write_file("osa.ini", settings);
        program.emplace(start_on_board("Dorvane", board, dir));
        EXPECT_EQ(board.next_command(), "ENGLISH");
        board.expect("OPEN", "Emulated board" + ack);
        EXPECT_EQ(program->next_line(), "info string Emulated board");
        board.expect("BOARD OFF", ack);
        board.expect("SENDINFO OFF", ack);
        if (settings.find("level=") != std::string::npos) (void)board.next_command(), board.send(ack);
    }
    ~Converter() {
        if (program) {
            program->send_line("quit");
            EXPECT_EQ(board.next_command(), "CLOSE");
            EXPECT_EQ(program->wait_exit(), 0);
        }
    }
    // Answers one poll: the SENDINFO command, with the given reply.
    void poll(const std::string& reply) { board.expect("SENDINFO", reply); }

    ScriptedBoard board;
    WorkDir dir;
    std::optional<RunningProgram> program;
};

TEST(SearchRelay, TheWorkedExampleLineForLine) {
    Converter c;
    c.program->send_line("position startpos moves e2e4");
    c.program->send_line("go wtime 300 btime 300");
    c.board.expect("MOVE e2-e4", "e2-e4" + ack);
    std::vector<Clock::duration> intervals;
    auto answered = Clock::now();
    auto timed_poll = [&](const std::string& reply) {
        EXPECT_EQ(c.board.next_command(), "SENDINFO");
        intervals.push_back(Clock::now() - answered);
        c.board.send(reply);
        answered = Clock::now();
    };
    timed_poll(report(" 4", "   -15", "e7-e5 g1-f3"));
    EXPECT_EQ(c.program->next_line(), "info depth 4 score cp -15 pv e7-e5 g1-f3");
    timed_poll(report("5", "-10", "e7-e5 g1-f3"));
    timed_poll(report("6", "-8", "c7-c5 g1-f3 d7-d6"));
    EXPECT_EQ(c.program->next_line(), "info depth 6 score cp -8 pv c7-c5 g1-f3 d7-d6");
    timed_poll(report("6", "-8", "c7-c5 g1-f3 d7-d6."));
    c.board.expect("MOVE c7-c5", ack);
    EXPECT_EQ(c.program->next_line(), "bestmove c7c5");
    for (const auto interval : intervals) {
        EXPECT_GE(interval, 740ms);
        EXPECT_LT(interval, 1500ms);
    }
}

TEST(SearchRelay, PlayOrTheGuisMoveStartsTheSearch) {
    Converter c;
    const std::pair<const char*, const char*> cases[] = {
        {"position startpos", "PLAY"},
        {"position startpos moves e2e4 e7e5 g1f3", "MOVE g1-f3"},
        {"", "PLAY"},  // a second "go" without a new position: the move was handed over already
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1", "MOVE e1-g1"},
        {"position startpos moves e2e4 e7e5 g1f3 b8c6 e7e8Q", "MOVE 7e-8Q"},
    };
    for (const auto& [position, start] : cases) {
        if (*position) c.program->send_line(position);
        c.program->send_line("go");
        c.board.expect(start, ack);
        c.poll(report("1", "0", "d7-d6."));
        c.board.expect("MOVE d7-d6", ack);
        // Every search starts with no PV written, so its final report is new.
        EXPECT_EQ(c.program->next_line(), "info depth 1 score cp 0 pv d7-d6");
        EXPECT_EQ(c.program->next_line(), "bestmove d7d6");
    }
}

TEST(SearchRelay, ReportsThatDoNotEndTheSearch) {
    Converter c;
    c.program->send_line("position startpos moves e2e4");
    c.program->send_line("go infinite");
    c.board.expect("MOVE e2-e4", ack);
    c.poll("No search running." + std::string(1, etb));   // ends with "." but is no report
    c.poll(report("2", "5", "."));                      // a final dot with no move; its empty PV is not new
    c.poll(std::string("Sendinfo short") + etb);        // a short report has an empty PV too
    c.poll(report("", "", "e7-e5"));                    // blank depth and score
    EXPECT_EQ(c.program->next_line(), "info depth  score cp  pv e7-e5");
    c.poll(std::string("Sendinfo short") + etb);        // empty PV again, now new
    EXPECT_EQ(c.program->next_line(), "info depth  score cp  pv ");
    c.poll(report("3", "7", "e7 e5 g1-f3"));            // a first move that is too short
    EXPECT_EQ(c.program->next_line(), "info depth 3 score cp 7 pv e7 e5 g1-f3");
    c.poll("\r\n>junk\x01" + report("4", "9", "e7-e5 g1-f3."));  // not a report: does not start with the mark
    c.poll(report("4", "9", "e7-e5 g1-f3."));
    EXPECT_EQ(c.program->next_line(), "info depth 4 score cp 9 pv e7-e5 g1-f3");
    c.board.expect("MOVE e7-e5", ack);
    EXPECT_EQ(c.program->next_line(), "bestmove e7e5");
}

TEST(SearchRelay, UnaskedBytesBeforeAPollAreDrained) {
    Converter c;
    c.program->send_line("go");
    c.board.expect("PLAY", ack + "chatter" + std::string(1, etb));
    c.poll(report("1", "0", "e2-e4."));
    c.board.expect("MOVE e2-e4", ack);
    EXPECT_EQ(c.program->next_line(), "info depth 1 score cp 0 pv e2-e4");
    EXPECT_EQ(c.program->next_line(), "bestmove e2e4");
}

struct SpecialMoveCase {
    const char* position;
    const char* tail;
    const char* board_move;
    const char* bestmove;
};

TEST(SearchRelay, CastlingAndPromotionGiveWellFormedMoves) {
    const SpecialMoveCase cases[] = {
        {"position startpos moves e2e4 e7e5", "O-O.", "O-O", "e1g1"},
        {"position startpos moves e2e4", "O-O g1-f3.", "O-O", "e8g8"},
        {"position startpos moves e2e4 e7e5", "O-O-O d7-d6.", "O-O-O", "e1c1"},
        {"position fen r3k3/8/8/8/8/8/8/4K3 b q - 0 1", "O-O-O.", "O-O-O", "e8c8"},
        {"position fen 4k3/8/8/8/8/8/8/4K2R w K - 0 1 moves e1f1 e8d8 f1e1 d8e8", "O-O.", "O-O", "e1g1"},
        {"position fen 4k3/P7/8/8/8/8/8/4K3 b - - 0 1 moves e8d7", "a7-a8/Q d7-d6.", "a7-a8/Q", "a7a8q"},
        {"position startpos", "e7-e8/N.", "e7-e8/N", "e7e8n"},
        // A check sign after castling; the board is given its move back as it wrote it.
        {"position startpos moves e2e4 e7e5", "O-O+ d7-d6.", "O-O+", "e1g1"},
        {"position startpos moves e2e4", "O-O-O#.", "O-O-O#", "e8c8"},
        // The side to move is the letter before the FEN's second space, as the board's setup has it.
        {"position fen r3k3/8/8/8/8/8/8/4K3 wb q - 0 1", "O-O-O+.", "O-O-O+", "e8c8"},
        {"position fen 4k3/8/8/8/8/8/8/4K2R bw K - 0 1", "O-O.", "O-O", "e1g1"},
    };
    for (const auto& t : cases) {
        Converter c;
        c.program->send_line(t.position);
        c.program->send_line("go");
        if (std::string_view(t.position).find("fen") != std::string_view::npos) {
            c.board.expect("SETUP", ack);
            c.board.expect("FUNCTION NEW", ack);
            for (std::string command = c.board.next_command(); command != "BOARD OFF"; command = c.board.next_command())
                c.board.send(ack);
            c.board.send(ack);
            c.board.expect("NORMAL", ack);
        }
        (void)c.board.next_command();
        c.board.send(ack);
        c.poll(report("5", "40", t.tail));
        (void)c.program->next_line();
        c.board.expect(std::string("MOVE ") + t.board_move, ack);
        EXPECT_EQ(c.program->next_line(), std::string("bestmove ") + t.bestmove) << t.position;
    }
}

TEST(SearchRelay, TheSideToMoveChangesWithEveryBestmove) {
    Converter c;
    c.program->send_line("position startpos");
    for (const char* expected : {"e1g1", "e8g8", "e1g1"}) {
        c.program->send_line("go");
        c.board.expect("PLAY", ack);
        c.poll(report("1", "0", "O-O."));
        (void)c.program->next_line();
        c.board.expect("MOVE O-O", ack);
        EXPECT_EQ(c.program->next_line(), std::string("bestmove ") + expected);
    }
}

TEST(SearchRelay, LinesSentDuringASearchAreHandledAfterBestmoveInOrder) {
    Converter c;
    c.program->send_line("go");
    c.board.expect("PLAY", ack);
    std::string queued;
    for (int i = 0; i < 100; ++i) queued += "isready\n";
    queued += "stop\nboard\n";
    c.program->send_raw(queued);
    c.poll(report("1", "0", "e2-e4"));
    EXPECT_EQ(c.program->next_line(), "info depth 1 score cp 0 pv e2-e4");
    EXPECT_TRUE(c.program->silent_for(300ms));
    c.poll(report("2", "0", "e2-e4."));
    c.board.expect("MOVE e2-e4", ack);
    EXPECT_EQ(c.program->next_line(), "bestmove e2e4");
    for (int i = 0; i < 100; ++i) ASSERT_EQ(c.program->next_line(), "readyok") << i;
    c.board.expect("POSITION", "8 r n b\r\n7 p p p" + ack);
    EXPECT_EQ(c.program->next_line(), "8 r n b");
    EXPECT_EQ(c.program->next_line(), "7 p p p");
}

struct NameCase {
    const char* settings;
    std::vector<std::string> identification;
};

TEST(CommandLoop, UciNamesTheEngineAsConfigured) {
    const NameCase cases[] = {
        {"", {"id name Dorvane V1.2", "id author Jorvik Tamsel"}},
        {"name=Board7\nmodul=Mod2\n", {"id name Board7 with Mod2"}},
        {"name = Board 7\n", {"id name Board7"}},
        {"modul=Mod2\n", {"id name  with Mod2"}},
    };
    for (const auto& t : cases) {
        Converter c(t.settings);
        c.program->send_line("  uci  ");
        for (const auto& line : t.identification) EXPECT_EQ(c.program->next_line(), line);
        EXPECT_EQ(c.program->next_line(), "option name OwnBook type check default true");
        c.board.expect("NEWGAME", "\r\nNew Game\r\n" + ack);
        EXPECT_EQ(c.program->next_line(), "uciok");
    }
}

TEST(CommandLoop, NoUciokWithoutNewGameAndOtherCommandsOnTheirOwn) {
    Converter c;
    for (const char* ignored : {"UCI", "Uci", "uci\t", "stop", "ponderhit", "setoption name OwnBook value false",
                                "position", "position startpos moves", "g", "SETLEVEL 7", "Quit"})
        c.program->send_line(ignored);
    c.program->send_line("uci");
    for (int i = 0; i < 3; ++i) (void)c.program->next_line();
    c.board.expect("NEWGAME", "new game" + ack);
    c.program->send_line("isready");
    EXPECT_EQ(c.program->next_line(), "readyok");
    c.program->send_line("ucinewgame");
    c.board.expect("NEWGAME", ack);
    c.program->send_line("setlevel");
    c.board.expect("setlevel", "Level 1" + ack);
    EXPECT_EQ(c.program->next_line(), "Level 1");
    c.program->send_line("setlevel 7");
    c.board.expect("setlevel 7", ack);
    EXPECT_EQ(c.program->next_line(), "");
    c.program->send_line("board");
    c.board.expect("POSITION", ack);
    EXPECT_EQ(c.program->next_line(), "");
    c.program->send_line("isready");
    EXPECT_EQ(c.program->next_line(), "readyok");
    EXPECT_TRUE(c.board.stays_silent(100ms));
}

TEST(CommandLoop, AFenIsSetUpOnlyWhenItIsNew) {
    Converter c;
    const std::string a = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1";
    c.program->send_line("position fen " + a);
    c.board.expect("SETUP", ack);
    c.board.expect("FUNCTION NEW", ack);
    c.board.expect("POSITION WHITE BKe8", ack);
    c.board.expect("POSITION WHITE WPe2", ack);
    c.board.expect("POSITION WHITE WKe1", ack);
    c.board.expect("BOARD OFF", ack);
    c.board.expect("NORMAL", ack);
    c.program->send_line("ucinewgame");
    c.board.expect("NEWGAME", ack);
    c.program->send_line("position fen " + a + " moves e2e4");
    c.program->send_line("position startpos moves e2e4");
    c.program->send_line("position fen " + a);
    c.program->send_line("position fen 8/8/8/8/8/8/8/8 w");
    EXPECT_EQ(c.program->next_line(), "fen error");
    c.program->send_line("position fen 8/8/8/8/8/8/8/8 w");
    c.program->send_line("isready");
    EXPECT_EQ(c.program->next_line(), "readyok");
    EXPECT_TRUE(c.board.stays_silent(100ms));
}

// With "pv=uci" the GUI gets the variation in UCI notation; everything else stays as without it.
TEST(SearchRelay, UciPvSettingWritesTheVariationInUciNotation) {
    Converter c("pv=uci\r\n");
    c.program->send_line("position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6");
    c.program->send_line("go");
    c.board.expect("MOVE g8-f6", ack);
    c.poll(report("4", "25", "O-O f8-c5 d2-d3 d7-d6"));
    EXPECT_EQ(c.program->next_line(), "info depth 4 score cp 25 pv e1g1 f8c5 d2d3 d7d6");
    c.poll(report("4", "30", "O-O f8-c5 d2-d3 d7-d6"));  // the same variation: no line
    c.poll(report("5", "40", "c4xf7+ e8xf7 f3-g5+ f7-g8 xx-yy d1-f3"));
    EXPECT_EQ(c.program->next_line(), "info depth 5 score cp 40 pv c4f7 e8f7 f3g5 f7g8");
    c.poll(report("5", "40", "Book"));
    EXPECT_EQ(c.program->next_line(), "info depth 5 score cp 40");
    c.poll(report("6", "35", "O-O O-O."));
    EXPECT_EQ(c.program->next_line(), "info depth 6 score cp 35 pv e1g1 e8g8");
    c.board.expect("MOVE O-O", ack);
    EXPECT_EQ(c.program->next_line(), "bestmove e1g1");
}

}  // namespace
}  // namespace osatest
