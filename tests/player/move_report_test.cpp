// The board's move reports read back as UCI moves.
#include "move_report.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

struct ReportCase {
    const char* report;
    bool black_side;
    std::optional<std::string> move;
};

void check(const ReportCase& c) {
    EXPECT_EQ(uci_move_from_report(c.report, c.black_side), c.move) << '"' << c.report << "\" black " << c.black_side;
}

TEST(MoveReport, EveryRowOfTheConversionTable) {
    const ReportCase cases[] = {
        {"e2-e4", false, "e2e4"},   {"Ng8-f6", true, "g8f6"},    {"e4xd5", false, "e4d5"},
        {"O-O", false, "e1g1"},     {"O-O", true, "e8g8"},       {"O-O-O", false, "e1c1"},
        {"O-O-O", true, "e8c8"},    {"e7-e8/Q", false, "e7e8q"}, {"b2xa1/N", true, "b2a1n"},
    };
    for (const auto& c : cases) check(c);
}

TEST(MoveReport, TextAroundTheMoveIsPassedOver) {
    const ReportCase cases[] = {
        {"12. Nf3-g5+", false, "f3g5"},
        {"  Qd8xh4 mate", true, "d8h4"},
        {"Bb5xc6+ ", false, "b5c6"},
        {"e2-e4e7-e5", false, "e2e4"},         // the first move of the text counts
        {"1. O-O e7-e5", true, "e8g8"},       // castling before a square move
        {"O-O-O+", false, "e1c1"},
        {"a7-a8/R", false, "a7a8r"},
        {"h2-h1/b", true, "h2h1b"},           // the piece letter in either case
        {"g7xh8/Q+", false, "g7h8q"},
        {"d7-d8/", false, "d7d8"},            // a "/" at the very end marks nothing
        {"d7-d8/X", false, "d7d8"},           // nor one before a letter that is no piece
        {"e7-e8/ Q", false, "e7e8"},
    };
    for (const auto& c : cases) check(c);
}

TEST(MoveReport, CapturesAreReadOnlyWhenNoDashStandsInAMove) {
    const ReportCase cases[] = {
        {"Bc4xf7", false, "c4f7"},
        {"exd5 e4xd5", false, "e4d5"},        // an "x" between a letter and a square is no capture
        {"- e4xd5", false, "e4d5"},           // nor is a dash without squares a move
        {"e4xd5 c2-c4", false, "c2c4"},       // a dash in a move comes before a capture
        {"Box e2-e4", true, "e2e4"},
    };
    for (const auto& c : cases) check(c);
}

TEST(MoveReport, TextsWithoutAMove) {
    const char* const reports[] = {
        "", "Takeback", "Illegal move", "-", "x", "-e4", "e-e4", "e2-", "e2-e", "i2-e4", "e9-e4", "e2-e0",
        "E2-E4", "0-0", "o-o", "O-", "Box", "e2 e4", "e2--e4", "/Q",
    };
    for (const char* report : reports)
        for (const bool black_side : {false, true}) check({report, black_side, std::nullopt});
}

}  // namespace
}  // namespace osa
