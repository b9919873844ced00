// The run trace of both programs on a scripted board: every byte of both sides in the trace, in
// order, and not one byte or step of the dialogue changed by it, wherever the trace would go.
#include "case_names.h"
#include "harness.h"
#include "text.h"
#include "trace_reading.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace osatest {
namespace {

const std::string ack = std::string(">") + etb;

// Both sides of one run as the test saw them.
struct Transcript {
    std::vector<std::string> gui_in;     // each line as sent, with its line end
    std::string gui_out;                 // every byte the program wrote
    std::vector<std::string> commands;   // each board command, with its CR LF
    std::string board_out;               // every byte the board sent
    bool operator==(const Transcript&) const = default;
};

// Plays the board and the GUI and writes down both sides.
class Dialogue {
public:
    Dialogue(const std::string& name, const WorkDir& dir, const std::map<std::string, std::string>& environment)
        : program_(start_on_board(name, board_, dir, {}, environment)) {}

    void gui(const std::string& bytes) {
        program_.send_raw(bytes);
        seen_.gui_in.push_back(bytes);
    }
    void line_out(const std::string& expected) {
        const std::string line = program_.next_line();
        EXPECT_EQ(line, expected);
        seen_.gui_out += line + "\r\n";
    }
    void command(const std::string& expected, const std::string& reply = ack) {
        const std::string command = board_.next_command();
        EXPECT_EQ(command, expected);
        seen_.commands.push_back(command + "\r\n");
        board_sends(reply);
    }
    // Bytes the program is not waiting for: sent once they are all on its end of the line.
    void unasked(const std::string& bytes) {
        board_.send_unasked(bytes);
        seen_.board_out += bytes;
    }
    // Bytes the program waits for in a read (a reply, or the end of one): it may take them at once.
    void board_sends(const std::string& bytes) {
        board_.send(bytes);
        seen_.board_out += bytes;
    }
    // The GUI closes its end; the program closes the board and ends.
    Transcript finish() {
        program_.close_input();
        command("CLOSE", "");
        EXPECT_EQ(program_.wait_exit(), 0);
        seen_.gui_out += program_.rest_of_output();
        return seen_;
    }

private:
    ScriptedBoard board_;
    RunningProgram program_;
    Transcript seen_;
};

// A CR LF line, an unasked reply that is drained, a hand-over, the human's report ended by LF and
// its end-of-reply character read later, a last line without a line end.
Transcript quillrand_run(const WorkDir& dir, const std::map<std::string, std::string>& environment = {}) {
    Dialogue d("Quillrand", dir, environment);
    d.command("ENGLISH", "");
    d.command("OPEN", "Board v1\r\n" + ack);
    d.line_out("info string Board v1");
    d.command("SENDINFO OFF");
    d.command("BOARD ON");
    d.gui("uci\n");
    for (const char* line : {"id name Quillrand V1.1", "id author Jorvik Tamsel", "option name OwnBook type check default true"})
        d.line_out(line);
    d.command("NEWGAME", "New Game\r\n" + ack);
    d.line_out("uciok");
    d.gui("isready\r\n");
    d.line_out("readyok");
    d.unasked("noise\r\n");
    d.gui("ucinewgame\n");
    d.command("NEWGAME");
    d.gui("position startpos moves e2e4\n");
    d.gui("go infinite\n");
    for (const char* command : {"BOARD OFF", "MOVE e2-e4", "BOARD ON", "NORMAL"}) d.command(command);
    d.command("ANALYSIS", ack + "e7-e5\r\n" + std::string(1, etb));
    d.line_out("bestmove e7e5");
    d.gui("quit");
    return d.finish();
}

// Two polls of a search, a setlevel answer and a board listing with its line breaks.
Transcript dorvane_run(const WorkDir& dir, const std::map<std::string, std::string>& environment = {}) {
    Dialogue d("Dorvane", dir, environment);
    d.command("ENGLISH", "");
    d.command("OPEN", "Board v1\r\n" + ack);
    d.line_out("info string Board v1");
    d.command("BOARD OFF");
    d.command("SENDINFO OFF");
    d.gui("setlevel 03\n");
    d.command("setlevel 03", "Level 03" + ack);
    d.line_out("Level 03");
    d.gui("position startpos moves e2e4\r\n");
    d.gui("go wtime 1000 btime 1000\n");
    d.command("MOVE e2-e4", "OK\r\n" + ack);
    d.command("SENDINFO", "Sendinfo          2    -15  e7-e5 g1-f3\r\n" + ack);
    d.line_out("info depth 2 score cp -15 pv e7-e5 g1-f3");
    d.command("SENDINFO", "Sendinfo          3    -12  e7-e5 g1-f3.\r\n" + ack);
    d.command("MOVE e7-e5", "OK\r\n" + ack);
    d.line_out("bestmove e7e5");
    d.gui("board\n");
    d.command("POSITION", "r n b\r\nR N B\r\n" + ack);
    d.line_out("r n b");
    d.line_out("R N B");
    d.gui("quit\n");
    return d.finish();
}

using Run = Transcript (*)(const WorkDir&, const std::map<std::string, std::string>&);

struct Program {
    const char* name;
    Run run;
};

const Program programs[] = {{"Quillrand", quillrand_run}, {"Dorvane", dorvane_run}};

void PrintTo(const Program& program, std::ostream* out) { *out << program.name; }

std::vector<std::string> escaped(const std::vector<std::string>& parts) {
    std::vector<std::string> result;
    for (const std::string& part : parts) result.push_back(osa::escape_bytes(part));
    return result;
}

// Every byte of the transcript, on each channel in its order, and the board's bytes cut only
// after an end-of-reply character or before another entry.
void expect_trace_holds(const std::vector<TracedEntry>& entries, const Transcript& seen, const std::string& name) {
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries[0].ms, 0);
    EXPECT_EQ(entries[0].tag, "start");
    EXPECT_TRUE(entries[0].bytes.starts_with(name + " " OSA_VERSION ", settings ")) << entries[0].bytes;
    for (std::size_t i = 1; i < entries.size(); ++i) EXPECT_LE(entries[i - 1].ms, entries[i].ms) << i;
    EXPECT_EQ(entries_tagged(entries, "from-gui"), escaped(seen.gui_in));
    EXPECT_EQ(joined(entries_tagged(entries, "to-gui")), osa::escape_bytes(seen.gui_out));
    EXPECT_EQ(entries_tagged(entries, "to-board"), escaped(seen.commands));
    EXPECT_EQ(joined(entries_tagged(entries, "from-board")), osa::escape_bytes(seen.board_out));
    const std::string etb_text = osa::escape_bytes(std::string(1, etb));
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        if (entries[i].tag != "from-board" || entries[i + 1].tag != "from-board") continue;
        const bool at_an_end = entries[i].bytes.ends_with(etb_text) || entries[i].bytes.ends_with("\\n");
        EXPECT_TRUE(at_an_end) << "entry " << i << " cut before its end: " << entries[i].bytes;
    }
    std::size_t known = 0;
    for (const char* tag : {"start", "from-gui", "to-gui", "to-board", "from-board"}) known += entries_tagged(entries, tag).size();
    EXPECT_EQ(known, entries.size()) << "entries with another tag or a broken line";
}

TEST(RunTrace, QuillrandTraceInTheOrderOfTheDialogue) {
    WorkDir dir;
    dir.write_file("osa.ini", "trace=run.trace\n");
    const Transcript seen = quillrand_run(dir);
    const auto entries = read_trace(dir.path() + "/run.trace");
    expect_trace_holds(entries, seen, "Quillrand");
    std::vector<std::pair<std::string, std::string>> order;
    for (const TracedEntry& entry : entries) order.emplace_back(entry.tag, entry.bytes);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"start", "Quillrand " OSA_VERSION ", settings " + dir.path() + "/osa.ini"},
        {"to-board", "ENGLISH\\r\\n"},
        {"to-board", "OPEN\\r\\n"},
        {"from-board", "Board v1\\r\\n>\\x17"},
        {"to-gui", "info string Board v1\\r\\n"},
        {"to-board", "SENDINFO OFF\\r\\n"},
        {"from-board", ">\\x17"},
        {"to-board", "BOARD ON\\r\\n"},
        {"from-board", ">\\x17"},
        {"from-gui", "uci\\n"},
        {"to-gui", "id name Quillrand V1.1\\r\\n"},
        {"to-gui", "id author Jorvik Tamsel\\r\\n"},
        {"to-gui", "option name OwnBook type check default true\\r\\n"},
        {"to-board", "NEWGAME\\r\\n"},
        {"from-board", "New Game\\r\\n>\\x17"},
        {"to-gui", "uciok\\r\\n"},
        {"from-gui", "isready\\r\\n"},
        {"to-gui", "readyok\\r\\n"},
        {"from-gui", "ucinewgame\\n"},
        {"from-board", "noise\\r\\n"},  // drained: it ends before the next command
        {"to-board", "NEWGAME\\r\\n"},
        {"from-board", ">\\x17"},
        {"from-gui", "position startpos moves e2e4\\n"},
        {"from-gui", "go infinite\\n"},
        {"to-board", "BOARD OFF\\r\\n"},
        {"from-board", ">\\x17"},
        {"to-board", "MOVE e2-e4\\r\\n"},
        {"from-board", ">\\x17"},
        {"to-board", "BOARD ON\\r\\n"},
        {"from-board", ">\\x17"},
        {"to-board", "NORMAL\\r\\n"},
        {"from-board", ">\\x17"},
        {"to-board", "ANALYSIS\\r\\n"},
        {"from-board", ">\\x17"},
        {"from-board", "e7-e5\\r\\n"},  // the report ends at LF, and so does its entry
        {"to-gui", "bestmove "},
        {"to-gui", "e7e5\\r\\n"},
        {"from-gui", "quit"},
        {"from-board", "\\x17"},
        {"to-board", "CLOSE\\r\\n"},
    };
    EXPECT_EQ(order, expected);
}

TEST(RunTrace, DorvaneTraceHoldsBothSides) {
    WorkDir dir;
    dir.write_file("osa.ini", "com=COM1:\ntrace = run.trace\n");
    const Transcript seen = dorvane_run(dir);
    expect_trace_holds(read_trace(dir.path() + "/run.trace"), seen, "Dorvane");
}

// A board that stops in the middle of its reply leaves the program waiting in a read for ever;
// the lines it did send are in the trace by then, for the owner who has to end the program.
TEST(RunTrace, TheLinesOfAnUnfinishedReplyAreInTheTraceWhileTheProgramWaits) {
    WorkDir dir;
    dir.write_file("osa.ini", "trace=run.trace\n");
    Dialogue d("Dorvane", dir, {});
    d.command("ENGLISH", "");
    d.command("OPEN", "Board v1\r\n");
    const auto last_entry_is_the_line = [&] {
        const auto entries = read_trace(dir.path() + "/run.trace");
        return !entries.empty() && entries.back().tag == "from-board" && entries.back().bytes == "Board v1\\r\\n";
    };
    bool shown = false;
    for (int tries = 0; tries < 100 && !shown; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        shown = last_entry_is_the_line();
    }
    EXPECT_TRUE(shown) << file_text(dir.path() + "/run.trace");
    d.board_sends(ack);
    d.line_out("info string Board v1");
    d.command("BOARD OFF");
    d.command("SENDINFO OFF");
    (void)d.finish();
}

TEST(RunTrace, ARunAppendsToAnEarlierTrace) {
    WorkDir dir;
    dir.write_file("osa.ini", "trace=run.trace\n");
    dir.write_file("run.trace", "earlier\n");
    (void)dorvane_run(dir);
    const std::string text = file_text(dir.path() + "/run.trace");
    EXPECT_TRUE(text.starts_with("earlier\n       0 start Dorvane " OSA_VERSION ", settings ")) << text.substr(0, 60);
}

// Where the trace should go, and where it must then be found (empty: nowhere).
struct Placement {
    const char* what;
    const char* settings;         // osa.ini; none when empty
    const char* osa_trace;        // relative to the work directory; unset when null
    const char* written;          // the trace file that must exist afterwards
};

const Placement placements[] = {
    {"trace in osa.ini", "trace=run.trace\n", nullptr, "run.trace"},
    {"OSA_TRACE", "", "env.trace", "env.trace"},
    {"osa.ini wins", "trace=run.trace\n", "env.trace", "run.trace"},
    {"an empty trace= turns OSA_TRACE off", "trace=\n", "env.trace", ""},
    {"a directory", "trace=dir\n", nullptr, ""},
    {"a missing directory", "trace=missing/run.trace\n", nullptr, ""},
};

void PrintTo(const Placement& placement, std::ostream* out) { *out << placement.what; }

class TracePlacement : public testing::TestWithParam<std::tuple<Program, Placement>> {};

std::vector<std::string> files_in(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
        names.push_back(std::filesystem::relative(entry.path(), path).string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_P(TracePlacement, TheDialogueStaysByteForByteAndTheTraceGoesWhereItIsNamed) {
    const auto& [program, placement] = GetParam();
    WorkDir plain;
    const Transcript without_trace = program.run(plain, {});

    WorkDir dir;
    std::filesystem::create_directory(dir.path() + "/dir");
    if (*placement.settings) dir.write_file("osa.ini", placement.settings);
    std::map<std::string, std::string> environment;
    if (placement.osa_trace) environment["OSA_TRACE"] = dir.path() + "/" + placement.osa_trace;
    const auto before = files_in(dir.path());
    const Transcript seen = program.run(dir, environment);
    EXPECT_EQ(seen, without_trace);

    auto expected_files = before;
    if (*placement.written) {
        expected_files.push_back(placement.written);
        std::sort(expected_files.begin(), expected_files.end());
        expect_trace_holds(read_trace(dir.path() + "/" + placement.written), seen, program.name);
    }
    EXPECT_EQ(files_in(dir.path()), expected_files);
}

// The program that cannot open its serial line says only what it always says; the trace holds the
// system's reason: a missing device, a device another program holds, one the user may not open.
TEST(RunTrace, FailedOpenLeavesTheSystemsReason) {
    if (under_launcher()) GTEST_SKIP() << "the reasons are Linux's";
    ScriptedBoard board;
    const int held = ::open(board.device().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    const std::vector<std::string> as_nobody = {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
    const struct {
        std::string device;
        std::vector<std::string> launcher;
        int error;
    } cases[] = {
        {"/dev/osa-no-such-device", {}, ENOENT},
        {board.device(), {}, EWOULDBLOCK},
        // The pty slave is root's, of mode 620.
        {board.device(), as_nobody, EACCES},
    };
    for (const auto& c : cases) {
        if (!c.launcher.empty() && ::geteuid() != 0) continue;
        SCOPED_TRACE(c.device + " " + std::strerror(c.error));
        WorkDir dir;
        ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
        dir.write_file("osa.ini", "trace=run.trace\n");
        std::vector<std::string> command = c.launcher;
        command.push_back(executable("Dorvane"));
        RunningProgram program(command.front(), {command.begin() + 1, command.end()}, {{"OSA_COM1", c.device}},
                               dir.path());
        EXPECT_EQ(program.rest_of_output(), "Cannot initialise comport\r\n");
        EXPECT_EQ(program.wait_exit(), 0);
        const std::string reason = "cannot open COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN: status 2, system code " +
                                   std::to_string(c.error) + ", " + std::strerror(c.error);
        EXPECT_EQ(entries_tagged(read_trace(dir.path() + "/run.trace"), "serial-line"), std::vector{reason});
    }
    ::close(held);
}

INSTANTIATE_TEST_SUITE_P(Placements, TracePlacement,
                         testing::Combine(testing::ValuesIn(programs), testing::ValuesIn(placements)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    case_name(std::get<1>(info.param).what);
                         });

}  // namespace
}  // namespace osatest
