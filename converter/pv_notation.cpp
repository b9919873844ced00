#include "pv_notation.h"

#include <optional>

namespace osa {
namespace {

std::optional<char> promotion_piece(char letter) {
    switch (letter) {
    case 'Q': case 'q': return 'q';
    case 'R': case 'r': return 'r';
    case 'B': case 'b': return 'b';
    case 'N': case 'n': return 'n';
    default: return std::nullopt;
    }
}

// One word of the variation: "e2-e4", "e4xd5", "e7-e8/Q", "O-O", "O-O-O", each perhaps with
// "+" or "#" after it.
std::optional<std::string> uci_word(std::string_view word, bool white_to_move) {
    while (!word.empty() && (word.back() == '+' || word.back() == '#')) word.remove_suffix(1);
    if (auto king_move = castling_king_move(word, white_to_move)) return king_move;
    if (word.size() != 5 && word.size() != 7) return std::nullopt;
    const std::string_view from = word.substr(0, 2);
    const std::string_view to = word.substr(3, 2);
    if (!is_square(from) || !is_square(to) || (word[2] != '-' && word[2] != 'x')) return std::nullopt;
    std::string move(from);
    move += to;
    if (word.size() == 7) {
        const auto piece = word[5] == '/' ? promotion_piece(word[6]) : std::nullopt;
        if (!piece) return std::nullopt;
        move.push_back(*piece);
    }
    return move;
}

}  // namespace

std::string uci_variation(std::string_view pv, bool white_to_move) {
    std::string moves;
    while (!pv.empty()) {
        const auto space = pv.find(' ');
        const std::string_view word = pv.substr(0, space);
        pv = space == std::string_view::npos ? std::string_view() : pv.substr(space + 1);
        if (word.empty()) continue;
        const auto move = uci_word(word, white_to_move);
        if (!move) break;
        if (!moves.empty()) moves.push_back(' ');
        moves += *move;
        white_to_move = !white_to_move;
    }
    return moves;
}

std::string uci_info_line(const SearchReport& report, bool white_to_move) {
    std::string line = "info depth " + report.depth + " score cp " + report.score;
    const std::string moves = uci_variation(report.pv, white_to_move);
    if (!moves.empty()) line += " pv " + moves;
    return line;
}

}  // namespace osa
