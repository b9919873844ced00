// Putting a FEN position on the board: "SETUP", "FUNCTION NEW", one position command per rank
// that holds pieces, "BOARD OFF", "NORMAL". Only the placement and the side to move are used.
#pragma once

#include "serial_line.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa {

// The keyword of the position commands: the player says "POSI ", the converter "POSITION ".
constexpr std::string_view player_position_keyword = "POSI ";
constexpr std::string_view converter_position_keyword = "POSITION ";

// One command per rank that holds pieces, from rank 8 down ("POSI WHITE WRa1,WNb1"); nothing
// when the text is no usable FEN (no side field of "w" or "b", fewer than eight ranks).
std::optional<std::vector<std::string>> rank_commands(std::string_view fen, std::string_view keyword);

// Sets the position up on the board, or writes "fen error" and sends nothing.
void setup_position(SerialLine& line, std::string_view fen, std::string_view keyword);

}  // namespace osa
