// Moves in the board's notation and in the GUI's UCI notation.
//
// The board writes a move as from-square, "-" (or "x" for a capture) and to-square, castling as
// "O-O" or "O-O-O" with capital letters O, and a promotion as "/" and the piece letter
// ("e7-e8/Q"). UCI writes squares only, with a lower-case promotion letter ("e7e8q").
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace osa {

// "a1" to "h8".
bool is_square(std::string_view text);

// The UCI letter of a promotion piece written in either case ("Q" gives 'q'); a king or a pawn is
// no promotion piece.
std::optional<char> promotion_letter(char piece);

// "q", "r", "b" or "n": the letter that ends a UCI promotion.
bool is_uci_promotion_letter(char letter);

// A UCI move in board notation. Only a lower-case "qrnb" at the end marks a promotion; the form
// is not checked otherwise ("7e8Q" gives "7e-8Q").
std::string board_notation(std::string_view uci_move);

struct ReadMove {
    std::string uci;         // the move in UCI notation
    std::size_t length = 0;  // the characters of the text that the move took
};

// The board move at the start of a text: castling as the king's move of the given side, or two
// squares with one character between them ("-" or "x") and perhaps "/" with a promotion piece;
// characters after the move are not looked at. Nothing when the text begins with no move.
std::optional<ReadMove> read_board_move(std::string_view text, bool white_to_move);

// A word that is one board move and nothing else, with at most one check or mate sign after it
// ("O-O+", "h5-e5#"), in UCI notation; nothing for any other word ("a7-a8/K", "e7-e5.").
std::optional<std::string> uci_from_board_word(std::string_view word, bool white_to_move);

// Castling, which the board writes "O-O" and "O-O-O", with a check or mate sign ("O-O+", "O-O-O#")
// when the castling gives one.
bool is_castling(std::string_view board_move);

}  // namespace osa
