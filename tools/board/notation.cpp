#include "notation.h"

namespace osa::board {

using namespace osa::chess;

namespace {

std::optional<PieceType> promotion_piece(char letter) {
    switch (letter) {
        case 'Q': return queen;
        case 'R': return rook;
        case 'B': return bishop;
        case 'N': return knight;
        default: return std::nullopt;
    }
}

std::optional<Move> castling_move(const Position& pos, bool short_side) {
    const int home = pos.side_to_move() == white ? 4 : 60;
    const Move move{static_cast<std::uint8_t>(home), static_cast<std::uint8_t>(short_side ? home + 2 : home - 2), none};
    if (!pos.is_castling(move) || !pos.is_legal(move)) return std::nullopt;
    return move;
}

std::string squares_text(const Position& pos, const Move& move, char capture_sign) {
    std::string text = square_name(move.from);
    text += pos.is_capture(move) ? capture_sign : '-';
    text += square_name(move.to);
    if (move.promotion != none) {
        text += '/';
        text += piece_letter(move.promotion);
    }
    return text;
}

std::string check_sign(const Position& pos, const Move& move) {
    Position after = pos;
    after.make(move);
    if (!after.in_check()) return {};
    return after.legal_moves().empty() ? "#" : "+";
}

std::string_view without_check_sign(std::string_view text) {
    if (!text.empty() && (text.back() == '+' || text.back() == '#')) text.remove_suffix(1);
    return text;
}

}  // namespace

std::string board_move_text(const Position& pos, const Move& move, MoveStyle style) {
    const bool letters = style.castling == CastlingStyle::letters && pos.is_castling(move);
    std::string text = letters ? (move.to > move.from ? "O-O" : "O-O-O") : squares_text(pos, move, style.capture_sign);
    if (style.check_signs) text += check_sign(pos, move);
    return text;
}

std::string human_move_text(const Position& pos, const Move& move) {
    const PieceType mover = type_of(pos.at(move.from));
    const std::string text = board_move_text(pos, move, MoveStyle());
    if (mover == pawn || pos.is_castling(move)) return text;
    return piece_letter(mover) + text;
}

std::string variation_text(const Position& pos, const std::vector<Move>& pv, MoveStyle style) {
    Position walk = pos;
    std::string text;
    for (const Move& move : pv) {
        if (!text.empty()) text += ' ';
        text += board_move_text(walk, move, style);
        walk.make(move);
    }
    return text;
}

std::optional<Move> parse_board_move(const Position& pos, std::string_view text) {
    text = without_check_sign(text);
    if (text == "O-O") return castling_move(pos, true);
    if (text == "O-O-O") return castling_move(pos, false);
    if (text.size() != 5 && text.size() != 7) return std::nullopt;
    if (text[2] != '-' && text[2] != 'x') return std::nullopt;
    const auto from = parse_square(text.substr(0, 2));
    const auto to = parse_square(text.substr(3, 2));
    if (!from || !to) return std::nullopt;
    Move move{static_cast<std::uint8_t>(*from), static_cast<std::uint8_t>(*to), none};
    if (text.size() == 7) {
        const auto piece = text[5] == '/' ? promotion_piece(text[6]) : std::nullopt;
        if (!piece) return std::nullopt;
        move.promotion = *piece;
    }
    if (!pos.is_legal(move)) return std::nullopt;
    return move;
}

}  // namespace osa::board
