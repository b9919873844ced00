#include "chess.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace osa::chess {

namespace {

struct Step {
    int df;
    int dr;
};

constexpr std::array<Step, 8> knight_steps{{{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}}};
constexpr std::array<Step, 8> king_steps{{{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}}};
constexpr std::array<Step, 4> rook_steps{{{1, 0}, {0, 1}, {-1, 0}, {0, -1}}};
constexpr std::array<Step, 4> bishop_steps{{{1, 1}, {-1, 1}, {-1, -1}, {1, -1}}};

// The square one step away, or -1 off the board.
int shifted(int sq, Step s) {
    const int f = file_of(sq) + s.df;
    const int r = rank_of(sq) + s.dr;
    return (f < 0 || f > 7 || r < 0 || r > 7) ? -1 : square_at(f, r);
}

std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

struct Zobrist {
    std::array<std::array<std::uint64_t, 64>, 16> piece{};
    std::array<std::uint64_t, 16> castling{};
    std::array<std::uint64_t, 8> ep_file{};
    std::uint64_t black_to_move = 0;

    Zobrist() {
        std::uint64_t state = 20240601;
        for (auto& squares : piece)
            for (auto& k : squares) k = splitmix(state);
        for (auto& k : castling) k = splitmix(state);
        for (auto& k : ep_file) k = splitmix(state);
        black_to_move = splitmix(state);
    }
};

const Zobrist zobrist;

// Castling rights that survive a move touching the square (king or rook moved, rook captured).
int rights_kept_after_touching(int sq) {
    switch (sq) {
        case 0: return ~white_long;
        case 4: return ~(white_short | white_long);
        case 7: return ~white_short;
        case 56: return ~black_long;
        case 60: return ~(black_short | black_long);
        case 63: return ~black_short;
        default: return ~0;
    }
}

bool is_castling_shape(Piece mover, const Move& move) {
    return type_of(mover) == king && std::abs(move.to - move.from) == 2;
}

std::optional<Piece> piece_from_letter(char c) {
    static constexpr std::string_view letters = "PNBRQK";
    const auto upper = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    const auto at = letters.find(upper);
    if (at == std::string_view::npos) return std::nullopt;
    const Colour colour = upper == c ? white : black;
    return make_piece(colour, static_cast<PieceType>(at + 1));
}

char fen_letter(Piece p) {
    const char upper = piece_letter(type_of(p));
    return colour_of(p) == white ? upper : static_cast<char>(upper + 32);
}

std::optional<Placement> parse_placement(std::string_view field) {
    Placement squares{};
    int file = 0;
    int rank = 7;
    for (char c : field) {
        if (c == '/') {
            if (file != 8 || rank == 0) return std::nullopt;
            file = 0;
            --rank;
        } else if (c >= '1' && c <= '8') {
            file += c - '0';
            if (file > 8) return std::nullopt;
        } else if (auto piece = piece_from_letter(c); piece && file < 8) {
            squares[square_at(file++, rank)] = *piece;
        } else {
            return std::nullopt;
        }
    }
    if (file != 8 || rank != 0) return std::nullopt;
    return squares;
}

std::optional<int> parse_castling(std::string_view field) {
    if (field == "-") return 0;
    int rights = 0;
    for (char c : field) {
        switch (c) {
            case 'K': rights |= white_short; break;
            case 'Q': rights |= white_long; break;
            case 'k': rights |= black_short; break;
            case 'q': rights |= black_long; break;
            default: return std::nullopt;
        }
    }
    return rights;
}

bool one_king_each(const Placement& squares) {
    const auto kings = [&](Colour c) { return std::count(squares.begin(), squares.end(), make_piece(c, king)); };
    return kings(white) == 1 && kings(black) == 1;
}

bool pawns_on_back_ranks(const Placement& squares) {
    for (int file = 0; file < 8; ++file)
        for (int rank : {0, 7})
            if (type_of(squares[square_at(file, rank)]) == pawn) return true;
    return false;
}

}  // namespace

char piece_letter(PieceType type) { return "?PNBRQK"[type]; }

std::string square_name(int sq) { return {static_cast<char>('a' + file_of(sq)), static_cast<char>('1' + rank_of(sq))}; }

std::optional<int> parse_square(std::string_view text) {
    if (text.size() != 2 || text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8') return std::nullopt;
    return square_at(text[0] - 'a', text[1] - '1');
}

std::string uci_text(const Move& move) {
    std::string text = square_name(move.from) + square_name(move.to);
    if (move.promotion != none) text += static_cast<char>(piece_letter(move.promotion) + 32);
    return text;
}

std::optional<Move> parse_uci(const Position& pos, std::string_view text) {
    if (text.size() != 4 && text.size() != 5) return std::nullopt;
    const auto from = parse_square(text.substr(0, 2));
    const auto to = parse_square(text.substr(2, 2));
    if (!from || !to) return std::nullopt;
    Move move{static_cast<std::uint8_t>(*from), static_cast<std::uint8_t>(*to), none};
    if (text.size() == 5) {
        const auto piece = piece_from_letter(text[4]);
        if (!piece) return std::nullopt;
        move.promotion = type_of(*piece);
    }
    if (!pos.is_legal(move)) return std::nullopt;
    return move;
}

std::string placement_field(const Placement& squares) {
    std::string field;
    for (int rank = 7; rank >= 0; --rank) {
        int empty = 0;
        for (int file = 0; file < 8; ++file) {
            const Piece p = squares[square_at(file, rank)];
            if (p == 0) {
                ++empty;
                continue;
            }
            if (empty > 0) field += static_cast<char>('0' + empty);
            empty = 0;
            field += fen_letter(p);
        }
        if (empty > 0) field += static_cast<char>('0' + empty);
        if (rank > 0) field += '/';
    }
    return field;
}

int inferred_castling_rights(const Placement& squares) {
    int rights = 0;
    const auto has = [&](int sq, Colour c, PieceType t) { return squares[sq] == make_piece(c, t); };
    if (has(4, white, king) && has(7, white, rook)) rights |= white_short;
    if (has(4, white, king) && has(0, white, rook)) rights |= white_long;
    if (has(60, black, king) && has(63, black, rook)) rights |= black_short;
    if (has(60, black, king) && has(56, black, rook)) rights |= black_long;
    return rights;
}

std::string castling_field(int rights) {
    std::string field;
    if (rights & white_short) field += 'K';
    if (rights & white_long) field += 'Q';
    if (rights & black_short) field += 'k';
    if (rights & black_long) field += 'q';
    return field.empty() ? "-" : field;
}

Position::Position() { *this = *from_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1"); }

std::optional<Position> Position::from_fen(std::string_view fen) {
    std::istringstream fields{std::string(fen)};
    std::string placement, side, castling, ep;
    int halfmove = 0;
    int fullmove = 1;
    if (!(fields >> placement >> side >> castling >> ep)) return std::nullopt;
    if (!(fields >> halfmove)) halfmove = 0;
    if (!(fields >> fullmove)) fullmove = 1;
    const auto squares = parse_placement(placement);
    const auto rights = parse_castling(castling);
    if (!squares || !rights || (side != "w" && side != "b") || !one_king_each(*squares) ||
        pawns_on_back_ranks(*squares))
        return std::nullopt;
    const auto ep_square = ep == "-" ? std::optional<int>(-1) : parse_square(ep);
    if (!ep_square || halfmove < 0 || fullmove < 1) return std::nullopt;

    Position pos{Bare{}};
    pos.squares_ = *squares;
    pos.side_ = side == "w" ? white : black;
    // Rights without king and rook at home cannot be used; dropping them keeps the key honest.
    pos.castling_ = *rights & inferred_castling_rights(*squares);
    pos.ep_ = *ep_square;
    pos.halfmove_ = halfmove;
    pos.fullmove_ = fullmove;
    pos.recompute_key();
    if (pos.attacked(pos.king_square(opponent(pos.side_)), pos.side_)) return std::nullopt;
    return pos;
}

std::string Position::fen() const {
    std::ostringstream out;
    out << placement_field(squares_) << ' ' << (side_ == white ? 'w' : 'b') << ' ' << castling_field(castling_) << ' '
        << (ep_ < 0 ? "-" : square_name(ep_)) << ' ' << halfmove_ << ' ' << fullmove_;
    return out.str();
}

void Position::recompute_key() {
    key_ = 0;
    for (int sq = 0; sq < 64; ++sq)
        if (squares_[sq] != 0) key_ ^= zobrist.piece[squares_[sq]][sq];
    key_ ^= zobrist.castling[castling_];
    if (ep_ >= 0) key_ ^= zobrist.ep_file[file_of(ep_)];
    if (side_ == black) key_ ^= zobrist.black_to_move;
}

void Position::put(int sq, Piece p) {
    squares_[sq] = p;
    key_ ^= zobrist.piece[p][sq];
}

void Position::clear(int sq) {
    key_ ^= zobrist.piece[squares_[sq]][sq];
    squares_[sq] = 0;
}

int Position::king_square(Colour c) const {
    const auto it = std::find(squares_.begin(), squares_.end(), make_piece(c, king));
    return static_cast<int>(it - squares_.begin());
}

bool Position::attacked(int sq, Colour by) const {
    const int forward = by == white ? -1 : 1;  // pawns of `by` stand one rank behind their target
    for (int df : {-1, 1})
        if (int from = shifted(sq, {df, forward}); from >= 0 && squares_[from] == make_piece(by, pawn)) return true;
    for (Step s : knight_steps)
        if (int from = shifted(sq, s); from >= 0 && squares_[from] == make_piece(by, knight)) return true;
    for (Step s : king_steps)
        if (int from = shifted(sq, s); from >= 0 && squares_[from] == make_piece(by, king)) return true;
    const auto slides_to = [&](const auto& steps, PieceType slider) {
        for (Step s : steps) {
            for (int from = shifted(sq, s); from >= 0; from = shifted(from, s)) {
                const Piece p = squares_[from];
                if (p == 0) continue;
                if (colour_of(p) == by && (type_of(p) == slider || type_of(p) == queen)) return true;
                break;
            }
        }
        return false;
    };
    return slides_to(rook_steps, rook) || slides_to(bishop_steps, bishop);
}

void Position::pawn_moves(int from, std::vector<Move>& out) const {
    const int dir = side_ == white ? 1 : -1;
    const int start_rank = side_ == white ? 1 : 6;
    const int last_rank = side_ == white ? 7 : 0;
    const auto add = [&](int to) {
        const auto f = static_cast<std::uint8_t>(from);
        const auto t = static_cast<std::uint8_t>(to);
        if (rank_of(to) != last_rank) {
            out.push_back({f, t, none});
            return;
        }
        for (PieceType promo : {queen, rook, bishop, knight}) out.push_back({f, t, promo});
    };
    const int one = shifted(from, {0, dir});
    if (one >= 0 && squares_[one] == 0) {
        add(one);
        const int two = shifted(one, {0, dir});
        if (rank_of(from) == start_rank && two >= 0 && squares_[two] == 0) add(two);
    }
    for (int df : {-1, 1}) {
        const int to = shifted(from, {df, dir});
        if (to < 0) continue;
        const bool enemy = squares_[to] != 0 && colour_of(squares_[to]) != side_;
        if (enemy || to == ep_) add(to);
    }
}

void Position::piece_moves(int from, std::vector<Move>& out) const {
    const PieceType t = type_of(squares_[from]);
    const auto target_ok = [&](int to) { return squares_[to] == 0 || colour_of(squares_[to]) != side_; };
    const auto add = [&](int to) {
        out.push_back({static_cast<std::uint8_t>(from), static_cast<std::uint8_t>(to), none});
    };
    const auto leap = [&](const auto& steps) {
        for (Step s : steps)
            if (int to = shifted(from, s); to >= 0 && target_ok(to)) add(to);
    };
    const auto slide = [&](const auto& steps) {
        for (Step s : steps) {
            for (int to = shifted(from, s); to >= 0; to = shifted(to, s)) {
                if (target_ok(to)) add(to);
                if (squares_[to] != 0) break;
            }
        }
    };
    if (t == knight) leap(knight_steps);
    if (t == king) leap(king_steps);
    if (t == rook || t == queen) slide(rook_steps);
    if (t == bishop || t == queen) slide(bishop_steps);
}

void Position::castling_moves(std::vector<Move>& out) const {
    const int home = side_ == white ? 4 : 60;
    const int short_right = side_ == white ? white_short : black_short;
    const int long_right = side_ == white ? white_long : black_long;
    const Colour enemy = opponent(side_);
    if (!(castling_ & (short_right | long_right)) || attacked(home, enemy)) return;
    const auto empty = [&](std::initializer_list<int> squares) {
        return std::all_of(squares.begin(), squares.end(), [&](int sq) { return squares_[sq] == 0; });
    };
    const auto h = static_cast<std::uint8_t>(home);
    if ((castling_ & short_right) && empty({home + 1, home + 2}) && !attacked(home + 1, enemy))
        out.push_back({h, static_cast<std::uint8_t>(home + 2), none});
    if ((castling_ & long_right) && empty({home - 1, home - 2, home - 3}) && !attacked(home - 1, enemy))
        out.push_back({h, static_cast<std::uint8_t>(home - 2), none});
}

void Position::pseudo_moves(std::vector<Move>& out) const {
    for (int sq = 0; sq < 64; ++sq) {
        const Piece p = squares_[sq];
        if (p == 0 || colour_of(p) != side_) continue;
        if (type_of(p) == pawn)
            pawn_moves(sq, out);
        else
            piece_moves(sq, out);
    }
    castling_moves(out);
}

Position Position::without_history() const {
    Position copy{Bare{}};
    copy.squares_ = squares_;
    copy.side_ = side_;
    copy.castling_ = castling_;
    copy.ep_ = ep_;
    copy.halfmove_ = halfmove_;
    copy.fullmove_ = fullmove_;
    copy.key_ = key_;
    return copy;
}

std::vector<Move> Position::legal_moves() const {
    std::vector<Move> moves;
    moves.reserve(64);
    pseudo_moves(moves);
    Position scratch = without_history();
    std::erase_if(moves, [&](const Move& m) {
        scratch.make(m);
        const bool exposed = scratch.attacked(scratch.king_square(side_), scratch.side_);
        scratch.unmake();
        return exposed;
    });
    return moves;
}

bool Position::is_legal(const Move& move) const {
    const auto moves = legal_moves();
    return std::find(moves.begin(), moves.end(), move) != moves.end();
}

bool Position::is_capture(const Move& move) const {
    return squares_[move.to] != 0 || (move.to == ep_ && type_of(squares_[move.from]) == pawn);
}

bool Position::is_castling(const Move& move) const { return is_castling_shape(squares_[move.from], move); }

void Position::make(const Move& move) {
    const Piece mover = squares_[move.from];
    const bool pawn_move = type_of(mover) == pawn;
    Undo undo{move, squares_[move.to], castling_, ep_, halfmove_, key_};

    if (pawn_move && move.to == ep_) {
        const int victim = square_at(file_of(move.to), rank_of(move.from));
        undo.captured = squares_[victim];
        clear(victim);
    }
    if (squares_[move.to] != 0) clear(move.to);
    clear(move.from);
    put(move.to, move.promotion != none ? make_piece(side_, move.promotion) : mover);
    if (is_castling_shape(mover, move)) {
        const bool short_side = move.to > move.from;
        const int rook_from = short_side ? move.from + 3 : move.from - 4;
        const int rook_to = short_side ? move.from + 1 : move.from - 1;
        const Piece r = squares_[rook_from];
        clear(rook_from);
        put(rook_to, r);
    }

    key_ ^= zobrist.castling[castling_];
    castling_ &= rights_kept_after_touching(move.from) & rights_kept_after_touching(move.to);
    key_ ^= zobrist.castling[castling_];
    if (ep_ >= 0) key_ ^= zobrist.ep_file[file_of(ep_)];
    ep_ = pawn_move && std::abs(move.to - move.from) == 16 ? (move.from + move.to) / 2 : -1;
    if (ep_ >= 0) key_ ^= zobrist.ep_file[file_of(ep_)];

    halfmove_ = (pawn_move || undo.captured != 0) ? 0 : halfmove_ + 1;
    if (side_ == black) ++fullmove_;
    side_ = opponent(side_);
    key_ ^= zobrist.black_to_move;
    undo_.push_back(undo);
}

void Position::unmake() {
    const Undo undo = undo_.back();
    undo_.pop_back();
    side_ = opponent(side_);
    if (side_ == black) --fullmove_;
    const Move& move = undo.move;
    const Piece moved = move.promotion != none ? make_piece(side_, pawn) : squares_[move.to];

    squares_[move.from] = moved;
    squares_[move.to] = 0;
    if (type_of(moved) == pawn && move.to == undo.ep)
        squares_[square_at(file_of(move.to), rank_of(move.from))] = undo.captured;
    else
        squares_[move.to] = undo.captured;
    if (is_castling_shape(moved, move)) {
        const bool short_side = move.to > move.from;
        const int rook_from = short_side ? move.from + 3 : move.from - 4;
        const int rook_to = short_side ? move.from + 1 : move.from - 1;
        squares_[rook_from] = squares_[rook_to];
        squares_[rook_to] = 0;
    }
    castling_ = undo.castling;
    ep_ = undo.ep;
    halfmove_ = undo.halfmove;
    key_ = undo.key;
}

int Position::repetitions() const {
    int count = 0;
    // Only positions with the same side to move, and none before the last capture or pawn move.
    const auto reach = std::min<std::size_t>(undo_.size(), static_cast<std::size_t>(halfmove_));
    for (std::size_t back = 2; back <= reach; back += 2)
        if (undo_[undo_.size() - back].key == key_) ++count;
    return count;
}

bool Position::insufficient_material() const {
    int minors = 0;
    int bishop_colours = 0;  // bit 0: a bishop on a dark square, bit 1: on a light square
    int bishops = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const PieceType t = type_of(squares_[sq]);
        if (t == pawn || t == rook || t == queen) return false;
        if (t == knight) ++minors;
        if (t == bishop) {
            ++minors;
            ++bishops;
            bishop_colours |= 1 << ((file_of(sq) + rank_of(sq)) & 1);
        }
    }
    // A lone minor piece cannot mate; nor can bishops that all run on squares of one colour.
    return minors <= 1 || (bishops == minors && bishop_colours != 3);
}

Outcome Position::outcome() const {
    if (legal_moves().empty()) return in_check() ? Outcome::checkmate : Outcome::stalemate;
    if (halfmove_ >= 100) return Outcome::fifty_moves;
    if (repetitions() >= 2) return Outcome::repetition;
    if (insufficient_material()) return Outcome::insufficient_material;
    return Outcome::ongoing;
}

std::uint64_t perft(Position& pos, int depth) {
    if (depth == 0) return 1;
    const auto moves = pos.legal_moves();
    if (depth == 1) return moves.size();
    std::uint64_t nodes = 0;
    for (const Move& m : moves) {
        pos.make(m);
        nodes += perft(pos, depth - 1);
        pos.unmake();
    }
    return nodes;
}

}  // namespace osa::chess
