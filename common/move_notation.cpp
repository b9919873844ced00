#include "move_notation.h"

#include "text.h"

#include <algorithm>

namespace osa {
namespace {

bool is_promotion_letter(char c) { return c == 'q' || c == 'r' || c == 'n' || c == 'b'; }

// "moves " and "fen " are searched from the first character after "position ".
constexpr std::size_t after_position_word = 9;

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

}  // namespace osa
