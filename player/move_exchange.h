// "go": the GUI's last move is entered on the board, the board is switched to analysis, and the
// move that the human then makes on the board goes back to the GUI as "bestmove".
#pragma once

#include "serial_line.h"

#include <cstdint>
#include <string>

namespace osa {

// What the command loop keeps from one UCI line to the next.
struct PlayerState {
    std::string last_move;       // the GUI's newest move in board notation; empty without one
    std::string last_fen;        // the FEN text last handed to the board's setup
    bool new_game = false;       // the next "go" is the first of a game
    std::uint8_t flip = 0;       // on only when it holds exactly 1
    bool black_side = false;     // the human plays Black
};

// Waits for the human's move as long as the human takes, then writes the "bestmove" line.
void handle_go(SerialLine& line, PlayerState& state);

}  // namespace osa
