// "reconnect=on": the board unplugged under each program and plugged in again at the same path.
#include "harness.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace osatest {
namespace {

const std::string ack = std::string(">") + etb;

struct Exchange {
    std::string command;
    std::string reply = ack;
};
using Script = std::vector<Exchange>;

Script operator+(Script first, const Script& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

void play(ScriptedBoard& board, const Script& script, const char* name) {
    for (const auto& [command, reply] : script) {
        EXPECT_EQ(board.next_command(), command) << name;
        board.send(reply);
    }
}

// The board given the position after 1. e4, with the program's position keyword.
Script after_e4(const std::string& keyword) {
    const std::string side = keyword + "BLACK ";
    return {{"SETUP"},
            {"FUNCTION NEW"},
            {side + "BRa8,BNb8,BBc8,BQd8,BKe8,BBf8,BNg8,BRh8"},
            {side + "BPa7,BPb7,BPc7,BPd7,BPe7,BPf7,BPg7,BPh7"},
            {side + "WPe4"},
            {side + "WPa2,WPb2,WPc2,WPd2,WPf2,WPg2,WPh2"},
            {side + "WRa1,WNb1,WBc1,WQd1,WKe1,WBf1,WNg1,WRh1"},
            {"BOARD OFF"},
            {"NORMAL"}};
}

const Script fen_setup = {{"SETUP"},
                          {"FUNCTION NEW"},
                          {"POSITION WHITE BKe8"},
                          {"POSITION WHITE WPe2"},
                          {"POSITION WHITE WKe1"},
                          {"BOARD OFF"},
                          {"NORMAL"}};

const std::string final_report = "Sendinfo          3     12  g1-f3." + std::string(1, etb);
const Script dorvane_modes = {{"BOARD OFF"}, {"SENDINFO OFF"}};
const Script quillrand_modes = {{"SENDINFO OFF"}, {"BOARD ON"}};
const Script quillrand_go = {{"BOARD OFF"}, {"MOVE e7-e5"}, {"BOARD ON"}, {"NORMAL"},
                             {"ANALYSIS", ack + "g1-f3" + etb}};

// A board that comes back silent, or falls silent after its greeting, is closed and tried again.
enum class Back { answering, silent, silent_after_greeting };

struct LostLineCase {
    const char* name;
    const char* program;
    std::vector<std::string> gui_lines;
    Script before_loss;
    std::string lost_at;  // the command the board never answers; empty: unplugged before the last GUI line
    Back first_back;      // how the board comes back the first time
    Script restore;       // after the greeting: the mode commands and the position
    Script repeat;        // the interrupted command again, and what follows it
    std::vector<std::string> answers;
};

const std::string game = "position startpos moves e2e4 e7e5";
const std::string fen_game = "position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1 moves e2e4";

const LostLineCase lost_line_cases[] = {
    {"DorvaneGo", "Dorvane", {game, "go"}, {}, "MOVE e7-e5", Back::answering, dorvane_modes + after_e4("POSITION "),
     {{"MOVE e7-e5"}, {"SENDINFO", final_report}, {"MOVE g1-f3"}},
     {"info depth 3 score cp 12 pv g1-f3", "bestmove g1f3"}},
    {"QuillrandGo", "Quillrand", {game, "go"}, {{"BOARD OFF"}}, "MOVE e7-e5", Back::answering,
     quillrand_modes + after_e4("POSI "), quillrand_go, {"bestmove g1f3"}},
    {"QuillrandIdle", "Quillrand", {game, "go"}, {}, "", Back::answering, quillrand_modes + after_e4("POSI "), quillrand_go,
     {"bestmove g1f3"}},
    {"QuillrandBackSilentAfterGreeting", "Quillrand", {game, "go"}, {}, "", Back::silent_after_greeting,
     quillrand_modes + after_e4("POSI "), quillrand_go, {"bestmove g1f3"}},
    {"DorvaneFenSetup", "Dorvane", {fen_game, "go"}, {{"SETUP"}, {"FUNCTION NEW"}, {"POSITION WHITE BKe8"}},
     "POSITION WHITE WPe2", Back::answering, dorvane_modes + fen_setup,
     fen_setup + Script{{"MOVE e2-e4"}, {"SENDINFO", final_report}, {"MOVE g1-f3"}},
     {"info depth 3 score cp 12 pv g1-f3", "bestmove g1f3"}},
    {"DorvaneBackSilent", "Dorvane", {game, "go"}, {}, "MOVE e7-e5", Back::silent, dorvane_modes + after_e4("POSITION "),
     {{"MOVE e7-e5"}, {"SENDINFO", final_report}, {"MOVE g1-f3"}},
     {"info depth 3 score cp 12 pv g1-f3", "bestmove g1f3"}},
};

void PrintTo(const LostLineCase& c, std::ostream* os) { *os << c.name; }

class LostLine : public testing::TestWithParam<LostLineCase> {};

// The GUI hears of the loss and of the return, and then gets the interrupted command's answers
// once; the board gets its greeting, the position and the whole command again.
TEST_P(LostLine, TheBoardIsRestoredAndTheCommandRepeated) {
    if (under_launcher()) GTEST_SKIP() << "Wine's ReadFile spins on a pseudo-terminal whose other end has closed";
    const LostLineCase& c = GetParam();
    ScriptedBoard board(ScriptedBoard::Path::link);
    WorkDir dir;
    dir.write_file("osa.ini", "reconnect=on\r\n");
    RunningProgram program = start_greeted(c.program, board, dir);
    for (std::size_t i = 0; i < c.gui_lines.size(); ++i) {
        if (c.lost_at.empty() && i + 1 == c.gui_lines.size()) {
            // The answer shows that the program is idle in its loop, past its opening dialogue.
            program.send_line("isready");
            EXPECT_EQ(program.next_line(), "readyok");
            board.unplug();
        }
        program.send_line(c.gui_lines[i]);
    }
    play(board, c.before_loss, c.name);
    if (!c.lost_at.empty()) {
        EXPECT_EQ(board.next_command(), c.lost_at);
        board.unplug();
    }
    const std::string lost = program.next_line();
    EXPECT_TRUE(lost.starts_with("info string the serial line to the board ")) << lost;
    EXPECT_TRUE(lost.ends_with("; reopening COM1: once a second")) << lost;
    board.plug_in();
    if (c.first_back != Back::answering) {
        EXPECT_EQ(board.next_command(), "ENGLISH");
        EXPECT_EQ(board.next_command(), "OPEN");
    }
    if (c.first_back == Back::silent_after_greeting) {
        board.send("Board" + std::string(1, etb));
        EXPECT_EQ(program.next_line(), "info string Board");
        EXPECT_EQ(board.next_command(), c.restore.front().command);
    }
    EXPECT_EQ(board.next_command(), "ENGLISH");
    board.expect("OPEN", "Board" + std::string(1, etb));
    EXPECT_EQ(program.next_line(), "info string Board");
    play(board, c.restore, c.name);
    EXPECT_EQ(program.next_line(), "info string the board on COM1: is back");
    play(board, c.repeat, c.name);
    for (const std::string& answer : c.answers) EXPECT_EQ(program.next_line(), answer);
    program.send_line("quit");
    EXPECT_EQ(board.next_command(), "CLOSE");
    EXPECT_EQ(program.wait_exit(), 0);
    EXPECT_EQ(program.rest_of_output(), "");
}

// While the board is away the GUI is answered as with busy=answer, also without it.
TEST(Reconnect, WhileTheBoardIsAwayIsreadyIsAnsweredAndQuitEnds) {
    if (under_launcher()) GTEST_SKIP() << "Wine's ReadFile spins on a pseudo-terminal whose other end has closed";
    for (const char* name : {"Quillrand", "Dorvane"}) {
        ScriptedBoard board(ScriptedBoard::Path::link);
        WorkDir dir;
        dir.write_file("osa.ini", "reconnect=on\r\n");
        RunningProgram program = start_greeted(name, board, dir);
        program.send_line("board");
        EXPECT_EQ(board.next_command(), "POSITION") << name;
        board.unplug();
        EXPECT_TRUE(program.next_line().ends_with("; reopening COM1: once a second")) << name;
        program.send_line("isready");
        EXPECT_EQ(program.next_line(200ms), "readyok") << name;
        program.send_line("quit");
        EXPECT_EQ(program.wait_exit(1s), 0) << name;
        EXPECT_EQ(program.rest_of_output(), "") << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Reconnect, LostLine, testing::ValuesIn(lost_line_cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace osatest
