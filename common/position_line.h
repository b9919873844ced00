// What a "position " line leaves behind: the GUI's last move in the board's notation, a FEN text
// and the side to move.
#pragma once

#include "serial_line.h"

#include <optional>
#include <string>
#include <string_view>

namespace osa {

struct PositionLine {
    std::string last_move;            // in board notation; empty without "moves "
    std::optional<std::string> fen;   // the text after "fen ", spaces trimmed
};

// Reads a trimmed UCI line that begins with "position ". The last move is taken from the end of
// the line, whatever stands between "moves " and it.
PositionLine read_position_line(std::string_view line);

// The side to move after a "position " line, given what read_position_line found in it: White
// after startpos, the side the board's setup is given for a FEN (White unless its side letter is
// "b"), changed once for each move of the move list.
bool white_to_move_after(std::string_view position_line, const PositionLine& position);

// The position that a board must hold for the GUI's last move of a "position " line to be entered
// next: the line's start position (startpos, or the FEN after "fen ") with every move but the last
// made, as a FEN text for the board's setup. A move that is unreadable or illegal ends the replay
// there: the position reached by the legal moves before it is the answer, since the board can hold
// no other. Nothing when the FEN is no usable position (bad fields, missing kings).
std::optional<std::string> fen_before_last_move(std::string_view position_line);

// A "position " line of the GUI, as both programs take it. The GUI repeats the whole game on every
// such line, and the board already holds all but the last move: a FEN position is set up (with the
// program's position keyword) only when it differs from the last FEN handed over.
PositionLine take_position(SerialLine& line, std::string_view command, std::string& last_fen, std::string_view keyword);

}  // namespace osa
