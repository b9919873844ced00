// The rules of chess, shared by the emulated board and the programs: a position with legal move
// generation, make/unmake, FEN in and out, and the end-of-game tests a referee needs.
//
// Squares are numbered a1 = 0, b1 = 1, ... h8 = 63. A piece is its type (1 to 6) plus 8 for
// Black; 0 is an empty square. Legal moves are found by making each pseudo-legal move and
// rejecting those that leave the mover's king attacked: slower than a pin-aware generator, but
// simple enough to trust, and the perft tests hold it to the exact counts.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa::chess {

enum Colour : int { white = 0, black = 1 };
enum PieceType : int { none = 0, pawn = 1, knight = 2, bishop = 3, rook = 4, queen = 5, king = 6 };

using Piece = std::uint8_t;  // type | (colour << 3); 0 for an empty square
using Placement = std::array<Piece, 64>;

constexpr Piece make_piece(Colour c, PieceType t) { return static_cast<Piece>(t | (c << 3)); }
constexpr PieceType type_of(Piece p) { return static_cast<PieceType>(p & 7); }
constexpr Colour colour_of(Piece p) { return static_cast<Colour>(p >> 3); }
constexpr Colour opponent(Colour c) { return static_cast<Colour>(c ^ 1); }
constexpr int file_of(int sq) { return sq & 7; }
constexpr int rank_of(int sq) { return sq >> 3; }
constexpr int square_at(int file, int rank) { return rank * 8 + file; }

enum CastlingRight : int { white_short = 1, white_long = 2, black_short = 4, black_long = 8 };

struct Move {
    std::uint8_t from = 0;
    std::uint8_t to = 0;
    PieceType promotion = none;
    bool operator==(const Move&) const = default;
};

enum class Outcome { ongoing, checkmate, stalemate, fifty_moves, repetition, insufficient_material };

class Position {
public:
    Position();  // the start position

    // Returns nothing when the text is not a usable FEN (bad fields, missing or extra kings).
    static std::optional<Position> from_fen(std::string_view fen);
    std::string fen() const;

    Piece at(int sq) const { return squares_[sq]; }
    const Placement& placement() const { return squares_; }
    Colour side_to_move() const { return side_; }
    int castling_rights() const { return castling_; }
    int halfmove_clock() const { return halfmove_; }
    int fullmove_number() const { return fullmove_; }
    std::uint64_t key() const { return key_; }
    std::size_t plies_played() const { return undo_.size(); }

    std::vector<Move> legal_moves() const;
    bool is_legal(const Move& move) const;
    bool in_check() const { return attacked(king_square(side_), opponent(side_)); }
    bool attacked(int sq, Colour by) const;
    bool is_capture(const Move& move) const;
    bool is_castling(const Move& move) const;

    void make(const Move& move);  // the move must be legal
    void unmake();

    Outcome outcome() const;
    int repetitions() const;  // earlier occurrences of the current position since the last irreversible move
    bool insufficient_material() const;

private:
    struct Bare {};
    explicit Position(Bare) {}

    struct Undo {
        Move move;
        Piece captured;
        int castling;
        int ep;
        int halfmove;
        std::uint64_t key;
    };

    void put(int sq, Piece p);
    void clear(int sq);
    int king_square(Colour c) const;
    void pseudo_moves(std::vector<Move>& out) const;
    void pawn_moves(int from, std::vector<Move>& out) const;
    void piece_moves(int from, std::vector<Move>& out) const;
    void castling_moves(std::vector<Move>& out) const;
    Position without_history() const;
    void recompute_key();

    Placement squares_{};
    Colour side_ = white;
    int castling_ = 0;
    int ep_ = -1;
    int halfmove_ = 0;
    int fullmove_ = 1;
    std::uint64_t key_ = 0;
    std::vector<Undo> undo_;
};

// Number of leaf nodes of the legal move tree to the given depth.
std::uint64_t perft(Position& pos, int depth);

// The FEN fields that describe a bare placement, for positions built square by square.
std::string placement_field(const Placement& placement);
// Castling rights that a placement allows: a king and rook still on their home squares.
int inferred_castling_rights(const Placement& placement);
std::string castling_field(int rights);
char piece_letter(PieceType type);  // upper case: P N B R Q K

std::string square_name(int sq);
std::optional<int> parse_square(std::string_view text);
std::string uci_text(const Move& move);
std::optional<Move> parse_uci(const Position& pos, std::string_view text);

}  // namespace osa::chess
