// Whole games of each program on the emulated board, once without and once with a trace: the GUI's
// side and the board's log must be the same byte for byte, and the trace must hold every byte of
// both. The GUI's moves come from a fixed seed; the board's searches end at their depth long
// before the program's first poll, and the simulated human answers at once, so the two runs
// follow the same road.
#include "chess.h"
#include "harness.h"
#include "referee.h"
#include "text.h"
#include "trace_reading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

namespace osatest {
namespace {

using osa::chess::Position;

struct GameRun {
    std::string gui_in;    // every byte the GUI sent
    std::string gui_out;   // every byte the program wrote
    std::string board_log; // the emulator's log without its times and its pty's name
    int moves = 0;
    std::string result;
};

// The board's log with the time column cut off; the note that names the pty differs from run to run.
std::string board_log_without_times(const std::string& path) {
    std::istringstream log(file_text(path));
    std::string text;
    for (std::string line; std::getline(log, line);) {
        const auto start = line.find_first_not_of(' ');
        const auto event = line.find(' ', start);
        if (event == std::string::npos) continue;
        const std::string rest = line.substr(event + 1);
        text += rest.starts_with("-- started ") ? "-- started\n" : rest + "\n";
    }
    return text;
}

class GuiSide {
public:
    GuiSide(const std::string& program, const WorkDir& dir, const std::vector<std::string>& board_options)
        : board_log_(dir.path() + "/board.log"), emulator_(start(program, dir, board_options)) {}

    void send(const std::string& line) {
        emulator_.send_line(line);
        run_.gui_in += line + "\n";
    }
    // The lines up to the one that begins with the prefix, which is returned.
    std::string read_until(const std::string& prefix) {
        for (;;) {
            const std::string line = emulator_.next_line(20s);
            run_.gui_out += line + "\r\n";
            if (line.starts_with(prefix) || line == "<timeout>" || line.ends_with("<eof>")) return line;
        }
    }
    GameRun finish(const Position& position, int moves) {
        send("quit");
        EXPECT_EQ(emulator_.wait_exit(10s), 0);
        run_.gui_out += emulator_.rest_of_output();
        run_.board_log = board_log_without_times(board_log_);
        run_.moves = moves;
        run_.result = osa::match::judge(position).score;
        return run_;
    }

private:
    RunningProgram start(const std::string& program, const WorkDir& dir, std::vector<std::string> options) {
        std::vector<std::string> arguments = {"--trace", board_log_};
        arguments.insert(arguments.end(), options.begin(), options.end());
        arguments.insert(arguments.end(), {"--", executable(program)});
        return RunningProgram(OSA_EMULATOR, arguments, {}, dir.path());
    }

    std::string board_log_;
    RunningProgram emulator_;
    GameRun run_;
};

bool play(Position& position, const std::string& uci) {
    const auto move = osa::chess::parse_uci(position, uci);
    if (!move) return false;
    position.make(*move);
    return true;
}

std::string random_move(const Position& position, std::mt19937& choose) {
    const auto moves = position.legal_moves();
    return osa::chess::uci_text(moves[std::uniform_int_distribution<std::size_t>(0, moves.size() - 1)(choose)]);
}

bool decided(const Position& position) { return osa::match::judge(position).score != "*"; }

void open_game(GuiSide& gui) {
    gui.send("uci");
    EXPECT_EQ(gui.read_until("uciok"), "uciok");
    gui.send("isready");
    EXPECT_EQ(gui.read_until("readyok"), "readyok");
    gui.send("ucinewgame");
}

constexpr int move_limit = 40;

// How a game is played beyond the defaults: more board options, and a longer game.
struct GameSetting {
    std::vector<std::string> board_options;
    int limit = move_limit;
};

std::vector<std::string> with(std::vector<std::string> options, const GameSetting& setting) {
    options.insert(options.end(), setting.board_options.begin(), setting.board_options.end());
    return options;
}

// The GUI hands the game so far to the program and plays the move it answers; false, and a
// failure, when that move is not legal.
bool program_moves(GuiSide& gui, Position& position, std::string& moves) {
    gui.send("position startpos" + (moves.empty() ? "" : " moves" + moves));
    gui.send("go wtime 60000 btime 60000");
    const std::string best = gui.read_until("bestmove ");
    const std::string move = best.substr(std::min<std::size_t>(9, best.size()));
    if (!play(position, move)) {
        ADD_FAILURE() << "not a legal move: " << best;
        return false;
    }
    moves += " " + move;
    return true;
}

// The board computer plays White; the GUI answers with random moves.
GameRun dorvane_game(const WorkDir& dir, const GameSetting& setting) {
    GuiSide gui("Dorvane", dir, with({"--seed", "5", "--think", "5000", "--level", "2"}, setting));
    open_game(gui);
    Position position;
    std::mt19937 choose(11);
    std::string moves;
    int played = 0;
    while (played < setting.limit && !decided(position)) {
        if (!program_moves(gui, position, moves)) break;
        ++played;
        if (decided(position)) break;
        const std::string answer = random_move(position, choose);
        play(position, answer);
        moves += " " + answer;
    }
    return gui.finish(position, played);
}

// The GUI's engine plays White at random; the human on the board plays Black with the emulator's
// own search, taking back now and then.
GameRun quillrand_game(const WorkDir& dir, const GameSetting& setting) {
    GuiSide gui("Quillrand", dir,
                with({"--seed", "5", "--human", "engine", "--level", "2", "--human-delay", "0", "--takeback-every", "5"},
                     setting));
    open_game(gui);
    Position position;
    std::mt19937 choose(11);
    std::string moves;
    int played = 0;
    while (played < setting.limit && !decided(position)) {
        const std::string own = random_move(position, choose);
        play(position, own);
        moves += " " + own;
        ++played;
        if (decided(position)) break;
        if (!program_moves(gui, position, moves)) break;
    }
    return gui.finish(position, played);
}

// The board's log lines of one kind ("<- " commands, "-> " replies), each with the given end.
std::vector<std::string> board_lines(const std::string& log, const std::string& kind, const std::string& end) {
    std::istringstream lines(log);
    std::vector<std::string> found;
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with(kind)) found.push_back(line.substr(kind.size()) + end);
    return found;
}

void expect_trace_holds_the_game(const std::string& trace_path, const GameRun& run, const std::string& name) {
    const auto entries = read_trace(trace_path);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].tag, "start");
    EXPECT_TRUE(entries[0].bytes.starts_with(name + " " OSA_VERSION ", settings ")) << entries[0].bytes;
    EXPECT_EQ(joined(entries_tagged(entries, "from-gui")), osa::escape_bytes(run.gui_in));
    EXPECT_EQ(joined(entries_tagged(entries, "to-gui")), osa::escape_bytes(run.gui_out));
    EXPECT_EQ(entries_tagged(entries, "to-board"), board_lines(run.board_log, "<- ", "\\r\\n"));
    EXPECT_EQ(joined(entries_tagged(entries, "from-board")), joined(board_lines(run.board_log, "-> ", "")));
}

struct GameCase {
    const char* program;
    GameRun (*play)(const WorkDir&, const GameSetting&);
};

void PrintTo(const GameCase& game, std::ostream* out) { *out << game.program; }

class TracedGame : public testing::TestWithParam<GameCase> {};

TEST_P(TracedGame, BothSidesAreTheSameWithATraceAndTheTraceHoldsThemAll) {
    if (under_launcher()) GTEST_SKIP() << "the emulated board runs the Linux programs";
    const GameCase& game = GetParam();
    WorkDir plain;
    const GameRun without_trace = game.play(plain, {});
    WorkDir traced;
    traced.write_file("osa.ini", "trace = game.trace\n");
    const GameRun with_trace = game.play(traced, {});

    EXPECT_GE(without_trace.moves, 10) << without_trace.gui_out;
    EXPECT_EQ(with_trace.moves, without_trace.moves);
    EXPECT_EQ(with_trace.result, without_trace.result);
    EXPECT_EQ(with_trace.gui_in, without_trace.gui_in);
    EXPECT_EQ(with_trace.gui_out, without_trace.gui_out);
    EXPECT_EQ(with_trace.board_log, without_trace.board_log);
    expect_trace_holds_the_game(traced.path() + "/game.trace", with_trace, game.program);
    RecordProperty("moves", with_trace.moves);
    RecordProperty("result", with_trace.result);
    RecordProperty("trace_bytes", static_cast<int>(file_text(traced.path() + "/game.trace").size()));
}

INSTANTIATE_TEST_SUITE_P(Programs, TracedGame,
                         testing::Values(GameCase{"Dorvane", dorvane_game}, GameCase{"Quillrand", quillrand_game}),
                         [](const auto& info) { return std::string(info.param.program); });

// A game with reconnect=on and the board unplugged twice: once keeping its game, once switched
// off and on. It is played until it ends by the rules; every "bestmove" must be legal (the GUI
// side fails on any other), one for each "go", and after each return the board's log shows the
// greeting and the position set up before the next move goes in.
class UnpluggedGame : public testing::TestWithParam<GameCase> {};

TEST_P(UnpluggedGame, EndsByTheRulesWithTheBoardSetUpAfterEachReturn) {
    if (under_launcher()) GTEST_SKIP() << "the emulated board runs the Linux programs";
    WorkDir dir;
    dir.write_file("osa.ini", "reconnect = on\n");
    const GameRun run = GetParam().play(dir, {{"--unplug", "20,1500,keep", "--unplug", "45,1200,reset"}, 400});
    EXPECT_NE(run.result, "*") << run.gui_out;
    EXPECT_EQ(board_lines(run.gui_out, "bestmove ", "").size(), static_cast<std::size_t>(run.moves));
    const std::string log = run.board_log;
    std::size_t returns = 0;
    for (auto back = log.find("-- plugged in again"); back != std::string::npos; back = log.find("-- plugged", back + 1)) {
        ++returns;
        const std::string after = log.substr(log.find('\n', back) + 1);
        EXPECT_TRUE(after.starts_with("<- ENGLISH\n")) << after.substr(0, 200);
        const auto next_move = std::min(after.find("<- MOVE "), after.find("<- ANALYSIS"));
        EXPECT_LT(after.find("<- SETUP\n"), next_move) << after.substr(0, 400);
    }
    EXPECT_EQ(returns, 2u) << log;
    RecordProperty("moves", run.moves);
    RecordProperty("result", run.result);
}

INSTANTIATE_TEST_SUITE_P(Programs, UnpluggedGame,
                         testing::Values(GameCase{"Dorvane", dorvane_game}, GameCase{"Quillrand", quillrand_game}),
                         [](const auto& info) { return std::string(info.param.program); });

}  // namespace
}  // namespace osatest
