// Putting a FEN position on the board: "SETUP", "FUNCTION NEW", one position command per rank
// that holds pieces, "BOARD OFF", "NORMAL". Only the placement and the side to move are used.
#pragma once

#include "serial_line.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa {

// The side letter of a FEN text: the character just before its second space, the one the board's
// position setup is told. Nothing when the text has fewer than two spaces.
std::optional<char> fen_side_letter(std::string_view fen);

// One command per rank that holds pieces, from rank 8 down, each begun with the program's keyword
// ("POSI WHITE WRa1,WNb1"); nothing when the text is no usable FEN (no side field of "w" or "b",
// fewer than eight ranks).
std::optional<std::vector<std::string>> rank_commands(std::string_view fen, std::string_view keyword);

// Sets the position up on the board, or writes "fen error" and sends nothing.
void setup_position(SerialLine& line, std::string_view fen, std::string_view keyword);

}  // namespace osa
