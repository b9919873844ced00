#include "move_notation.h"

#include "text.h"

#include <algorithm>

namespace osa {
namespace {

bool is_promotion_letter(char c) { return c == 'q' || c == 'r' || c == 'n' || c == 'b'; }

// "moves " and "fen " are searched from the first character after "position ".
constexpr std::size_t after_position_word = 9;

std::size_t move_count(std::string_view position_line) {
    const auto moves = position_line.find("moves ", after_position_word);
    if (moves == std::string_view::npos) return 0;
    std::size_t count = 0;
    bool in_move = false;
    for (char c : position_line.substr(moves + 6)) {
        if (c != ' ' && !in_move) ++count;
        in_move = c != ' ';
    }
    return count;
}

}  // namespace

std::string board_notation(std::string_view uci_move) {
    std::string move = std::string(uci_move.substr(0, 2)) + "-" + std::string(uci_move.substr(std::min<std::size_t>(2, uci_move.size())));
    if (!move.empty() && is_promotion_letter(move.back())) {
        const char piece = upper_ascii(std::string_view(&move.back(), 1))[0];
        move = move.substr(0, 5) + "/" + piece;
    }
    return move;
}

PositionLine read_position_line(std::string_view line) {
    PositionLine result;
    const auto moves = line.find("moves ", after_position_word);
    if (moves != std::string_view::npos) {
        const std::size_t length = !line.empty() && is_promotion_letter(line.back()) ? 5 : 4;
        result.last_move = board_notation(line.substr(line.size() - std::min(length, line.size())));
        // Everything from the space before "moves " on is dropped.
        line = line.substr(0, moves - 1);
    }
    const auto fen = line.find("fen ", after_position_word);
    if (fen != std::string_view::npos) result.fen = trim_spaces(line.substr(fen + 4));
    return result;
}

std::optional<char> fen_side_letter(std::string_view fen) {
    const auto first_space = fen.find(' ');
    if (first_space == std::string_view::npos) return std::nullopt;
    const auto second_space = fen.find(' ', first_space + 1);
    if (second_space == std::string_view::npos) return std::nullopt;
    return fen[second_space - 1];
}

// A FEN that the setup refuses leaves the board as it was; White is as good a guess as any then.
bool white_to_move_after(std::string_view position_line, const PositionLine& position) {
    const bool white = !position.fen || fen_side_letter(*position.fen) != 'b';
    return white == (move_count(position_line) % 2 == 0);
}

}  // namespace osa
