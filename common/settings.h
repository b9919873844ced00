// Start-up settings: defaults, the settings file osa.ini and the command line.
//
// Defaults are overridden by osa.ini in the current directory, which is overridden by the
// command line. Settings are read once at start and never written back.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa {

// What the programs do with the GUI's lines while a command waits on the board: read none of them
// until it has ended (wait), or answer "isready" at once, end on "quit" and keep the rest (answer).
enum class BusyMode { wait, answer };

// The value of "busy=": "answer" in any case; every other value keeps the default.
BusyMode busy_mode(std::string_view value);

struct Settings {
    std::string port_name = "COM1:";
    std::string baud_text = "1200";
    std::optional<std::string> trace_path;  // the run trace that osa.ini names; nothing without a "trace=" line
    BusyMode busy = BusyMode::wait;
    bool reconnect = false;                 // "reconnect=on": a lost serial line is opened again
    // The values of the keys that only the program itself reads, by key ("flip"); the last line
    // that names a key wins.
    std::map<std::string, std::string, std::less<>> own_values;
};

// The keys of osa.ini that only one program reads, without the "=" ("flip").
using OwnKeys = std::vector<std::string_view>;

// What a program hands the start-up that is its own.
struct ProgramProfile {
    std::string name;           // in the usage screen, and with the build's version in the run trace
    OwnKeys own_keys;
    std::string title;          // the usage screen's first line
    std::string usage_version;  // the version that the usage screen names ("1.1")
};

// The lines of the program's usage screen, without line ends.
std::vector<std::string> usage_screen(const ProgramProfile& profile);

// Applies one line of osa.ini: all spaces removed, the key matched in any case, the value kept as
// it is. A line that matches neither a key of both programs nor one of the program's own keys is
// ignored. The "trace=" value is a file path: only the spaces at its ends go, so that a path such
// as "C:\Users\Ann Lee\trace.txt" stays whole.
void apply_settings_line(Settings& settings, const OwnKeys& own_keys, std::string_view line);

// Reads the settings file if it can be opened; otherwise the settings stay as they are.
void read_settings_file(Settings& settings, const OwnKeys& own_keys, const std::string& path = "osa.ini");

// The settings file to read: osa.ini in the working directory when it can be opened, else the one
// in the program's folder; nothing when neither can be.
std::optional<std::string> settings_file_path(const std::string& program_folder);

// The value of one of the program's own keys; empty when osa.ini does not set it.
std::string own_value(const Settings& settings, std::string_view key);

// The run trace's file: the one osa.ini names (an empty "trace=" means none), else the value of
// the environment variable OSA_TRACE when it is set and not empty; empty for no trace.
std::string trace_file(const Settings& settings, const char* osa_trace);

// The arguments after the program's name, counted up to the first empty one.
std::vector<std::string> argument_list(int argc, const char* const* argv);

// "/?" or "/H" in any case as the first argument.
bool asks_for_usage(const std::vector<std::string>& arguments);

// The first argument, upper-cased, becomes the port name; the second, unchanged, the baud text.
void apply_arguments(Settings& settings, const std::vector<std::string>& arguments);

// Port name, baud text and the fixed line settings, joined without separator.
std::string serial_open_string(const Settings& settings);

}  // namespace osa
