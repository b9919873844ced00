// Whole runs of the built emulator over a real pseudo-terminal, and of the match driver.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <regex>
#include <sstream>

#include "case_names.h"
#include "launcher.h"
#include "pty.h"
#include "recording.h"
#include "referee.h"

namespace {

using osa::board::Descriptor;
using Clock = std::chrono::steady_clock;

int ms_left(Clock::time_point deadline) {
    return std::max(
        0, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count()));
}

// Reads from fd until the text ends with the terminator or the time is up.
std::string read_until(int fd, char terminator, int timeout_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string text;
    while (text.empty() || text.back() != terminator) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, ms_left(deadline)) <= 0) break;
        char c;
        if (::read(fd, &c, 1) != 1) break;
        text += c;
    }
    return text;
}

// A program started with pipes on its standard input and output.
class Program {
public:
    explicit Program(const std::vector<std::string>& argv) : child_({.command = argv, .pipes = true}) {}
    ~Program() { child_.wait_or_kill(0); }

    void write(const std::string& text) { osa::board::write_all(child_.input().get(), text); }
    void close_stdin() { child_.input() = Descriptor(); }
    void signal(int number) { child_.signal(number); }
    std::string line(int timeout_ms = 5000) {
        std::string text = read_until(child_.output().get(), '\n', timeout_ms);
        if (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }
    std::string all_output(int timeout_ms) { return read_until(child_.output().get(), '\0', timeout_ms); }

    // The exit status, or -1 when the program is still running after the time.
    int wait(int timeout_ms) { return child_.wait_for(timeout_ms).value_or(-1); }

private:
    osa::board::Child child_;
};

// One file per test, since the tests may run side by side.
std::string trace_path() {
    return testing::TempDir() + "osa_emulator_" + testing::UnitTest::GetInstance()->current_test_info()->name() +
           ".trace";
}

std::string file_text(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class AlonePty : public testing::Test {
protected:
    AlonePty()
        : emulator_({OSA_EMULATOR, "--trace", trace_path(), "--human-delay", "50", "--seed", "3", "--level", "2"}) {}

    void SetUp() override {
        const std::string path = emulator_.line();
        ASSERT_EQ(path.rfind("/dev/", 0), 0u) << path;
        line_ = Descriptor(::open(path.c_str(), O_RDWR | O_NOCTTY));
        ASSERT_GE(line_.get(), 0);
    }

    std::string exchange(const std::string& command) {
        osa::board::write_all(line_.get(), command + "\r\n");
        return read_until(line_.get(), '\x17', 5000);
    }

    Program emulator_;
    Descriptor line_;
};

TEST_F(AlonePty, AnswersCommandsWithExactReplies) {
    EXPECT_EQ(flock(line_.get(), LOCK_EX | LOCK_NB), 0) << "the emulator must leave the lock to the program";
    osa::board::write_all(line_.get(), "ENGLISH\r\n");
    EXPECT_EQ(exchange("OPEN"), "OSA emulated board v1\r\n>\x17");
    EXPECT_EQ(exchange("NEWGAME"), "New Game\r\n>\x17");
    EXPECT_EQ(exchange("MOVE e2-e4"), "OK\r\n>\x17");
    EXPECT_EQ(exchange("TAKEBACK"), "OK\r\n>\x17");
    EXPECT_EQ(exchange("SENDINFO"), "No search\r\n>\x17");
    osa::board::write_all(line_.get(), "CLOSE\r\n");
    EXPECT_EQ(read_until(line_.get(), '\x17', 200), "") << "no reply to CLOSE";
    EXPECT_EQ(exchange("OPEN"), "OSA emulated board v1\r\n>\x17") << "a new session after CLOSE";

    emulator_.close_stdin();
    EXPECT_EQ(emulator_.wait(5000), 0);
    const std::string trace = file_text(trace_path());
    EXPECT_NE(trace.find("<- ENGLISH\n"), std::string::npos);
    EXPECT_NE(trace.find("-> OSA emulated board v1\\r\\n>\\x17\n"), std::string::npos);
    EXPECT_NE(trace.find("<- CLOSE\n"), std::string::npos);
}

TEST_F(AlonePty, ReportsTheHumansMoveAfterAcknowledgingAnalysis) {
    EXPECT_EQ(exchange("ANALYSIS"), ">\x17");
    const std::string report = read_until(line_.get(), '\x17', 5000);
    ASSERT_GE(report.size(), 5u);
    EXPECT_EQ(report.substr(0, 2), "\r\n") << "White's report begins with the line end";
    EXPECT_EQ(report.back(), '\x17');
    EXPECT_EQ(read_until(line_.get(), '\x17', 200), "") << "nothing after the report";
    const std::string listing = exchange("POSITION");
    EXPECT_NE(listing.find("Black to move"), std::string::npos);
}

TEST(ProgramMode, ChildGetsThePtyStdinStdoutAndGivesItsStatus) {
    Program emulator({OSA_EMULATOR, "--port", "COM3:", "--", BOARD_CLIENT, "OSA_COM3", "OPEN", "NEWGAME", "SENDINFO"});
    emulator.write("hello\n");
    EXPECT_EQ(emulator.line(), "OSA emulated board v1\\r\\n>\\x17");
    EXPECT_EQ(emulator.line(), "New Game\\r\\n>\\x17");
    EXPECT_EQ(emulator.line(), "No search\\r\\n>\\x17");
    EXPECT_EQ(emulator.line(), "stdin: hello");
    EXPECT_EQ(emulator.wait(5000), 5);
}

TEST(ProgramMode, TerminatingTheEmulatorEndsTheProgram) {
    Program emulator({OSA_EMULATOR, "--", BOARD_CLIENT, "OSA_COM1", "OPEN"});
    EXPECT_EQ(emulator.line(), "OSA emulated board v1\\r\\n>\\x17");  // the program is up and waits on stdin
    emulator.signal(SIGTERM);
    EXPECT_EQ(emulator.wait(5000), 128 + SIGTERM);
}

TEST(ProgramMode, ProgramThatCannotRunGives127) {
    Program emulator({OSA_EMULATOR, "--", "/nonexistent/program"});
    EXPECT_EQ(emulator.wait(5000), 127);
}

TEST(ProgramMode, BadCommandLineGives2) {
    Program emulator({OSA_EMULATOR, "--level", "0"});
    EXPECT_EQ(emulator.wait(5000), 2);
}

struct MatchRun {
    int status;
    std::string output;
};

MatchRun match(std::vector<std::string> args, int timeout_ms = 60'000) {
    args.insert(args.begin(), OSA_MATCH);
    Program driver(args);
    MatchRun run;
    run.output = driver.all_output(timeout_ms);
    run.status = driver.wait(10'000);
    return run;
}

MatchRun match_through_shell(const std::string& command) {
    Program shell({"/bin/sh", "-c", command});
    MatchRun run;
    run.output = shell.all_output(10'000);
    run.status = shell.wait(10'000);
    return run;
}

std::string fake(const std::string& mode) { return std::string(FAKE_UCI_ENGINE) + " " + mode; }

int count_lines_with(const std::string& text, const std::string& part) {
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The moves each side made, from the driver's "Time used: White 12 ms for 3 moves, ..." line.
std::pair<int, int> moves_made(const std::string& output) {
    static const std::regex line(R"(Time used: White \d+ ms for (\d+) moves?, Black \d+ ms for (\d+) moves?\n)");
    std::smatch found;
    if (!std::regex_search(output, found, line)) return {-1, -1};
    return {std::stoi(found[1]), std::stoi(found[2])};
}

// The driver's standard error alone, and its exit status.
MatchRun match_errors(const std::vector<std::string>& args) {
    std::string command = std::string("exec '") + OSA_MATCH + "'";
    for (const auto& arg : args) command += " '" + arg + "'";
    return match_through_shell(command + " 2>&1 >/dev/null");
}

const char* const board_files = "\n  a b c d e f g h\n";

TEST(Match, FoolsMateEndsWithBlacksWinAndItsPgn) {
    const std::string pgn = testing::TempDir() + "osa_match_fools_mate.pgn";
    const auto run = match({"--white", fake("script f2f3 g2g4"), "--black", fake("script e7e5 d8h4"), "--pgn", pgn});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.rfind("1. f3 e5\n2. g4 Qh4#\n\n8 r n b . k b n r\n", 0), 0u) << run.output;
    EXPECT_NE(run.output.find("4 . . . . . . P q\n"), std::string::npos) << run.output;
    EXPECT_EQ(moves_made(run.output), std::pair(2, 2)) << run.output;
    EXPECT_NE(run.output.find("\nResult: 0-1 (Black mates)\n"), std::string::npos) << run.output;

    const std::string text = file_text(pgn);
    std::smatch date;
    ASSERT_TRUE(std::regex_search(text, date, std::regex(R"re(\[Date "(\d{4}\.\d\d\.\d\d)"\])re"))) << text;
    EXPECT_EQ(text, "[Event \"osa-match game\"]\n[Site \"?\"]\n[Date \"" + date[1].str() +
                        "\"]\n[Round \"1\"]\n[White \"fake\"]\n[Black \"fake\"]\n[Result \"0-1\"]\n\n"
                        "1. f3 e5 2. g4 Qh4# {Black mates} 0-1\n\n");
}

TEST(Match, IllegalMoveLosesWithAClearMessage) {
    const auto run = match({"--white", fake("script e2e5"), "--black", fake("first")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Result: 0-1 (White forfeits: illegal move 'e2e5'"), std::string::npos) << run.output;
}

TEST(Match, SilentEngineForfeitsOnTime) {
    const auto run = match({"--white", fake("first"), "--black", fake("silent"), "--move-timeout", "300"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Black forfeits: no move within 300 ms"), std::string::npos) << run.output;
}

TEST(Match, MoveLimitStopsTheGameUnfinished) {
    const auto run = match({"--white", fake("first"), "--black", fake("first"), "--max-moves", "3"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(moves_made(run.output), std::pair(3, 3)) << run.output;
    EXPECT_NE(run.output.find("\n3. "), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("\n4. "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Result: * (move limit of 3 reached)"), std::string::npos) << run.output;
}

TEST(Match, GameFromAFenWithBlackToMoveStartsWithItsMoveNumber) {
    const auto run = match({"--white", fake("first"), "--black", fake("script g8f6"), "--max-moves", "1", "--fen",
                            "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 7"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.rfind("7... Nf6\n", 0), 0u) << run.output;
}

TEST(Match, DrawsTheBoardEveryNMovesAndAtTheEnd) {
    const auto every_two =
        match({"--white", fake("first"), "--black", fake("first"), "--max-moves", "5", "--board-every", "2"});
    EXPECT_EQ(count_lines_with(every_two.output, board_files), 3) << every_two.output;
    const std::string after_move_two = "2. Rb1 a5\n\n8 r n b q k b n r\n7 . p p p p p p p\n6 . . . . . . . .\n";
    EXPECT_NE(every_two.output.find(after_move_two), std::string::npos) << every_two.output;
    const auto at_the_end = match({"--white", fake("first"), "--black", fake("first"), "--max-moves", "5"});
    EXPECT_EQ(count_lines_with(at_the_end.output, board_files), 1) << at_the_end.output;
}

TEST(Match, EngineThatEndsForfeits) {
    const auto run = match({"--white", fake("first"), "--black", "/nonexistent/engine"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Result: 1-0 (Black forfeits: engine ended)"), std::string::npos) << run.output;
}

TEST(Match, PgnFileThatCannotBeWrittenGives3AfterTheGame) {
    const auto run =
        match({"--white", fake("first"), "--black", fake("first"), "--max-moves", "1", "--pgn", "/dev/full"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.output.find("Result: "), std::string::npos) << run.output;
}

TEST(Match, HelpGoesToStandardOutputWithTheExitStatuses) {
    for (const char* word : {"--help", "-h"}) {
        const auto run = match({word});
        EXPECT_EQ(run.status, 0) << word;
        EXPECT_EQ(run.output.rfind("usage: osa-match", 0), 0u) << run.output;
        EXPECT_NE(run.output.find("--pgn FILE"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("  3  the game was played but the PGN file"), std::string::npos) << run.output;
    }
}

struct BadArguments {
    std::vector<std::string> args;
    const char* message;
};

TEST(Match, BadArgumentIsNamedOnStandardErrorWithStatus2) {
    const std::string engine = fake("first");
    const std::vector<BadArguments> cases{
        {{"--white", engine, "--black", engine, "--colour", "red"}, "unknown option '--colour'"},
        {{"--white", engine, "--black", engine, "--max-moves", "many"}, "bad value 'many' for --max-moves"},
        {{"--white", engine, "--black", engine, "--board-every", "-1"}, "bad value '-1' for --board-every"},
        {{"--white", engine, "--black", engine, "--time"}, "--time needs a value"},
        {{"--white", engine}, "both --white and --black are needed"},
        {{"--white", " ", "--black", engine}, "--white needs a command line"},
        {{"--white", engine, "--black", engine, "--fen", "8/8/8 w - - 0 1"}, "unusable FEN for --fen: '8/8/8 w"},
        {{"--white", engine, "--black", engine, "--pgn", "/nonexistent/dir/game.pgn"},
         "cannot write the PGN file '/nonexistent/dir/game.pgn': No such file or directory"},
    };
    for (const auto& bad : cases) {
        const auto run = match_errors(bad.args);
        EXPECT_EQ(run.status, 2) << bad.message;
        EXPECT_EQ(run.output.rfind(std::string("osa-match: ") + bad.message, 0), 0u) << run.output;
    }
}

TEST(Match, RandomGamesEndByTheRules) {
    for (const char* seed : {"1", "2", "3"}) {
        const auto run = match({"--white", fake(std::string("random ") + seed), "--black",
                                fake(std::string("random 1") + seed), "--max-moves", "2000"});
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("Result: *"), std::string::npos) << run.output;
        EXPECT_NE(run.output.find("Result: "), std::string::npos);
    }
}

TEST(Match, EngineBehindTheEmulatorKeepsItsStdinAndStdout) {
    const auto run = match(
        {"--white", std::string(OSA_EMULATOR) + " -- " + fake("first"), "--black", fake("first"), "--max-moves", "2"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(moves_made(run.output), std::pair(2, 2)) << run.output;
}

#if defined(DORVANE) && defined(QUILLRAND)
std::string behind_board(const std::string& options, const char* program) {
    return std::string(OSA_EMULATOR) + " " + options + " -- " + program;
}

// The programs pause between exchanges as the real board needs (750 ms per poll, 1500 ms per
// hand-over), so these games are kept short.
TEST(ProgramsOnEmulatedBoards, BoardComputerAgainstHumanPlayingBlack) {
    const auto run = match({"--white", behind_board("--think 100 --level 3", DORVANE), "--black",
                            behind_board("--human engine --human-delay 20 --level 2 --takeback-every 2", QUILLRAND),
                            "--max-moves", "3"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(moves_made(run.output), std::pair(3, 3)) << run.output;
}

TEST(ProgramsOnEmulatedBoards, HumanPlayingWhiteAgainstBoardComputer) {
    const auto run =
        match({"--white", behind_board("--human random --seed 4 --human-delay 20 --takeback-every 2", QUILLRAND),
               "--black", behind_board("--think 100 --level 3", DORVANE), "--max-moves", "3"});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(moves_made(run.output), std::pair(3, 3)) << run.output;
}

// Complete games, five seeds for each program, against an opponent that plays at random: to mate,
// stalemate, a draw by the rules or the move limit. The referee checks every move; a stall of
// 20 s, an illegal move or a program that dies is a forfeit and fails the game.
class CompleteGames : public ::testing::TestWithParam<int> {};

void expect_finished_by_the_rules(const MatchRun& run) {
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("forfeits"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Result: "), std::string::npos) << run.output;
}

TEST_P(CompleteGames, BoardComputerThroughDorvane) {
    const std::string seed = std::to_string(GetParam());
    expect_finished_by_the_rules(match({"--white", behind_board("--think 100 --level 3", DORVANE), "--black",
                                        fake("random " + seed), "--max-moves", "80", "--move-timeout", "20000"},
                                       600'000));
}

TEST_P(CompleteGames, SimulatedHumanThroughQuillrand) {
    const std::string seed = std::to_string(GetParam());
    expect_finished_by_the_rules(
        match({"--white", fake("random " + seed), "--black",
               behind_board("--human engine --level 2 --human-delay 20 --takeback-every 4 --seed " + seed, QUILLRAND),
               "--max-moves", "60", "--move-timeout", "20000"},
              600'000));
}

INSTANTIATE_TEST_SUITE_P(Seeds, CompleteGames, ::testing::Values(1, 2, 3, 4, 5),
                         [](const auto& info) { return osatest::seed_name(info.param); });
#endif

// The line speed: a reply of n bytes at 1200 baud takes n times 8.33 ms; commands sent while it
// trickles out are still read and answered in order.
TEST(WireSpeed, RepliesLeaveNoFasterThanTheLineAndCommandsAreReadMeanwhile) {
    for (const bool slow : {false, true}) {
        std::vector<std::string> args{OSA_EMULATOR};
        if (slow) args.insert(args.end(), {"--wire-speed", "1200"});
        Program emulator(args);
        const Descriptor line(::open(emulator.line().c_str(), O_RDWR | O_NOCTTY));
        ASSERT_GE(line.get(), 0);
        const auto start = Clock::now();
        osa::board::write_all(line.get(), "POSITION\r\nSENDINFO\r\n");
        const std::string listing = read_until(line.get(), '\x17', 10'000);
        const std::string no_search = read_until(line.get(), '\x17', 10'000);
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        EXPECT_NE(listing.find("White to move"), std::string::npos) << listing;
        EXPECT_EQ(no_search, "No search\r\n>\x17");
        const auto bytes = static_cast<long long>(listing.size() + no_search.size());
        ASSERT_GE(bytes, 100);
        if (slow) {
            EXPECT_GE(took, bytes * 833 * 9 / 1000) << "at least 90% of 8.33 ms a byte";
        } else {
            EXPECT_LT(took, 300) << "without a speed, the pty's own";
        }
        emulator.close_stdin();
        EXPECT_EQ(emulator.wait(5000), 0);
    }
}

// A directory of its own for each test: the programs read osa.ini where they run.
std::string work_directory() {
    const std::string dir = testing::TempDir() + "osa_replay_" +
                            testing::UnitTest::GetInstance()->current_test_info()->name();
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

void write_file(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct ShellRun {
    int status;
    std::string output;  // standard output
    std::string errors;  // standard error
    long long ms;
};

// Runs the command in the directory, with the GUI's lines from a file (or a pipe left open).
ShellRun run_in(const std::string& dir, const std::string& command, const std::string& gui_lines = "",
                bool keep_input_open = false) {
    write_file(dir + "/in.txt", gui_lines);
    const std::string input = keep_input_open ? "" : " < in.txt";
    Program shell({"/bin/sh", "-c", "cd '" + dir + "' && exec " + command + input + " > out.txt 2> err.txt"});
    if (keep_input_open) shell.write(gui_lines);
    const auto start = Clock::now();
    ShellRun run;
    run.status = shell.wait(60'000);
    run.ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    run.output = file_text(dir + "/out.txt");
    run.errors = file_text(dir + "/err.txt");
    return run;
}

std::string quoted(const std::string& word) { return "'" + word + "'"; }

// A fake program's run: it opens the line, sends its commands, prints each reply escaped and
// ends with status 5 after one line of input, without a CLOSE.
const char* const client_trace =
    "       0 start board_client\n"
    "       1 to-board OPEN\\r\\n\n"
    "    1001 from-board Replayed board\\r\\n>\\x17\n"
    "    1002 to-board NEWGAME\\r\\n\n"
    "    1003 from-board New Game\\r\\n>\\x17\n";

TEST(Replay, ServesTheRecordedRepliesAndEndsWithTheProgramsStatus) {
    const std::string dir = work_directory();
    write_file(dir + "/run.trace", "       0 start an earlier run\n       1 to-board PLAY\\r\\n\n" + std::string(client_trace));
    const std::string client = quoted(BOARD_CLIENT) + " OSA_COM1 OPEN NEWGAME";
    const auto timed = run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace -- " + client, "hello\n");
    EXPECT_EQ(timed.status, 5) << timed.errors;
    EXPECT_EQ(timed.output, "Replayed board\\r\\n>\\x17\nNew Game\\r\\n>\\x17\nstdin: hello\n");
    EXPECT_EQ(timed.errors, "");
    EXPECT_GE(timed.ms, 1000) << "the recorded delay of the first reply";
    const auto fast = run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace --replay-fast -- " + client, "hello\n");
    EXPECT_EQ(fast.status, 5) << fast.errors;
    EXPECT_EQ(fast.output, timed.output);
    // Measured against the timed run, so that a slow machine (the sanitizers) slows both alike.
    EXPECT_LT(fast.ms, timed.ms - 500) << "the fast replay skips the recorded delay";
}

TEST(Replay, AProgramThatEndsEarlyIsReported) {
    const std::string dir = work_directory();
    write_file(dir + "/run.trace", client_trace);
    const auto run = run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace -- " + quoted(BOARD_CLIENT) + " OSA_COM1 OPEN",
                            "hello\n");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.errors, "osa-emulator: replay: the program ended before command 2\n  recorded: NEWGAME\\r\\n\n");
}

// The end of the program and its last command come together; the command still counts.
TEST(Replay, TheLastCommandBeforeTheEndCounts) {
    const std::string dir = work_directory();
    write_file(dir + "/run.trace", "       0 start sh\n       1 to-board CLOSE\\r\\n\n");
    write_file(dir + "/close.sh", "printf 'CLOSE\\r\\n' > \"$OSA_COM1\"\n");
    for (int run = 0; run < 10; ++run) {
        const auto closed = run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace -- /bin/sh close.sh");
        ASSERT_EQ(closed.status, 0) << closed.errors;
    }
}

TEST(Replay, AnUnreadableTraceGives2BeforeTheProgramStarts) {
    const std::string dir = work_directory();
    write_file(dir + "/run.trace", "       0 start x\n       1 to-board OPEN\\q\n");
    const std::string client = quoted(BOARD_CLIENT) + " OSA_COM1 OPEN";
    const auto bad = run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace -- " + client, "hello\n");
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.errors,
              "osa-emulator: run.trace line 2: the bytes are not escaped as a trace writes them\n");
    EXPECT_EQ(bad.output, "") << "the program never ran";
    const auto missing = run_in(dir, quoted(OSA_EMULATOR) + " --replay none.trace -- " + client, "hello\n");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.errors, "osa-emulator: cannot read the trace file none.trace\n");
}

#if defined(DORVANE) && defined(QUILLRAND)
// A go written by hand: the board's search report names the board's move, which Dorvane
// relays and plays. The reply to the GUI's move comes 500 ms late.
const char* const dorvane_trace =
    "       0 start Dorvane 1.3.0\n"
    "       0 to-board ENGLISH\\r\\n\n"
    "     250 to-board OPEN\\r\\n\n"
    "     250 from-board Hand-written board\\r\\n>\\x17\n"
    "     250 to-gui info string Hand-written board\\r\\n\n"
    "     250 to-board BOARD OFF\\r\\n\n"
    "     250 from-board >\\x17\n"
    "     250 to-board SENDINFO OFF\\r\\n\n"
    "     250 from-board >\\x17\n"
    "     251 from-gui isready\\n\n"
    "     251 to-gui readyok\\r\\n\n"
    "     260 from-gui position startpos moves e2e4\\n\n"
    "     260 from-gui go\\n\n"
    "     260 to-board MOVE e2-e4\\r\\n\n"
    "     760 from-board OK\\r\\n>\\x17\n"
    "    1510 to-board SENDINFO\\r\\n\n"
    "    1511 from-board Sendinfo     1234 2    -15  e7-e5 g1-f3.\\r\\n>\\x17\n"
    "    1511 to-gui info depth 2 score cp -15 pv e7-e5 g1-f3\\r\\n\n"
    "    1511 to-board MOVE e7-e5\\r\\n\n"
    "    1512 from-board OK\\r\\n>\\x17\n"
    "    1512 to-gui bestmove e7e5\\r\\n\n"
    "    1513 from-gui quit\\n\n"
    "    1513 to-board CLOSE\\r\\n\n";

const char* const dorvane_output =
    "info string Hand-written board\r\nreadyok\r\ninfo depth 2 score cp -15 pv e7-e5 g1-f3\r\nbestmove e7e5\r\n";

TEST(Replay, AHandWrittenTracePlaysTheGuiAndGivesItsUciOutput) {
    const std::string dir = work_directory();
    write_file(dir + "/run.trace", dorvane_trace);
    const std::string replay = quoted(OSA_EMULATOR) + " --replay run.trace --replay-gui --replay-check-gui";
    const auto fast = run_in(dir, replay + " --replay-fast -- " + quoted(DORVANE));
    EXPECT_EQ(fast.status, 0) << fast.errors;
    EXPECT_EQ(fast.output, dorvane_output);
    EXPECT_EQ(fast.errors, "");
    const auto timed = run_in(dir, replay + " -- " + quoted(DORVANE));
    EXPECT_EQ(timed.status, 0) << timed.errors;
    EXPECT_EQ(timed.output, dorvane_output);
    EXPECT_GE(timed.ms - fast.ms, 400) << "the late reply keeps its delay";
}

TEST(Replay, AChangedCommandIsReportedAndEndsTheReplay) {
    const std::string dir = work_directory();
    std::string changed = dorvane_trace;
    changed.replace(changed.find("to-board MOVE e7-e5"), 19, "to-board MOVE e7-e6");
    write_file(dir + "/run.trace", changed);
    const std::string expected =
        "osa-emulator: replay: command 7 differs from the recording\n"
        "  recorded: MOVE e7-e6\\r\\n\n"
        "  received: MOVE e7-e5\\r\\n\n";
    // Playing the GUI, and with the GUI's input left open: the program ends or is ended.
    for (const bool gui : {true, false}) {
        const auto run = gui ? run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace --replay-gui -- " + quoted(DORVANE))
                             : run_in(dir, quoted(OSA_EMULATOR) + " --replay run.trace -- " + quoted(DORVANE),
                                      "isready\nposition startpos moves e2e4\ngo\n", true);
        EXPECT_EQ(run.status, 3) << gui;
        EXPECT_EQ(run.errors, expected) << gui;
        EXPECT_LT(run.ms, 8000) << gui;
    }
}

// Games recorded through the programs' own trace and replayed: the same UCI output, byte for byte.
void expect_replay_of_recorded_game(const std::string& white, const std::string& black, const std::string& program) {
    const std::string dir = work_directory();
    const auto game = match({"--white", white, "--black", black, "--max-moves", "3"});
    ASSERT_EQ(game.status, 0) << game.output;
    const auto recording = osa::board::read_recording(dir + "/game.trace");
    ASSERT_TRUE(std::holds_alternative<std::vector<osa::TraceEntry>>(recording)) << std::get<std::string>(recording);
    std::string recorded_output;
    for (const auto& entry : std::get<std::vector<osa::TraceEntry>>(recording))
        if (entry.tag == osa::TraceTag::to_gui) recorded_output += entry.bytes;
    const auto replay = run_in(dir, quoted(OSA_EMULATOR) +
                                        " --replay game.trace --replay-gui --replay-fast --replay-check-gui -- " + program);
    EXPECT_EQ(replay.status, 0) << replay.errors;
    EXPECT_EQ(replay.errors, "");
    EXPECT_EQ(replay.output, recorded_output);
    EXPECT_NE(recorded_output.find("bestmove"), std::string::npos) << recorded_output;
}

std::string recorded(const std::string& dir, const std::string& options, const char* program) {
    // The driver runs the command through exec, so the directory is changed by a shell of its own.
    return "/bin/sh -c \"cd '" + dir + "' && OSA_TRACE=game.trace exec " + quoted(OSA_EMULATOR) + " " + options +
           " -- " + quoted(program) + "\"";
}

TEST(RecordedGames, DorvaneReplaysToTheSameUciOutput) {
    const std::string dir = work_directory();
    expect_replay_of_recorded_game(recorded(dir, "--think 100 --level 3", DORVANE), fake("random 7"),
                                   quoted(DORVANE));
}

TEST(RecordedGames, QuillrandReplaysToTheSameUciOutput) {
    const std::string dir = work_directory();
    expect_replay_of_recorded_game(
        fake("random 7"),
        recorded(dir, "--human engine --level 2 --human-delay 20 --takeback-every 2 --seed 3", QUILLRAND),
        quoted(QUILLRAND));
}
#endif

TEST(Referee, JudgesFinishedGamesAndForfeits) {
    using namespace osa::chess;
    using namespace osa::match;
    const auto mate = judge(*Position::from_fen("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"));
    EXPECT_EQ(mate.score, "0-1");
    EXPECT_EQ(mate.reason, "Black mates");
    EXPECT_EQ(judge(*Position::from_fen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1")).score, "1/2-1/2");
    EXPECT_EQ(judge(Position()).score, "*");
    EXPECT_EQ(forfeit(black, "gone").score, "1-0");
    EXPECT_EQ(forfeit(black, "gone").reason, "Black forfeits: gone");
    const Position start;
    EXPECT_EQ(move_label(start, *parse_uci(start, "e2e4")), "1. e2e4");
}

}  // namespace
