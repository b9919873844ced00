// Drives the real executables: the test plays the board on the master side of a pseudo-terminal
// whose slave the program opens as its serial line (OSA_COM1), and plays the GUI on the
// program's standard input and output.
#pragma once

#include "launcher.h"
#include "temp_paths.h"

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osatest {

using namespace std::chrono_literals;

constexpr char etb = 23;

// The tests can also run the Windows programs through a launcher such as Wine, when these are set:
//   OSA_LAUNCHER   the launcher's command words ("wine");
//   OSA_EXE_DIR    the directory that holds Quillrand.exe and Dorvane.exe;
//   OSA_COM_LINKS  a directory of links com1, com2, ... that the launcher's port mapping names as
//                  COM1, COM2, ...; before each start every link there is pointed to the device
//                  that the program's OSA_COMn names (or to no device), so that a port reaches the
//                  same device as on Linux. Only one program at a time can use the links.
bool under_launcher();

// The program to start: the path of a program of the build tree ("Quillrand", "Dorvane"), or of
// its .exe file under a launcher.
std::string executable(const std::string& name);

// A fresh directory for the program to run in (it reads osa.ini from there); removed at the end.
class WorkDir {
public:
    std::string path() const { return folder_.path().string(); }
    void write_file(const std::string& name, std::string_view content) const;

private:
    osa::TempFolder folder_{"osa-test"};
};

class ScriptedBoard {
public:
    // Behind a link, the board has a path of its own that stays when the board is unplugged and
    // plugged in again: the program is given the link.
    enum class Path { pty, link };
    explicit ScriptedBoard(Path path = Path::pty);
    ~ScriptedBoard();
    ScriptedBoard(const ScriptedBoard&) = delete;
    ScriptedBoard& operator=(const ScriptedBoard&) = delete;

    const std::string& device() const { return device_; }

    // The next command line the program sent, without its CR LF; "<timeout>" when none came.
    std::string next_command(std::chrono::milliseconds timeout = 5s);
    // True when no byte arrives within the time.
    bool stays_silent(std::chrono::milliseconds time);
    void send(std::string_view bytes);
    // Checks that the next command is the expected one, then sends the reply bytes.
    void expect(std::string_view command, std::string_view reply = std::string_view("\x17", 1));
    void hang_up();  // closes the master: the device vanishes under the program
    // Behind a link only: the pty closed and the link removed; then a fresh pty behind the link.
    void unplug();
    void plug_in();
    // Sends bytes that the program has not asked for and returns once they wait at its end of the
    // line, so that the program's next step finds them there.
    void send_unasked(std::string_view bytes);
    // The speed in bits per second that the program has set on its end of the line; 0 for a speed
    // without a number in the table.
    unsigned line_speed() const;

private:
    bool fill(std::chrono::milliseconds timeout);
    void open_pty();
    int master_ = -1;
    int slave_ = -1;
    std::string device_;
    std::string pty_path_;
    std::optional<osa::StableLink> link_;
    std::string received_;
};

// The program runs with pipes for its standard input and output and only the given environment;
// under a launcher it is started through it, with the launcher's own settings added.
class RunningProgram {
public:
    RunningProgram(const std::string& path, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::string>& environment, const std::string& work_dir);
    ~RunningProgram() { child_.wait_or_kill(0); }
    RunningProgram(RunningProgram&&) = default;
    RunningProgram& operator=(RunningProgram&&) = delete;

    void send_line(std::string_view text);  // the text and LF
    void send_raw(std::string_view bytes);
    void close_input() { child_.input() = osa::board::Descriptor(); }
    void close_output() { child_.output() = osa::board::Descriptor(); }  // the GUI stops reading: later writes fail

    // The next line written, without its CR LF; "<timeout>" or "<eof>" otherwise. A line not ended
    // by CR LF (only LF) is returned with a "<LF>" mark so that such faults show.
    std::string next_line(std::chrono::milliseconds timeout = 5s);
    // Every byte written from now until the program closes its output.
    std::string rest_of_output(std::chrono::milliseconds timeout = 5s);
    bool silent_for(std::chrono::milliseconds time);
    std::optional<int> wait_exit(std::chrono::milliseconds timeout = 5s) {
        return child_.wait_for(static_cast<int>(timeout.count()));
    }
    pid_t pid() const { return child_.pid(); }

private:
    bool fill(std::chrono::milliseconds timeout);
    osa::board::Child child_;
    std::string received_;
    bool output_ended_ = false;
};

// The program started on the scripted board, in the given directory, with OSA_COM1 set and the
// extra variables added.
RunningProgram start_on_board(const std::string& name, const ScriptedBoard& board, const WorkDir& dir,
                              const std::vector<std::string>& arguments = {},
                              const std::map<std::string, std::string>& extra_environment = {});

// The same after its opening dialogue: the board identifies itself with the given text and
// acknowledges the program's two mode commands.
RunningProgram start_greeted(const std::string& name, ScriptedBoard& board, const WorkDir& dir,
                             const std::string& identification = "Board");

// The CPU time (user + system) that all threads of a running process have used so far.
std::chrono::microseconds cpu_time(pid_t pid);

// The command line of a running process, its words separated by spaces: shows which program a
// process id belongs to (a launcher such as Wine runs the .exe in the process it was started as).
std::string command_line(pid_t pid);

}  // namespace osatest
