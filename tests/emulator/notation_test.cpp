#include "notation.h"

#include <gtest/gtest.h>

#include "case_names.h"

namespace {

using namespace osa::board;
using namespace osa::chess;

Position at(const char* fen) { return Position::from_fen(fen).value(); }

Move uci(const Position& pos, const char* text) { return parse_uci(pos, text).value(); }

struct TextCase {
    const char* fen;
    const char* uci;
    const char* letters;  // board notation, castling as O-O
    const char* squares;  // board notation, castling as the king's move
    const char* human;    // the human's report
};

class MoveTexts : public testing::TestWithParam<TextCase> {};

TEST_P(MoveTexts, AreWrittenAndReadBack) {
    const auto& c = GetParam();
    const Position pos = at(c.fen);
    const Move move = uci(pos, c.uci);
    EXPECT_EQ(board_move_text(pos, move, CastlingStyle::letters), c.letters);
    EXPECT_EQ(board_move_text(pos, move, CastlingStyle::king_squares), c.squares);
    EXPECT_EQ(human_move_text(pos, move), c.human);
    EXPECT_EQ(parse_board_move(pos, c.letters), move);
    EXPECT_EQ(parse_board_move(pos, c.squares), move);
}

constexpr const char* castles = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";

INSTANTIATE_TEST_SUITE_P(
    Moves, MoveTexts,
    testing::Values(
        TextCase{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "e2e4", "e2-e4", "e2-e4", "e2-e4"},
        TextCase{"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", "g8f6", "g8-f6", "g8-f6", "Ng8-f6"},
        TextCase{"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", "e4xd5", "e4xd5", "e4xd5"},
        TextCase{"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", "e5xd6", "e5xd6", "e5xd6"},
        TextCase{"4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q", "a7-a8/Q", "a7-a8/Q", "a7-a8/Q"},
        TextCase{"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8n", "a7xb8/N", "a7xb8/N", "a7xb8/N"},
        TextCase{castles, "e1g1", "O-O", "e1-g1", "O-O"}, TextCase{castles, "e1c1", "O-O-O", "e1-c1", "O-O-O"},
        TextCase{"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "e8c8", "O-O-O", "e8-c8", "O-O-O"},
        TextCase{castles, "a1a8", "a1xa8", "a1xa8", "Ra1xa8"}),
    [](const auto& info) { return osatest::case_name(info.param.uci); });

// The forms a search report may write a move in, and the board reading each one back.
struct StyleCase {
    const char* fen;
    const char* uci;
    MoveStyle style;
    const char* text;
};

class ReportMoveStyles : public testing::TestWithParam<StyleCase> {};

TEST_P(ReportMoveStyles, AreWrittenAndReadBack) {
    const auto& c = GetParam();
    const Position pos = at(c.fen);
    const Move move = uci(pos, c.uci);
    EXPECT_EQ(board_move_text(pos, move, c.style), c.text);
    EXPECT_EQ(parse_board_move(pos, c.text), move);
}

constexpr MoveStyle dashes{CastlingStyle::letters, '-'};
constexpr MoveStyle signs{CastlingStyle::letters, 'x', true};
constexpr MoveStyle squares_signs{CastlingStyle::king_squares, '-', true};
constexpr const char* scholar = "r1bqkbnr/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4";
constexpr const char* castling_mate = "4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1";

INSTANTIATE_TEST_SUITE_P(
    Styles, ReportMoveStyles,
    testing::Values(StyleCase{"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", dashes, "e4-d5"},
                    StyleCase{"1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8n", dashes, "a7-b8/N"},
                    StyleCase{"4k3/8/8/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", signs, "e4xd5"},
                    StyleCase{scholar, "h5f7", signs, "h5xf7#"}, StyleCase{scholar, "h5f7", dashes, "h5-f7"},
                    StyleCase{scholar, "h5f7", squares_signs, "h5-f7#"},
                    StyleCase{"4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8q", signs, "b7-b8/Q+"},
                    StyleCase{"5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", signs, "O-O+"},
                    StyleCase{"5k2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", squares_signs, "e1-g1+"},
                    StyleCase{castling_mate, "e1g1", signs, "O-O#"},
                    StyleCase{castling_mate, "e1g1", MoveStyle(), "O-O"}),
    [](const auto& info) { return osatest::case_name(info.param.text); });

TEST(BoardMoves, RefuseIllegalOrMalformedTexts) {
    const Position pos;
    for (const char* bad : {"e2-e5", "e7-e5", "e2e4", "e2+e4", "O-O", "O-O-O", "e2-e4/Q", "", "00-00", "e2-e4++", "+"})
        EXPECT_FALSE(parse_board_move(pos, bad).has_value()) << bad;
    const Position promo = at("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    for (const char* bad : {"a7-a8", "a7-a8/K", "a7-a8/P", "a7-a8Q"}) EXPECT_FALSE(parse_board_move(promo, bad)) << bad;
}

TEST(BoardMoves, VariationIsWrittenMoveByMoveFromItsPosition) {
    const Position pos = at("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    Position walk = pos;
    std::vector<Move> pv;
    for (const char* text : {"e1g1", "a8a1", "f1a1"}) {
        pv.push_back(uci(walk, text));
        walk.make(pv.back());
    }
    EXPECT_EQ(variation_text(pos, pv, CastlingStyle::letters), "O-O a8xa1 f1xa1");
    EXPECT_EQ(variation_text(pos, pv, CastlingStyle::king_squares), "e1-g1 a8xa1 f1xa1");
    EXPECT_EQ(variation_text(pos, {}, CastlingStyle::letters), "");
}

}  // namespace
