// Start-up settings: defaults, the settings file osa.ini, the command line and the usage screens.
//
// Defaults are overridden by osa.ini in the current directory, which is overridden by the
// command line. Settings are read once at start and never written back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa {

// The two programs share the start-up and differ in their extra settings and usage screens.
enum class Program { player, converter };

struct Settings {
    std::string port_name = "COM1:";
    std::string baud_text = "1200";
    std::uint8_t flip = 0;        // player only; on when it holds exactly 1
    std::string engine_name;      // converter only
    std::string module_name;      // converter only
    std::string level_text;       // converter only; sent to the board only when two characters long
    bool uci_pv = false;          // converter only, "pv=uci": the info lines' moves in UCI notation
    std::optional<std::string> trace_path;  // the run trace that osa.ini names; nothing without a "trace=" line
};

// Applies one line of osa.ini: all spaces removed, the key matched in any case, the value kept as
// it is. A line that matches no key of the program is ignored. The "trace=" value is a file path:
// only the spaces at its ends go, so that a path such as "C:\Users\Ann Lee\trace.txt" stays whole.
void apply_settings_line(Settings& settings, Program program, std::string_view line);

// The number of a "flip=" value: decimal, or hexadecimal, octal or binary after "&H", "&O", "&B";
// reading stops at the first character that does not belong to the number; only the low 8 bits remain.
std::uint8_t flip_number(std::string_view value);

// Reads the settings file if it can be opened; otherwise the settings stay as they are.
void read_settings_file(Settings& settings, Program program, const std::string& path = "osa.ini");

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

// The lines of the program's usage screen, without line ends.
std::vector<std::string> usage_screen(Program program);

}  // namespace osa
