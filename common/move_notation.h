// Moves between the GUI's UCI form ("e2e4", "e7e8q") and the board's notation ("e2-e4", "e7-e8/Q"),
// and what a "position " line leaves behind: the GUI's last move, a FEN text and the side to move.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace osa {

// A UCI move in board notation. Only a lower-case "qrnb" at the end marks a promotion; the form
// is not checked otherwise ("7e8Q" gives "7e-8Q").
std::string board_notation(std::string_view uci_move);

struct PositionLine {
    std::string last_move;            // in board notation; empty without "moves "
    std::optional<std::string> fen;   // the text after "fen ", spaces trimmed
};

// Reads a trimmed UCI line that begins with "position ". The last move is taken from the end of
// the line, whatever stands between "moves " and it.
PositionLine read_position_line(std::string_view line);

// The side letter of a FEN text: the character just before its second space, the one the board's
// position setup is told. Nothing when the text has fewer than two spaces.
std::optional<char> fen_side_letter(std::string_view fen);

// The side to move after a "position " line, given what read_position_line found in it: White
// after startpos, the side the board's setup is given for a FEN (White unless its side letter is
// "b"), changed once for each move of the move list.
bool white_to_move_after(std::string_view position_line, const PositionLine& position);

}  // namespace osa
