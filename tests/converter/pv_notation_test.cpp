#include "pv_notation.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

struct VariationCase {
    const char* pv;
    bool white_to_move;
    const char* expected;
};

TEST(UciVariation, BoardMovesBecomeUciMoves) {
    const VariationCase cases[] = {
        {"e7-e5 g1-f3 b8-c6", false, "e7e5 g1f3 b8c6"},
        {"e4xd5 d8xd5", true, "e4d5 d8d5"},
        {"e7-e8/Q", true, "e7e8q"},
        {"b2xa1/n", false, "b2a1n"},
        {"d1-h5+ e8-e7 h5-e5#", true, "d1h5 e8e7 h5e5"},
        // Castling is the king's move of the side to move at that point of the variation.
        {"O-O O-O-O", true, "e1g1 e8c8"},
        {"O-O O-O-O", false, "e8g8 e1c1"},
        {"g1-f3 O-O+ O-O#", true, "g1f3 e8g8 e1g1"},
        // Extra spaces between moves are passed over.
        {"e2-e4  e7-e5 ", true, "e2e4 e7e5"},
    };
    for (const auto& c : cases) EXPECT_EQ(uci_variation(c.pv, c.white_to_move), c.expected) << c.pv;
}

TEST(UciVariation, TheVariationIsCutAtTheFirstWordThatIsNoMove) {
    const VariationCase cases[] = {
        {"e7-e5 00-00 g1-f3", false, "e7e5"},
        {"e7-e5 g1-f3 ...", false, "e7e5 g1f3"},
        {"a7-a8/K e7-e5", true, ""},
        {"", true, ""},
        {"   ", true, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(uci_variation(c.pv, c.white_to_move), c.expected) << c.pv;
}

TEST(UciInfoLine, DepthAndScoreStayAndAnEmptyVariationGivesNoPvField) {
    SearchReport report{"6", "-35", "O-O e7-e5", "O-O", false};
    EXPECT_EQ(uci_info_line(report, false), "info depth 6 score cp -35 pv e8g8 e7e5");
    report.pv = "";
    EXPECT_EQ(uci_info_line(report, true), "info depth 6 score cp -35");
    report.pv = "00-00";
    EXPECT_EQ(uci_info_line(report, true), "info depth 6 score cp -35");
}

}  // namespace
}  // namespace osa
