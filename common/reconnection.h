// "reconnect=on": a serial line lost in the middle of a command is opened again, the board is put
// back where it was, and the command is done again from its start, so that the GUI still gets
// exactly one answer to it.
#pragma once

#include "serial_line.h"
#include "settings.h"

#include <functional>
#include <string>
#include <string_view>

namespace osa {

// What a program tells the command loop so that a board that comes back can be restored.
struct BoardRestore {
    std::string open_string;  // the port as opened at start; empty when reconnect is off
    std::string port_name;    // named in the "info string" lines
    std::function<void(SerialLine&)> send_modes;  // the program's mode commands after the greeting
    std::string_view position_keyword;            // of the program's FEN setup
    // The program's loop state is kept before each command and rewound before it is repeated, so
    // that a repeated "go" enters the GUI's last move again.
    std::function<void()> keep_state;
    std::function<void()> rewind_state;

    bool enabled() const { return !open_string.empty(); }
};

// Without "reconnect=on" in the settings the restore is disabled and a lost line ends the program.
BoardRestore board_restore(const Settings& settings, std::string_view position_keyword,
                           std::function<void(SerialLine&)> send_modes);

// The line was lost: the GUI is told once, the device closed, and the port opened again once a
// second until a board answers the opening dialogue; then the position before the last move of
// position_line (the GUI's last "position " line, empty for none) is set up and the GUI is told that
// the board is back. A device that opens but stays silent is closed again, and the waiting goes on.
void bring_back_board(SerialLine& line, const BoardRestore& restore, std::string_view position_line,
                      std::string_view reason);

}  // namespace osa
