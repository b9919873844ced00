// Every form in which the emulated board writes its search reports, read back with the engine
// program's own parsing: the board move it hands back and answers with, and the variation it
// relays to the GUI in UCI notation.
#include "board.h"
#include "pv_notation.h"
#include "board_notation.h"
#include "search_report.h"

#include <gtest/gtest.h>

namespace {

using namespace osa::board;
using namespace osa::chess;

struct Line {
    const char* name;
    const char* fen;
    std::vector<const char*> uci;  // the variation in UCI notation
};

// Castling on both wings, captures, a capturing promotion, a check, and mates.
const Line lines[] = {
    {"castling_and_promotion", "r3k2r/1P6/8/8/8/8/8/R3K2R b KQkq - 0 1", {"e8g8", "b7a8q", "f8a8", "e1c1", "a8a1"}},
    {"mate", "r1bqkbnr/pppp1ppp/2n5/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 3 3", {"g8f6", "h5f7"}},
    {"castling_mates", "4rkr1/4p1p1/8/8/8/8/8/4K2R w K - 0 1", {"e1g1"}},
};

std::vector<Move> moves_of(const Line& line) {
    Position walk = Position::from_fen(line.fen).value();
    std::vector<Move> moves;
    for (const char* text : line.uci) {
        moves.push_back(parse_uci(walk, text).value());
        walk.make(moves.back());
    }
    return moves;
}

std::string joined(const std::vector<const char*>& words) {
    std::string text;
    for (const char* word : words) text += (text.empty() ? "" : " ") + std::string(word);
    return text;
}

std::string style_name(const MoveStyle& style) {
    return std::string(style.castling == CastlingStyle::letters ? "letters" : "squares") +
           (style.capture_sign == 'x' ? "_x" : "_dash") + (style.check_signs ? "_signs" : "");
}

std::string case_name(const testing::TestParamInfo<std::tuple<Line, CastlingStyle, char, bool>>& info) {
    const auto& [line, castling, capture, checks] = info.param;
    return std::string(line.name) + "_" + style_name(MoveStyle(castling, capture, checks));
}

class ReportForms : public testing::TestWithParam<std::tuple<Line, CastlingStyle, char, bool>> {
protected:
    const Line& line() const { return std::get<0>(GetParam()); }
    MoveStyle style() const {
        return MoveStyle(std::get<1>(GetParam()), std::get<2>(GetParam()), std::get<3>(GetParam()));
    }
};

TEST_P(ReportForms, AreReadAsTheBoardMeantThem) {
    const Position root = Position::from_fen(line().fen).value();
    const bool white_to_move = root.side_to_move() == white;
    const SearchProgress progress{5, 120, 4321, moves_of(line()), true};
    const auto report = osa::read_search_report(search_report(root, progress, style()));
    ASSERT_TRUE(report.has_value());

    EXPECT_EQ(report->pv, variation_text(root, progress.pv, style()));
    EXPECT_EQ(osa::uci_variation(report->pv, white_to_move), joined(line().uci));
    EXPECT_TRUE(osa::ends_search(*report));
    EXPECT_EQ(osa::uci_from_board_word(report->board_move, white_to_move).value_or("0000"), line().uci.front());
    // The engine program hands the board move back as it stands; the board must take it.
    EXPECT_EQ(parse_board_move(root, report->board_move), progress.pv.front());
}

INSTANTIATE_TEST_SUITE_P(Styles, ReportForms,
                         testing::Combine(testing::ValuesIn(lines),
                                          testing::Values(CastlingStyle::letters, CastlingStyle::king_squares),
                                          testing::Values('x', '-'), testing::Bool()),
                         case_name);

TEST(ReportVariations, SignsMarkChecksAndMatesAlongTheVariation) {
    const Line& line = lines[0];
    const Position root = Position::from_fen(line.fen).value();
    const MoveStyle style(CastlingStyle::letters, 'x', true);
    EXPECT_EQ(variation_text(root, moves_of(line), style), "O-O b7xa8/Q f8xa8 O-O-O a8-a1+");
    EXPECT_EQ(variation_text(Position::from_fen(lines[1].fen).value(), moves_of(lines[1]), style), "g8-f6 h5xf7#");
}

}  // namespace
