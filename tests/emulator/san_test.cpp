// The match driver's move notation (SAN) and its drawn board.
#include "san.h"

#include <gtest/gtest.h>

#include "diagram.h"

namespace {

using namespace osa::chess;
using namespace osa::match;

struct SanCase {
    const char* name;
    const char* fen;
    const char* uci;
    const char* san;
};

class San : public testing::TestWithParam<SanCase> {};

TEST_P(San, WritesTheMoveAsChessPlayersDo) {
    const auto pos = Position::from_fen(GetParam().fen);
    ASSERT_TRUE(pos.has_value()) << GetParam().fen;
    const auto move = parse_uci(*pos, GetParam().uci);
    ASSERT_TRUE(move.has_value()) << GetParam().uci;
    EXPECT_EQ(san_text(*pos, *move), GetParam().san);
}

constexpr const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* castling = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";

INSTANTIATE_TEST_SUITE_P(
    Moves, San,
    testing::Values(
        SanCase{"pawn_push", start, "e2e4", "e4"}, SanCase{"knight", start, "g1f3", "Nf3"},
        SanCase{"king", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", "e1e2", "Ke2"},
        SanCase{"by_file", "rnbqkb1r/ppp1pppp/5n2/3p4/3P4/5N2/PPP1PPPP/RNBQKB1R w KQkq - 2 3", "b1d2", "Nbd2"},
        SanCase{"by_file_same_rank", "4k3/8/8/8/8/8/8/R4RK1 w - - 0 1", "a1d1", "Rad1"},
        SanCase{"by_rank", "4k3/8/8/R7/8/8/8/R3K3 w - - 0 1", "a1a3", "R1a3"},
        SanCase{"by_file_and_rank", "6k1/8/8/Q7/8/8/8/Q3Q2K w - - 0 1", "a1c3", "Qa1c3"},
        SanCase{"by_file_when_rank_also_differs", "6k1/8/8/Q7/8/8/8/Q3Q2K w - - 0 1", "e1c3", "Qec3"},
        SanCase{"pinned_rival_needs_no_letter", "4k3/8/8/b7/8/2N5/8/4K1N1 w - - 0 1", "g1e2", "Ne2"},
        SanCase{"piece_capture", "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 2", "f3e5", "Nxe5"},
        SanCase{"pawn_capture", "rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", "e4d5", "exd5"},
        SanCase{"en_passant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 2", "e5d6", "exd6"},
        SanCase{"promotion", "8/4P3/8/8/8/8/k7/4K3 w - - 0 1", "e7e8q", "e8=Q"},
        SanCase{"underpromotion", "8/4P3/8/8/8/8/k7/4K3 w - - 0 1", "e7e8n", "e8=N"},
        SanCase{"promotion_with_capture", "3r4/4P3/8/8/8/8/8/k3K3 w - - 0 1", "e7d8q", "exd8=Q"},
        SanCase{"promotion_with_capture_and_check", "3r4/4P3/8/8/7k/8/8/4K3 w - - 0 1", "e7d8q", "exd8=Q+"},
        SanCase{"black_promotion", "4k3/8/8/8/8/8/p7/4K2R b - - 0 1", "a2a1r", "a1=R+"},
        SanCase{"castling_short", castling, "e1g1", "O-O"}, SanCase{"castling_long", castling, "e1c1", "O-O-O"},
        SanCase{"black_castling_long", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8", "O-O-O"},
        SanCase{"castling_with_check", "5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", "O-O+"},
        SanCase{"check", "rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", "f1b5", "Bb5+"},
        SanCase{"mate", "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2", "d8h4", "Qh4#"},
        SanCase{"rook_capture", "6k1/5ppp/8/8/8/8/8/r3R1K1 w - - 0 1", "e1a1", "Rxa1"},
        SanCase{"back_rank_mate", "6k1/5ppp/8/8/8/8/8/4R1K1 w - - 0 1", "e1e8", "Re8#"}),
    [](const auto& info) { return info.param.name; });

TEST(San, NumbersAMoveByWhoPlaysIt) {
    Position pos;
    EXPECT_EQ(move_number_text(pos), "1.");
    pos.make(*parse_uci(pos, "e2e4"));
    EXPECT_EQ(move_number_text(pos), "1...");
    pos.make(*parse_uci(pos, "e7e5"));
    EXPECT_EQ(move_number_text(pos), "2.");
}

TEST(San, WritesAGameMoveByMove) {
    Position pos;
    std::vector<Move> moves;
    for (const char* text : {"e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "g8f6", "e1g1"}) {
        moves.push_back(*parse_uci(pos, text));
        pos.make(moves.back());
    }
    const std::vector<std::string> expected{"e4", "e5", "Nf3", "Nc6", "Bc4", "Nf6", "O-O"};
    EXPECT_EQ(san_moves(Position(), moves), expected);
}

TEST(BoardDiagram, DrawsRankEightOnTopWithWhiteInUpperCase) {
    Position pos;
    pos.make(*parse_uci(pos, "e2e4"));
    pos.make(*parse_uci(pos, "c7c5"));
    EXPECT_EQ(board_diagram(pos.placement()),
              "8 r n b q k b n r\n"
              "7 p p . p p p p p\n"
              "6 . . . . . . . .\n"
              "5 . . p . . . . .\n"
              "4 . . . . P . . .\n"
              "3 . . . . . . . .\n"
              "2 P P P P . P P P\n"
              "1 R N B Q K B N R\n"
              "  a b c d e f g h\n");
}

}  // namespace
