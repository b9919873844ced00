#include "chess.h"

#include <gtest/gtest.h>

namespace {

using namespace osa::chess;

constexpr const char* start_fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

Position at(const char* fen) {
    const auto pos = Position::from_fen(fen);
    EXPECT_TRUE(pos.has_value()) << fen;
    return pos.value_or(Position());
}

void play(Position& pos, std::initializer_list<const char*> moves) {
    for (const char* text : moves) {
        const auto move = parse_uci(pos, text);
        ASSERT_TRUE(move.has_value()) << text << " in " << pos.fen();
        pos.make(*move);
    }
}

struct PerftCase {
    const char* name;
    const char* fen;
    int depth;
    std::uint64_t nodes;
};

class Perft : public testing::TestWithParam<PerftCase> {};

TEST_P(Perft, CountsLeafNodesOfTheLegalMoveTree) {
    Position pos = at(GetParam().fen);
    const std::string before = pos.fen();
    EXPECT_EQ(perft(pos, GetParam().depth), GetParam().nodes);
    EXPECT_EQ(pos.fen(), before) << "make/unmake must restore the position";
}

INSTANTIATE_TEST_SUITE_P(
    WellKnownPositions, Perft,
    testing::Values(PerftCase{"start_d1", start_fen, 1, 20}, PerftCase{"start_d3", start_fen, 3, 8902},
                    PerftCase{"start_d4", start_fen, 4, 197281}, PerftCase{"kiwipete_d1", kiwipete, 1, 48},
                    PerftCase{"kiwipete_d2", kiwipete, 2, 2039}, PerftCase{"kiwipete_d3", kiwipete, 3, 97862},
                    PerftCase{"endgame_d4", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 4, 43238},
                    PerftCase{"endgame_d5", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1", 5, 674624},
                    PerftCase{"promotions_d3", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", 3,
                              9467},
                    PerftCase{"promotions_mirrored_d3",
                              "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1", 3, 9467},
                    PerftCase{"tricky_d3", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", 3, 62379},
                    PerftCase{"middlegame_d3",
                              "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 3, 89890}),
    [](const auto& info) { return info.param.name; });

struct FenCase {
    const char* name;
    const char* fen;
};

class FenRoundTrip : public testing::TestWithParam<FenCase> {};

TEST_P(FenRoundTrip, WritesBackWhatItRead) { EXPECT_EQ(at(GetParam().fen).fen(), GetParam().fen); }

INSTANTIATE_TEST_SUITE_P(
    Positions, FenRoundTrip,
    testing::Values(FenCase{"start", start_fen}, FenCase{"kiwipete", kiwipete},
                    FenCase{"kings_and_clocks", "8/8/8/8/8/8/8/K6k b - - 49 120"},
                    FenCase{"en_passant", "rnbqkbnr/ppp1pppp/8/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3"},
                    FenCase{"one_castling_right", "4k3/8/8/8/8/8/8/R3K2R w Q - 3 40"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FenReading, RejectsUnusableTexts) {
    for (const char* bad : {"", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR", "8/8/8/8/8/8/8/8 w - - 0 1",
                            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1",
                            "rnbqkbnr/pppppppp/9/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
                            "rnbqkbnr/pppppppp/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "4k3/8/8/8/8/8/8/4K2R w X - 0 1",
                            "4k3/8/8/8/8/8/8/P3K3 w - - 0 1", "4k3/4R3/8/8/8/8/8/4K3 w - - 0 1"})
        EXPECT_FALSE(Position::from_fen(bad).has_value()) << bad;
}

TEST(FenReading, DropsCastlingRightsWithoutKingAndRookAtHome) {
    EXPECT_EQ(at("4k3/8/8/8/8/8/8/4K2R w KQkq - 0 1").castling_rights(), white_short);
}

TEST(MakeUnmake, CastlingMovesTheRookAndUnmakeRestoresKey) {
    Position pos = at("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const auto key = pos.key();
    play(pos, {"e1c1"});
    EXPECT_EQ(pos.at(square_at(3, 0)), make_piece(white, rook));
    EXPECT_EQ(pos.at(0), 0);
    EXPECT_EQ(pos.castling_rights(), black_short | black_long);
    pos.unmake();
    EXPECT_EQ(pos.key(), key);
    EXPECT_EQ(pos.fen(), "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
}

TEST(MakeUnmake, EnPassantRemovesThePassedPawn) {
    Position pos = at("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    play(pos, {"e5d6"});
    EXPECT_EQ(pos.at(square_at(3, 4)), 0);
    EXPECT_EQ(pos.fen(), "4k3/8/3P4/8/8/8/8/4K3 b - - 0 1");
}

TEST(MakeUnmake, KeyIsTheSameWhateverTheRoadToAPosition) {
    Position a;
    Position b;
    play(a, {"g1f3", "g8f6", "b1c3"});
    play(b, {"b1c3", "g8f6", "g1f3"});
    EXPECT_EQ(a.key(), b.key());
    EXPECT_EQ(a.key(), at(a.fen().c_str()).key());
}

TEST(UciMoves, ParsesOnlyLegalMoves) {
    const Position pos;
    EXPECT_TRUE(parse_uci(pos, "e2e4").has_value());
    for (const char* bad : {"e2e5", "e7e5", "e2", "i2i4", "e2e4x", ""}) EXPECT_FALSE(parse_uci(pos, bad)) << bad;
    const Position promo = at("8/P6k/8/8/8/8/8/K7 w - - 0 1");
    EXPECT_EQ(parse_uci(promo, "a7a8n")->promotion, knight);
    EXPECT_FALSE(parse_uci(promo, "a7a8"));
    EXPECT_EQ(uci_text(*parse_uci(promo, "a7a8q")), "a7a8q");
}

struct OutcomeCase {
    const char* name;
    const char* fen;
    Outcome outcome;
};

class Outcomes : public testing::TestWithParam<OutcomeCase> {};

TEST_P(Outcomes, AreRecognised) { EXPECT_EQ(at(GetParam().fen).outcome(), GetParam().outcome); }

INSTANTIATE_TEST_SUITE_P(
    Positions, Outcomes,
    testing::Values(
        OutcomeCase{"fools_mate", "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", Outcome::checkmate},
        OutcomeCase{"stalemate", "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", Outcome::stalemate},
        OutcomeCase{"fifty_moves", "4k3/8/8/8/8/8/8/R3K3 w - - 100 80", Outcome::fifty_moves},
        OutcomeCase{"lone_bishop", "4k3/8/8/8/8/8/8/4KB2 w - - 0 1", Outcome::insufficient_material},
        OutcomeCase{"lone_knight", "4k3/8/8/8/8/8/8/4KN2 w - - 0 1", Outcome::insufficient_material},
        OutcomeCase{"bishops_on_one_colour", "2b1k3/8/8/8/8/8/8/4KB2 w - - 0 1", Outcome::insufficient_material},
        OutcomeCase{"bishops_on_both_colours", "1b2k3/8/8/8/8/8/8/4KB2 w - - 0 1", Outcome::ongoing},
        OutcomeCase{"two_knights", "4k3/8/8/8/8/8/8/3NKN2 w - - 0 1", Outcome::ongoing},
        OutcomeCase{"a_pawn", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", Outcome::ongoing}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Repetition, ThirdOccurrenceDrawsAndAPawnMoveResetsTheCount) {
    Position pos;
    play(pos, {"g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1"});
    EXPECT_EQ(pos.repetitions(), 1);
    EXPECT_EQ(pos.outcome(), Outcome::ongoing);
    play(pos, {"f6g8"});
    EXPECT_EQ(pos.repetitions(), 2);
    EXPECT_EQ(pos.outcome(), Outcome::repetition);
    play(pos, {"e2e4"});
    EXPECT_EQ(pos.repetitions(), 0);
}

TEST(Placement, CastlingRightsFollowKingsAndRooksAtHome) {
    const Position full;
    EXPECT_EQ(inferred_castling_rights(full.placement()), white_short | white_long | black_short | black_long);
    EXPECT_EQ(castling_field(inferred_castling_rights(at("r3k3/8/8/8/8/8/8/4K2R w - - 0 1").placement())), "Kq");
    EXPECT_EQ(castling_field(inferred_castling_rights(at("4k3/8/8/8/8/8/8/R2K3R w - - 0 1").placement())), "-");
    EXPECT_EQ(placement_field(full.placement()), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR");
}

}  // namespace
