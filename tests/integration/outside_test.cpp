// What comes from outside the dialogue: signals that end the program, the GUI's lines while the
// board is busy (busy=answer), and the osa.ini that lies beside the program.
#include "harness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

namespace osatest {
namespace {

const std::string ack = std::string(">") + etb;
using Clock = std::chrono::steady_clock;

std::string file_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Brings a greeted program into one of the board's waits: the board has not answered yet.
struct BoardWait {
    const char* what;
    const char* program;
    bool in_a_pause;  // else in a read of the board
    std::function<void(ScriptedBoard&, RunningProgram&)> enter;
};

const BoardWait board_waits[] = {
    {"prompt after NEWGAME", "Quillrand", false,
     [](ScriptedBoard& board, RunningProgram& program) {
         program.send_line("uci");
         for (int line = 0; line < 3; ++line) (void)program.next_line();
         EXPECT_EQ(board.next_command(), "NEWGAME");
     }},
    {"pause after BOARD ON", "Quillrand", true,
     [](ScriptedBoard& board, RunningProgram& program) {
         program.send_line("position startpos moves e2e4");
         program.send_line("go");
         for (const char* command : {"BOARD OFF", "MOVE e2-e4", "BOARD ON"}) board.expect(command, ack);
     }},
    {"human's move", "Quillrand", false,
     [](ScriptedBoard& board, RunningProgram& program) {
         program.send_line("go");
         board.expect("ANALYSIS", ack);
     }},
    {"poll pause", "Dorvane", true,
     [](ScriptedBoard& board, RunningProgram& program) {
         program.send_line("go");
         board.expect("PLAY", ack);
     }},
    {"search report", "Dorvane", false,
     [](ScriptedBoard& board, RunningProgram& program) {
         program.send_line("go");
         board.expect("PLAY", ack);
         EXPECT_EQ(board.next_command(), "SENDINFO");
     }},
};

// The board got "CLOSE" and nothing after it, and the program ended with status 0 in time.
void expect_closed(ScriptedBoard& board, RunningProgram& program, Clock::time_point since, const std::string& what) {
    EXPECT_EQ(board.next_command(1s), "CLOSE") << what;
    EXPECT_EQ(program.wait_exit(1s), 0) << what;
    EXPECT_LT(Clock::now() - since, 1s) << what;
    EXPECT_TRUE(board.stays_silent(100ms)) << what;
}

TEST(EndedFromOutside, EachSignalAtIdleAndInEachWaitClosesTheBoardOnce) {
    // Wine turns SIGINT into the console's Ctrl-C event (the other two end it without one), but
    // does not cut short a read of the board that the event cancels.
    const std::vector<int> signals = under_launcher() ? std::vector<int>{SIGINT} : std::vector<int>{SIGTERM, SIGHUP, SIGINT};
    for (const int signal : signals) {
        for (const char* idle_program : {"Quillrand", "Dorvane"}) {
            ScriptedBoard board;
            WorkDir dir;
            RunningProgram program = start_greeted(idle_program, board, dir);
            const auto sent = Clock::now();
            kill(program.pid(), signal);
            expect_closed(board, program, sent, std::string(idle_program) + " idle, signal " + std::to_string(signal));
        }
        for (const BoardWait& wait : board_waits) {
            if (under_launcher() && !wait.in_a_pause) continue;
            ScriptedBoard board;
            WorkDir dir;
            RunningProgram program = start_greeted(wait.program, board, dir);
            wait.enter(board, program);
            const auto sent = Clock::now();
            kill(program.pid(), signal);
            expect_closed(board, program, sent, std::string(wait.what) + ", signal " + std::to_string(signal));
        }
    }
}

TEST(BusyAnswer, IsreadyIsAnsweredAndQuitOrTheEndOfInputCloseInEachWait) {
    for (const bool by_quit : {true, false}) {
        for (const BoardWait& wait : board_waits) {
            ScriptedBoard board;
            WorkDir dir;
            dir.write_file("osa.ini", "busy = Answer\n");
            RunningProgram program = start_greeted(wait.program, board, dir);
            wait.enter(board, program);
            program.send_line("isready");
            EXPECT_EQ(program.next_line(500ms), "readyok") << wait.what;
            const auto sent = Clock::now();
            if (by_quit) program.send_line("quit");
            else program.close_input();
            expect_closed(board, program, sent, std::string(wait.what) + (by_quit ? ", quit" : ", end of input"));
            EXPECT_EQ(program.rest_of_output(), "") << wait.what;
        }
    }
}

// The kept lines come after the command, in order; "isready" is not answered twice, and the pause
// that the board needs keeps its length.
TEST(BusyAnswer, OtherLinesWaitForTheCommandAndThePauseKeepsItsLength) {
    ScriptedBoard board;
    WorkDir dir;
    dir.write_file("osa.ini", "busy=answer\n");
    RunningProgram program = start_greeted("Quillrand", board, dir);
    program.send_line("position startpos moves e2e4");
    program.send_line("go");
    for (const char* command : {"BOARD OFF", "MOVE e2-e4"}) board.expect(command, ack);
    board.expect("BOARD ON", ack);
    const auto paused = Clock::now();
    program.send_line("board");
    program.send_line("isready");
    program.send_line("ucinewgame");
    EXPECT_EQ(program.next_line(500ms), "readyok");
    board.expect("NORMAL", ack);
    EXPECT_GE(Clock::now() - paused, 1500ms);
    board.expect("ANALYSIS", ack);
    // No "uci" began a game, so the human's report ends as White's does.
    board.send("e7-e5" + std::string(1, etb));
    EXPECT_EQ(program.next_line(), "bestmove e7e5");
    board.expect("POSITION", "listing" + ack);
    EXPECT_EQ(program.next_line(), "listing");
    board.expect("NEWGAME", ack);
    EXPECT_TRUE(program.silent_for(200ms));
    program.send_line("quit");
    EXPECT_EQ(board.next_command(), "CLOSE");
    EXPECT_EQ(program.wait_exit(), 0);
}

// Which osa.ini a program reads, told by the trace that each file names and by its start entry.
TEST(SettingsFile, TheWorkingDirectoryWinsElseTheProgramsFolder) {
    const struct {
        const char* what;
        bool in_work_dir;
        bool beside_program;
        const char* read;  // "work", "program" or nothing
    } cases[] = {
        {"both", true, true, "work"},
        {"beside the program only", false, true, "program"},
        {"working directory only", true, false, "work"},
        {"none", false, false, nullptr},
    };
    for (const auto& c : cases) {
        ScriptedBoard board;
        WorkDir work;
        WorkDir folder;
        const std::string copy = folder.path() + "/" + std::filesystem::path(executable("Dorvane")).filename().string();
        std::filesystem::copy_file(executable("Dorvane"), copy);
        if (c.in_work_dir) work.write_file("osa.ini", "trace=" + work.path() + "/work.trace\n");
        if (c.beside_program) folder.write_file("osa.ini", "trace=" + work.path() + "/program.trace\n");
        std::map<std::string, std::string> environment = {{"OSA_COM1", board.device()},
                                                          {"OSA_TRACE", work.path() + "/none.trace"}};
        if (const char* path = std::getenv("PATH")) environment["PATH"] = path;
        RunningProgram program(copy, {}, environment, work.path());
        EXPECT_EQ(board.next_command(), "ENGLISH") << c.what;
        board.expect("OPEN", "Board" + std::string(1, etb));
        for (const char* command : {"BOARD OFF", "SENDINFO OFF"}) board.expect(command, ack);
        program.close_input();
        EXPECT_EQ(board.next_command(), "CLOSE") << c.what;
        EXPECT_EQ(program.wait_exit(), 0) << c.what;
        const std::string trace = file_text(work.path() + "/" + (c.read ? c.read : "none") + ".trace");
        const std::string named = c.read == nullptr                     ? std::string("none")
                                  : std::string(c.read) == "work" ? work.path() + "/osa.ini"
                                                                  : folder.path() + "/osa.ini";
        EXPECT_NE(trace.find(" start Dorvane " OSA_VERSION ", settings "), std::string::npos) << c.what << "\n" << trace;
        // Under a launcher the program names the file in its own system's form.
        if (!under_launcher()) {
            EXPECT_NE(trace.find(", settings " + named + "\n"), std::string::npos) << c.what;
        }
    }
}

}  // namespace
}  // namespace osatest
