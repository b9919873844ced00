// The emulator's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "board.h"

namespace osa::board {

// The board unplugged once: "--unplug".
struct Unplug {
    bool by_time = false;  // at: milliseconds since the start; otherwise command lines since the start
    std::int64_t at = 0;
    std::int64_t down_ms = 0;
    bool reset = false;    // the board comes back with a fresh game
};

// "60,2000" (after the 60th command line, for 2 s), "9000ms,1500,reset"; nothing when unusable.
std::optional<Unplug> parse_unplug(const std::string& text);

struct EmulatorOptions {
    BoardOptions board;
    bool seed_given = false;
    std::string port = "COM1:";
    std::string trace_path;
    long long wire_baud = 0;  // 0: the pty's own speed
    std::string replay_path;  // a run trace whose board side is played back instead of the board
    bool replay_fast = false;
    bool replay_gui = false;
    bool replay_check_gui = false;
    bool view = false;  // the web page, read-only unless a person plays the human there
    int web_port = 0;   // 0: a free port
    std::vector<Unplug> unplugs;  // in the order given; each counts from the start
    std::vector<std::string> child_command;  // after "--"; empty: serve alone and print the pty path
    bool help = false;
};

// "COM1:" and "COM1" give "OSA_COM1", the variable through which the programs find the
// device of that port; nothing for a name that is not COM and a number.
std::string port_variable(const std::string& port);

// An error message for a bad command line.
std::variant<EmulatorOptions, std::string> parse_options(const std::vector<std::string>& args);

// Whether the emulator serves its web page.
bool serves_page(const EmulatorOptions& options);

extern const char* const usage_text;

}  // namespace osa::board
