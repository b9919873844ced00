// Faults from outside: a GUI that goes away, a board that vanishes or talks nonsense, huge input.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>

namespace osatest {
namespace {

const std::string ack = std::string(">") + etb;

std::string final_report(const std::string& move) {
    return "Sendinfo" + std::string(9, ' ') + " 3" + " " + "    12" + "  " + move + "." + etb;
}


// Plays one search of Dorvane's to its end.
void search(ScriptedBoard& board, RunningProgram& program, const std::string& move) {
    program.send_line("go");
    board.expect("PLAY", ack);
    board.expect("SENDINFO", final_report(move));
    board.expect("MOVE " + move, ack);
    EXPECT_EQ(program.next_line(), "info depth 3 score cp 12 pv " + move);
    EXPECT_EQ(program.next_line(), "bestmove " + std::string(move.substr(0, 2)) + move.substr(3, 2));
}

TEST(GuiFaults, InputClosedDuringASearchFinishesItThenCloses) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted("Dorvane", board, dir);
    program.send_line("go");
    board.expect("PLAY", ack);
    program.close_input();
    board.expect("SENDINFO", final_report("e2-e4"));
    board.expect("MOVE e2-e4", ack);
    EXPECT_EQ(board.next_command(), "CLOSE");
    EXPECT_EQ(program.wait_exit(), 0);
    EXPECT_EQ(program.rest_of_output(), "info depth 3 score cp 12 pv e2-e4\r\nbestmove e2e4\r\n");
}

TEST(GuiFaults, OutputClosedByTheGuiNeitherEndsNorSpinsTheProgram) {
    for (const char* name : {"Quillrand", "Dorvane"}) {
        ScriptedBoard board;
        WorkDir dir;
        RunningProgram program = start_greeted(name, board, dir);
        program.close_output();
        for (int i = 0; i < 50; ++i) program.send_line("isready");
        program.send_line("board");
        board.expect("POSITION", "listing" + ack);
        EXPECT_TRUE(command_line(program.pid()).starts_with(executable(name))) << command_line(program.pid());
        const auto before = cpu_time(program.pid());
        std::this_thread::sleep_for(500ms);
        EXPECT_LT(cpu_time(program.pid()) - before, 20ms) << name;
        program.send_line("quit");
        EXPECT_EQ(board.next_command(), "CLOSE") << name;
        EXPECT_EQ(program.wait_exit(), 0) << name;
    }
}

TEST(GuiFaults, AMegabyteLineIsReadWholeAndIgnoredOrUsed) {
    for (const char* name : {"Quillrand", "Dorvane"}) {
        ScriptedBoard board;
        WorkDir dir;
        RunningProgram program = start_greeted(name, board, dir);
        program.send_line(std::string(1 << 20, 'x'));
        std::string moves = "position startpos moves";
        while (moves.size() < (1 << 20)) moves += " g1f3 g8f6 f3g1 f6g8";
        program.send_line(moves + " e2e4");
        program.send_line("isready");
        EXPECT_EQ(program.next_line(10s), "readyok") << name;
        EXPECT_TRUE(board.stays_silent(100ms)) << name;
        // The last move of the long line is the one the board is given.
        program.send_line("go");
        if (std::string_view(name) == "Quillrand") board.expect("BOARD OFF", ack);
        board.expect("MOVE e2-e4", ack);
        if (std::string_view(name) == "Quillrand") continue;
        // Every move of the line counts for the side to move: after an odd number Black castles.
        board.expect("SENDINFO", final_report("O-O"));
        board.expect("MOVE O-O", ack);
        EXPECT_EQ(program.next_line(), "info depth 3 score cp 12 pv O-O");
        EXPECT_EQ(program.next_line(), "bestmove e8g8");
    }
}

TEST(BoardFaults, TheLineVanishingDuringAnyWaitEndsTheProgramAtOnce) {
    if (under_launcher()) GTEST_SKIP() << "Wine's ReadFile spins on a pseudo-terminal whose other end has closed";
    enum class During { search, fen_setup, board_listing, move_hand_over };
    const std::pair<const char*, During> cases[] = {
        {"Dorvane", During::search},         {"Dorvane", During::fen_setup},  {"Dorvane", During::board_listing},
        {"Quillrand", During::fen_setup},    {"Quillrand", During::board_listing},
        {"Quillrand", During::move_hand_over},
    };
    for (const auto& [name, during] : cases) {
        ScriptedBoard board;
        WorkDir dir;
        RunningProgram program = start_greeted(name, board, dir);
        switch (during) {
        case During::search:
            program.send_line("go");
            board.expect("PLAY", ack);
            EXPECT_EQ(board.next_command(), "SENDINFO");
            break;
        case During::fen_setup:
            program.send_line("position fen 4k3/8/8/8/8/8/8/4K3 w - - 0 1");
            board.expect("SETUP", ack);
            EXPECT_EQ(board.next_command(), "FUNCTION NEW");
            break;
        case During::board_listing:
            program.send_line("board");
            EXPECT_EQ(board.next_command(), "POSITION");
            break;
        case During::move_hand_over:
            program.send_line("position startpos moves e2e4");
            program.send_line("go");
            EXPECT_EQ(board.next_command(), "BOARD OFF");
            break;
        }
        const auto start = std::chrono::steady_clock::now();
        board.hang_up();
        const std::string line = program.next_line(2s);
        EXPECT_TRUE(line.starts_with("info string ")) << name << ": " << line;
        const auto status = program.wait_exit(2s);
        ASSERT_TRUE(status.has_value()) << name;
        EXPECT_NE(*status, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 1s) << name;
        EXPECT_EQ(program.rest_of_output(), "") << name;
    }
}

std::string random_bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

TEST(BoardFaults, AMegabyteOfRandomBytesInABoardListing) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted("Dorvane", board, dir);
    std::string noise = random_bytes(1 << 20, 11);
    std::replace(noise.begin(), noise.end(), etb, 'E');
    std::string kept;
    for (char c : noise)
        if ((static_cast<unsigned char>(c) >= 32 && c != '>') || c == '\r' || c == '\n') kept.push_back(c);
    program.send_line("board");
    EXPECT_EQ(board.next_command(), "POSITION");
    board.send(noise + etb);
    program.send_line("quit");
    EXPECT_EQ(program.rest_of_output(20s), kept + "\r\n");
    EXPECT_EQ(board.next_command(), "CLOSE");
    EXPECT_EQ(program.wait_exit(), 0);
}

TEST(BoardFaults, RandomBytesDuringASearch) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted("Dorvane", board, dir);
    program.send_line("go");
    board.expect("PLAY", ack);
    EXPECT_EQ(board.next_command(), "SENDINFO");
    board.send(random_bytes(64 * 1024, 7));
    // The noise is no search report; the board's first final report after it ends the search.
    std::string command = board.next_command(10s);
    while (command == "SENDINFO") {
        board.send(final_report("d2-d4"));
        command = board.next_command();
    }
    EXPECT_EQ(command, "MOVE d2-d4");
    board.send(ack);
    EXPECT_EQ(program.next_line(), "info depth 3 score cp 12 pv d2-d4");
    EXPECT_EQ(program.next_line(), "bestmove d2d4");
    search(board, program, "g1-f3");
}

TEST(GuiFaults, AThousandLinesQueuedDuringASearchAreHandledInOrder) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted("Dorvane", board, dir);
    program.send_line("go");
    board.expect("PLAY", ack);
    std::string queued;
    for (int i = 0; i < 500; ++i) queued += "setlevel " + std::to_string(i) + "\nisready\n";
    program.send_raw(queued);
    board.expect("SENDINFO", final_report("e2-e4"));
    board.expect("MOVE e2-e4", ack);
    EXPECT_EQ(program.next_line(), "info depth 3 score cp 12 pv e2-e4");
    EXPECT_EQ(program.next_line(), "bestmove e2e4");
    // The board sees the queued lines in the order the GUI sent them, each after the one before.
    for (int i = 0; i < 500; ++i) {
        board.expect("setlevel " + std::to_string(i), "Level " + std::to_string(i) + ack);
        ASSERT_EQ(program.next_line(), "Level " + std::to_string(i));
        ASSERT_EQ(program.next_line(), "readyok");
    }
}

TEST(GuiFaults, AThousandLinesQueuedWhileTheHumanThinks) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted("Quillrand", board, dir);
    program.send_line("go");
    board.expect("ANALYSIS", ack);
    std::string queued;
    for (int i = 0; i < 1000; ++i) queued += "isready\n";
    program.send_raw(queued);
    EXPECT_TRUE(program.silent_for(200ms));
    board.send("\r\ne2-e4" + std::string(1, etb));
    EXPECT_EQ(program.next_line(), "bestmove e2e4");
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(program.next_line(), "readyok") << i;
}

}  // namespace
}  // namespace osatest
