#include "board_notation.h"

#include "text.h"

#include <algorithm>

namespace osa {
namespace {

bool is_check_sign(char c) { return c == '+' || c == '#'; }

// "O-O-O" is tried first: "O-O" is its beginning.
std::optional<ReadMove> read_castling(std::string_view text, bool white_to_move) {
    const char rank = white_to_move ? '1' : '8';
    if (text.starts_with("O-O-O")) return ReadMove{{'e', rank, 'c', rank}, 5};
    if (text.starts_with("O-O")) return ReadMove{{'e', rank, 'g', rank}, 3};
    return std::nullopt;
}

// The board writes "-" or "x" between the squares; a board that writes another sign still means
// the move that its squares name.
bool joins_two_squares(std::string_view text) {
    return text.size() >= 5 && is_square(text.substr(0, 2)) && is_square(text.substr(3, 2));
}

}  // namespace

bool is_square(std::string_view text) {
    return text.size() == 2 && text[0] >= 'a' && text[0] <= 'h' && text[1] >= '1' && text[1] <= '8';
}

bool is_uci_promotion_letter(char letter) { return letter == 'q' || letter == 'r' || letter == 'b' || letter == 'n'; }

std::optional<char> promotion_letter(char piece) {
    const char letter = lower_ascii(std::string_view(&piece, 1))[0];
    if (is_uci_promotion_letter(letter)) return letter;
    return std::nullopt;
}

std::string board_notation(std::string_view uci_move) {
    std::string move = std::string(uci_move.substr(0, 2)) + "-" + std::string(uci_move.substr(std::min<std::size_t>(2, uci_move.size())));
    const char last = move.back();
    if (is_uci_promotion_letter(last)) move = move.substr(0, 5) + "/" + upper_ascii(std::string_view(&last, 1));
    return move;
}

std::optional<ReadMove> read_board_move(std::string_view text, bool white_to_move) {
    if (auto castling = read_castling(text, white_to_move)) return castling;
    if (!joins_two_squares(text)) return std::nullopt;
    ReadMove move{std::string(text.substr(0, 2)) + std::string(text.substr(3, 2)), 5};
    if (text.size() >= 7 && text[5] == '/') {
        if (const auto letter = promotion_letter(text[6])) {
            move.uci.push_back(*letter);
            move.length = 7;
        }
    }
    return move;
}

std::optional<std::string> uci_from_board_word(std::string_view word, bool white_to_move) {
    if (!word.empty() && is_check_sign(word.back())) word.remove_suffix(1);
    auto move = read_board_move(word, white_to_move);
    if (!move || move->length != word.size()) return std::nullopt;
    return std::move(move->uci);
}

bool is_castling(std::string_view board_move) {
    return board_move.starts_with("O-O") && uci_from_board_word(board_move, true).has_value();
}

}  // namespace osa
