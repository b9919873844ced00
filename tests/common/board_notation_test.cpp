// Moves between the board's notation and UCI: one table for every reader of a board move.
#include "board_notation.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

TEST(BoardNotation, UciToBoard) {
    const std::pair<const char*, const char*> cases[] = {
        {"e2e4", "e2-e4"}, {"e7e8q", "e7-e8/Q"}, {"a2a1n", "a2-a1/N"}, {"b7b8r", "b7-b8/R"},
        {"g2g1b", "g2-g1/B"}, {"e1g1", "e1-g1"}, {"7e8Q", "7e-8Q"},
    };
    for (const auto& [uci, board] : cases) EXPECT_EQ(board_notation(uci), board) << uci;
}

struct WordCase {
    const char* word;
    bool white_to_move;
    std::optional<std::string> uci;
};

// The board's move in bestmove and each move of the UCI variation.
TEST(BoardNotation, BoardWordsToUci) {
    const WordCase cases[] = {
        {"c7-c5", false, "c7c5"},    {"g8xf6", false, "g8f6"},    {"e7 e5", true, "e7e5"},
        {"e7=e5", true, "e7e5"},     {"e4-e5+", true, "e4e5"},    {"h5-e5#", true, "h5e5"},
        {"e7-e8/Q", true, "e7e8q"},  {"b2xa1/N", false, "b2a1n"}, {"a7-a8/r", true, "a7a8r"},
        {"b2xa1/n", false, "b2a1n"}, {"g7xh8/Q+", true, "g7h8q"},
        {"O-O", true, "e1g1"},       {"O-O", false, "e8g8"},      {"O-O-O", true, "e1c1"},
        {"O-O-O", false, "e8c8"},    {"O-O+", true, "e1g1"},      {"O-O#", false, "e8g8"},
        {"O-O-O#", true, "e1c1"},    {"O-O-O+", false, "e8c8"},
        // A king is no promotion piece, and nothing may follow a move but one check sign.
        {"a7-a8/K", true, {}},  {"e7-e8/P", true, {}}, {"e7-e8Q", true, {}}, {"e7-e5.", false, {}},
        {"e4-e5++", true, {}},  {"O-O++", true, {}},   {"O-O-", true, {}},   {"O-O-O-O", true, {}},
        {"e7", true, {}},       {"xx-yy", true, {}},   {"e7-e", true, {}},   {"e7-e9", false, {}},
        {"E7-E5", false, {}},   {"e7e5", false, {}},   {"00-00", true, {}},  {"...", true, {}},
        {"", true, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(uci_from_board_word(c.word, c.white_to_move), c.uci) << '"' << c.word << '"';
}

TEST(BoardNotation, AMoveAtTheStartOfALongerText) {
    const std::tuple<const char*, std::string, std::size_t> cases[] = {
        {"e2-e4e7-e5", "e2e4", 5}, {"d7-d8/X", "d7d8", 5}, {"g7xh8/Q+", "g7h8q", 7}, {"O-O-O+", "e1c1", 5},
    };
    for (const auto& [text, uci, length] : cases) {
        const auto move = read_board_move(text, true);
        ASSERT_TRUE(move) << text;
        EXPECT_EQ(move->uci, uci) << text;
        EXPECT_EQ(move->length, length) << text;
    }
}

}  // namespace
}  // namespace osa
