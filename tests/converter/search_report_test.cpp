#include "search_report.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

// A report with the board's fixed columns: depth in 18-19, score in 21-26, the tail from 29 on.
std::string report(const std::string& depth, const std::string& score, const std::string& tail) {
    auto pad = [](const std::string& text, std::size_t width) { return std::string(width - text.size(), ' ') + text; };
    return "Sendinfo" + std::string(9, '.') + pad(depth, 2) + " " + pad(score, 6) + "  " + tail;
}

struct ReportCase {
    std::string reply;
    std::optional<std::string> info;  // nothing: no search report
    std::string board_move;
    bool ends;
};

TEST(SearchReport, ColumnsMovesAndTheFinalDot) {
    const ReportCase cases[] = {
        {report("4", "-15", "e7-e5 g1-f3"), "info depth 4 score cp -15 pv e7-e5 g1-f3", "e7-e5", false},
        {report("6", "-8", "c7-c5 g1-f3 d7-d6."), "info depth 6 score cp -8 pv c7-c5 g1-f3 d7-d6", "c7-c5", true},
        {report("12", "123456", "e7-e5."), "info depth 12 score cp 123456 pv e7-e5", "e7-e5", true},
        {report("6", "-8", "e7-e5 ."), "info depth 6 score cp -8 pv e7-e5 ", "e7-e5", true},
        {report("", "", "g8xf6 d2-d4"), "info depth  score cp  pv g8xf6 d2-d4", "g8xf6", false},
        {report("3", "0", "."), "info depth 3 score cp 0 pv ", "", false},
        {report("3", "0", "e7 e5."), "info depth 3 score cp 0 pv e7 e5", "e7 e5", true},
        {report("3", "0", "O-O g1-f3."), "info depth 3 score cp 0 pv O-O g1-f3", "O-O", true},
        {report("3", "0", "O-O."), "info depth 3 score cp 0 pv O-O", "O-O", true},
        {report("3", "0", "O-O-O."), "info depth 3 score cp 0 pv O-O-O", "O-O-O", true},
        {report("3", "0", "O-O g1-f3"), "info depth 3 score cp 0 pv O-O g1-f3", "O-O", false},
        {report("3", "0", "O-O+ g8-f6."), "info depth 3 score cp 0 pv O-O+ g8-f6", "O-O+", true},
        {report("3", "0", "O-O-O+ g8-f6."), "info depth 3 score cp 0 pv O-O-O+ g8-f6", "O-O-O+", true},
        {report("3", "0", "O-O+ g8-f6"), "info depth 3 score cp 0 pv O-O+ g8-f6", "O-O+", false},
        {report("3", "0", "O-O#."), "info depth 3 score cp 0 pv O-O#", "O-O#", true},
        {report("3", "0", "O-O-O+."), "info depth 3 score cp 0 pv O-O-O+", "O-O-O+", true},
        {report("3", "0", "e7-e8/Q d1-d8."), "info depth 3 score cp 0 pv e7-e8/Q d1-d8", "e7-e8/Q", true},
        {"Sendinfo short", "info depth  score cp  pv ", "", false},
        {"Sendinfo" + std::string(8, ' ') + ". 5     -3  ", "info depth 5 score cp -3 pv ", "", false},
        {"sendinfo" + std::string(20, ' ') + "e7-e5.", std::nullopt, "", false},
        {"No search.", std::nullopt, "", false},
        {"", std::nullopt, "", false},
    };
    for (const auto& c : cases) {
        const auto parsed = read_search_report(c.reply);
        ASSERT_EQ(parsed.has_value(), c.info.has_value()) << c.reply;
        if (!parsed) continue;
        EXPECT_EQ(info_line(*parsed), *c.info) << c.reply;
        EXPECT_EQ(parsed->board_move, c.board_move) << c.reply;
        EXPECT_EQ(ends_search(*parsed), c.ends) << c.reply;
    }
}

}  // namespace
}  // namespace osa
