#include "diagram.h"

namespace osa::match {

using namespace osa::chess;

namespace {

char square_letter(Piece p) {
    if (p == 0) return '.';
    const char upper = piece_letter(type_of(p));
    return colour_of(p) == white ? upper : static_cast<char>(upper + ('a' - 'A'));
}

std::string rank_line(const Placement& placement, int rank) {
    std::string line(1, static_cast<char>('1' + rank));
    for (int file = 0; file < 8; ++file) line += std::string(" ") + square_letter(placement[square_at(file, rank)]);
    return line + '\n';
}

}  // namespace

std::string board_diagram(const Placement& placement) {
    std::string text;
    for (int rank = 7; rank >= 0; --rank) text += rank_line(placement, rank);
    return text + "  a b c d e f g h\n";
}

}  // namespace osa::match
