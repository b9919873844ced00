// Start-up, opening dialogue and closing step of both programs, run as the GUI runs them.
#include "harness.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <thread>

namespace osatest {
namespace {

const std::string eor(1, etb);

std::string usage_bytes(const std::string& name, const std::string& version, const std::string& title) {
    std::string text = "\r\n" + title + "\r\nWritten by Jorvik Tamsel, Version " + version + "\r\n\r\n";
    text += "Usage: " + name + " [/?] Or [/h]\r\n";
    text += "       " + name + " [COMx:] [baud]\r\n";
    text += "Call without parameters sets COM1: with 1200 baud\r\n";
    text += "Board shall be set to corresponding baud rate before!\r\n\r\n";
    text += "e.g.   " + name + "                (COM1: with 1200 baud)\r\n";
    text += "       " + name + " COM2:          (COM2: with 1200 baud)\r\n";
    text += "       " + name + " COM3: 9600     (COM3: with 9600 baud)\r\n";
    return text;
}

TEST(StartUp, UsageScreensByteForByte) {
    const std::pair<std::string, std::string> programs[] = {
        {"Quillrand", usage_bytes("Quillrand", "1.1", "Play with Scisys/Saitek-Quillrands under Arena")},
        {"Dorvane", usage_bytes("Dorvane", "1.2", "Dorvane converter for Scisys/Saitek chess boards")},
    };
    for (const auto& [name, expected] : programs)
        for (const char* argument : {"/?", "/h", "/H"}) {
            WorkDir dir;
            RunningProgram program(executable(name), {argument}, {}, dir.path());
            EXPECT_EQ(program.rest_of_output(), expected) << name << " " << argument;
            EXPECT_EQ(program.wait_exit(), 0);
        }
}

TEST(StartUp, ComportFailures) {
    // A missing device, a port name without its colon, a baud text that is no number.
    const std::vector<std::vector<std::string>> argument_lists = {{}, {"COM2", "9600"}, {"COM1:", "12OO"}};
    for (const char* name : {"Quillrand", "Dorvane"})
        for (const auto& arguments : argument_lists) {
            WorkDir dir;
            RunningProgram program(executable(name), arguments, {{"OSA_COM1", "/nonexistent"}}, dir.path());
            EXPECT_EQ(program.rest_of_output(), "Cannot initialise comport\r\n") << name;
            EXPECT_EQ(program.wait_exit(), 0);
        }
}

TEST(StartUp, ADeviceHeldByAnotherProgramCannotBeOpened) {
    // Windows' serial driver keeps a port to one process; Wine does not, and its ports are plain
    // device files without the lock that the Linux programs take.
    if (under_launcher()) GTEST_SKIP() << "Wine lets a second process open a serial port";
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram first = start_on_board("Dorvane", board, dir);
    EXPECT_EQ(board.next_command(), "ENGLISH");
    RunningProgram second = start_on_board("Quillrand", board, dir);
    EXPECT_EQ(second.next_line(), "Cannot initialise comport");
    EXPECT_EQ(second.wait_exit(), 0);
}

TEST(StartUp, PortAndSpeedFromTheSettingsFileAndTheCommandLine) {
    ScriptedBoard board;
    WorkDir dir;
    dir.write_file("osa.ini", "com = COM7:\r\nbaud=9600\r\n");
    // The file names port 7, which only OSA_COM7 maps to the board; the command line wins over it.
    {
        RunningProgram program(executable("Quillrand"), {}, {{"OSA_COM7", board.device()}}, dir.path());
        EXPECT_EQ(board.next_command(), "ENGLISH");
        EXPECT_EQ(board.line_speed(), 9600u);
    }
    RunningProgram program(executable("Quillrand"), {"com3:", "4800"}, {{"OSA_COM3", board.device()}}, dir.path());
    EXPECT_EQ(board.next_command(), "ENGLISH");
    EXPECT_EQ(board.line_speed(), 4800u);
}

struct OpeningCase {
    const char* program;
    const char* settings;
    std::vector<std::string> mode_commands;
};

TEST(OpeningDialogue, EachProgramGreetsTheBoardInItsOrder) {
    const OpeningCase cases[] = {
        {"Quillrand", "", {"SENDINFO OFF", "BOARD ON"}},
        {"Dorvane", "", {"BOARD OFF", "SENDINFO OFF"}},
        {"Dorvane", "level=12\n", {"BOARD OFF", "SENDINFO OFF", "SETLEVEL 12"}},
        {"Dorvane", "level=7\n", {"BOARD OFF", "SENDINFO OFF"}},
        {"Dorvane", "level=123\n", {"BOARD OFF", "SENDINFO OFF"}},
    };
    for (const auto& c : cases) {
        ScriptedBoard board;
        WorkDir dir;
        dir.write_file("osa.ini", c.settings);
        RunningProgram program = start_on_board(c.program, board, dir);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(board.next_command(), "ENGLISH");
        EXPECT_EQ(board.next_command(), "OPEN");
        const auto pause = std::chrono::steady_clock::now() - start;
        EXPECT_GE(pause, 240ms);
        EXPECT_LT(pause, 2000ms);
        // The reply to ENGLISH is never read by itself: it is part of the OPEN collection.
        board.send("  Board \x01>V1\r\n  " + eor);
        EXPECT_EQ(program.next_line(), "info string Board V1");
        for (const auto& command : c.mode_commands) board.expect(command, "ok>" + eor);
        EXPECT_TRUE(board.stays_silent(100ms));
        program.send_line("quit");
        EXPECT_EQ(board.next_command(), "CLOSE");
        EXPECT_EQ(program.wait_exit(), 0);
        EXPECT_EQ(program.rest_of_output(), "");
    }
}

TEST(ClosingStep, QuitEndOfInputAndAFinalQuitWithoutLineEnd) {
    enum class Ending { quit, quit_with_spaces, end_of_input, quit_without_line_end, quit_with_cr, after_other_lines };
    for (const char* name : {"Quillrand", "Dorvane"})
        for (Ending ending : {Ending::quit, Ending::quit_with_spaces, Ending::end_of_input,
                              Ending::quit_without_line_end, Ending::quit_with_cr, Ending::after_other_lines}) {
            ScriptedBoard board;
            WorkDir dir;
            RunningProgram program = start_greeted(name, board, dir, "");
            switch (ending) {
            case Ending::quit: program.send_line("quit"); break;
            case Ending::quit_with_spaces: program.send_line("  quit  "); break;
            case Ending::end_of_input: program.close_input(); break;
            case Ending::quit_without_line_end: program.send_raw("quit"), program.close_input(); break;
            case Ending::quit_with_cr: program.send_raw("quit\r\n"); break;
            case Ending::after_other_lines:
                program.send_raw("\n\nQUIT\nquit\t\nnonsense\r\n");
                EXPECT_TRUE(board.stays_silent(200ms));
                program.close_input();
                break;
            }
            EXPECT_EQ(board.next_command(), "CLOSE") << name;
            EXPECT_EQ(program.wait_exit(), 0) << name;
            EXPECT_EQ(program.rest_of_output(), "") << name;
        }
}

TEST(ClosingStep, ALastLineEndedByALoneCrIsStillRead) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted("Dorvane", board, dir, "");
    program.send_raw("isready\r");
    program.close_input();
    EXPECT_EQ(program.next_line(), "readyok");
    EXPECT_EQ(board.next_command(), "CLOSE");
    EXPECT_EQ(program.wait_exit(), 0);
}

// The run trace that osa.ini names lands next to it, under Wine as well.
TEST(RunTrace, TheSettingsFileNamesATraceOfTheRun) {
    for (const std::string name : {"Quillrand", "Dorvane"}) {
        ScriptedBoard board;
        WorkDir dir;
        dir.write_file("osa.ini", "Trace = run trace.txt\r\n");
        RunningProgram program = start_greeted(name, board, dir, "Board");
        program.send_raw("isready\r\n");
        EXPECT_EQ(program.next_line(), "readyok");
        program.send_line("quit");
        EXPECT_EQ(board.next_command(), "CLOSE");
        EXPECT_EQ(program.wait_exit(), 0);
        std::ifstream file(dir.path() + "/run trace.txt", std::ios::binary);
        const std::string trace((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(trace.starts_with("       0 start " + name + " " OSA_VERSION ", settings ")) << trace;
        EXPECT_TRUE(trace.find("osa.ini\n") != std::string::npos) << trace;
        for (const char* entry : {" to-board OPEN\\r\\n\n", " from-board Board\\x17\n",
                                  " to-gui info string Board\\r\\n\n", " from-gui isready\\r\\n\n",
                                  " to-gui readyok\\r\\n\n", " from-gui quit\\n\n", " to-board CLOSE\\r\\n\n"})
            EXPECT_TRUE(trace.find(entry) != std::string::npos) << name << ": no" << entry << "in\n" << trace;
        EXPECT_TRUE(trace.ends_with(" to-board CLOSE\\r\\n\n")) << trace;
    }
}

// Bytes that the board sends unasked end with the end-of-reply character. Read as part of the
// next reply, they would end it early and shift every later reply by one: the listing would show
// the chatter, and the answer to "uci" would miss its "uciok".
TEST(Dialogue, UnaskedBytesAreDrainedBeforeEachCommand) {
    const std::string chatter = "unasked chatter" + eor + "more" + eor;
    for (const char* name : {"Quillrand", "Dorvane"}) {
        ScriptedBoard board;
        WorkDir dir;
        RunningProgram program = start_greeted(name, board, dir, "");
        board.send_unasked(chatter);
        program.send_line("board");
        board.expect("POSITION", "listing>" + eor);
        EXPECT_EQ(program.next_line(), "listing") << name;
        board.send_unasked(chatter);
        program.send_line("uci");
        for (int line = 0; line < 2; ++line) EXPECT_TRUE(program.next_line().starts_with("id ")) << name;
        EXPECT_EQ(program.next_line(), "option name OwnBook type check default true") << name;
        board.expect("NEWGAME", "New Game>" + eor);
        EXPECT_EQ(program.next_line(), "uciok") << name;
        program.send_line("quit");
        EXPECT_EQ(board.next_command(), "CLOSE") << name;
        EXPECT_EQ(program.wait_exit(), 0) << name;
    }
}

// Bytes that follow the board's answer to one setup command answer nothing: kept, they would end
// the wait for the next rank command before the board has answered it.
TEST(Dialogue, UnaskedBytesAreDrainedBeforeEachRankOfASetup) {
    const std::pair<const char*, const char*> programs[] = {{"Quillrand", "POSI "}, {"Dorvane", "POSITION "}};
    for (const auto& [name, keyword] : programs) {
        ScriptedBoard board;
        WorkDir dir;
        RunningProgram program = start_greeted(name, board, dir, "");
        program.send_line("position fen 4k3/8/8/8/8/8/4P3/4K3 w - - 0 1");
        board.expect("SETUP", ">" + eor);
        board.expect("FUNCTION NEW", ">" + eor + "set up" + eor);
        const std::pair<const char*, std::string> ranks[] = {
            {"BKe8", "piece e8" + eor}, {"WPe2", "piece e2" + eor}, {"WKe1", ""}};
        for (const auto& [placement, chatter] : ranks) {
            EXPECT_EQ(board.next_command(), std::string(keyword) + "WHITE " + placement) << name;
            // The program waits for the board's own answer to the rank command.
            EXPECT_TRUE(board.stays_silent(150ms)) << name << " " << placement;
            board.send(">" + eor + chatter);
        }
        board.expect("BOARD OFF", ">" + eor);
        board.expect("NORMAL", ">" + eor);
        program.send_line("quit");
        EXPECT_EQ(board.next_command(), "CLOSE") << name;
        EXPECT_EQ(program.wait_exit(), 0) << name;
    }
}

TEST(Dialogue, ASilentBoardCostsNoCpu) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_on_board("Quillrand", board, dir);
    EXPECT_EQ(board.next_command(), "ENGLISH");
    EXPECT_EQ(board.next_command(), "OPEN");
    // The process measured is the one that runs the program, under a launcher too.
    EXPECT_TRUE(command_line(program.pid()).starts_with(executable("Quillrand"))) << command_line(program.pid());
    const auto before = cpu_time(program.pid());
    std::this_thread::sleep_for(5s);
    EXPECT_LT(cpu_time(program.pid()) - before, 50ms);
}

TEST(Dialogue, AVanishedBoardEndsTheProgramWithAMessage) {
    if (under_launcher()) GTEST_SKIP() << "Wine's ReadFile spins on a pseudo-terminal whose other end has closed";
    for (const char* name : {"Quillrand", "Dorvane"}) {
        ScriptedBoard board;
        WorkDir dir;
        RunningProgram program = start_on_board(name, board, dir);
        EXPECT_EQ(board.next_command(), "ENGLISH");
        EXPECT_EQ(board.next_command(), "OPEN");
        board.hang_up();
        const auto line = program.next_line(2s);
        EXPECT_TRUE(line.starts_with("info string ")) << line;
        EXPECT_GT(line.size(), std::string("info string ").size());
        const auto status = program.wait_exit(1s);
        ASSERT_TRUE(status.has_value()) << name;
        EXPECT_NE(*status, 0);
    }
}

}  // namespace
}  // namespace osatest
