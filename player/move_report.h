// The board's report of the human's move, read back as the UCI move for "bestmove".
//
// The board writes a move as from-square, "-" (or "x" for a capture) and to-square, castling as
// "O-O" or "O-O-O" with capital letters O, and a promotion as "/" and the piece letter. Text
// around the move (a piece letter, a move number, a check sign) is passed over.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace osa {

// The move in the report ("Ng8-f6" gives "g8f6", "b2xa1/N" gives "b2a1n"; castling gives the
// king's move on the human's side), or nothing when the report holds no move: no "-" or "x"
// between two squares and no castling.
std::optional<std::string> uci_move_from_report(std::string_view report, bool black_side);

}  // namespace osa
