#include "search.h"

#include <gtest/gtest.h>

#include <chrono>

#include "notation.h"

namespace {

using namespace osa::board;
using namespace osa::chess;

Position at(const char* fen) { return Position::from_fen(fen).value(); }

SearchProgress search_to_depth(const Position& pos, int depth) {
    std::atomic<bool> cancel{false};
    return search(pos, {depth, 60'000}, cancel, [](const SearchProgress&) {});
}

struct BestMoveCase {
    const char* name;
    const char* fen;
    int depth;
    const char* best;
};

class BestMoves : public testing::TestWithParam<BestMoveCase> {};

TEST_P(BestMoves, AreFound) {
    const Position pos = at(GetParam().fen);
    const auto result = search_to_depth(pos, GetParam().depth);
    ASSERT_FALSE(result.pv.empty());
    EXPECT_EQ(uci_text(result.pv.front()), GetParam().best);
    EXPECT_TRUE(result.finished);
}

INSTANTIATE_TEST_SUITE_P(
    Tactics, BestMoves,
    testing::Values(BestMoveCase{"back_rank_mate", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 3, "a1a8"},
                    BestMoveCase{"free_queen", "4k3/8/8/3q4/8/8/3R4/4K3 w - - 0 1", 2, "d2d5"},
                    BestMoveCase{"defended_queen", "4k3/8/8/8/8/2n5/8/3QK3 b - - 0 1", 2, "c3d1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Search, MateScoreCountsThePliesToMate) {
    const auto result = search_to_depth(at("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"), 4);
    EXPECT_EQ(result.score, mate_score - 1);
}

TEST(Search, ReportsEveryCompletedDepthWithALegalVariation) {
    const Position pos;
    std::atomic<bool> cancel{false};
    std::vector<int> depths;
    search(pos, {3, 60'000}, cancel, [&](const SearchProgress& p) {
        depths.push_back(p.depth);
        Position walk = pos;
        for (const Move& m : p.pv) {
            ASSERT_TRUE(walk.is_legal(m));
            walk.make(m);
        }
        EXPECT_EQ(static_cast<int>(p.pv.size()), p.depth);
    });
    EXPECT_EQ(depths, (std::vector<int>{1, 2, 3}));
}

TEST(Search, NoLegalMoveFinishesAtOnceWithoutAVariation) {
    const auto mated = search_to_depth(at("rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3"), 5);
    EXPECT_TRUE(mated.finished);
    EXPECT_TRUE(mated.pv.empty());
    EXPECT_EQ(mated.score, -mate_score);
    const auto stalemated = search_to_depth(at("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"), 5);
    EXPECT_TRUE(stalemated.pv.empty());
    EXPECT_EQ(stalemated.score, 0);
}

TEST(Search, ThinkingTimeEndsADeepSearch) {
    std::atomic<bool> cancel{false};
    const auto started = std::chrono::steady_clock::now();
    const auto result = search(Position(), {99, 100}, cancel, [](const SearchProgress&) {});
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_GE(result.depth, 1);
    EXPECT_FALSE(result.pv.empty());
}

TEST(Evaluation, IsSymmetricBetweenTheSides) {
    EXPECT_EQ(evaluate(Position()), 0);
    const Position white_up = at("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    const Position black_view = at("3qk3/8/8/8/8/8/8/4K3 b - - 0 1");
    EXPECT_GT(evaluate(white_up), 800);
    EXPECT_EQ(evaluate(white_up), evaluate(black_view));
}

TEST(BackgroundSearch, CancelStopsARunningSearch) {
    BackgroundSearch background;
    background.start(Position(), {99, 60'000});
    const auto started = std::chrono::steady_clock::now();
    background.cancel();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

TEST(BackgroundSearch, PublishesTheFinishedResult) {
    BackgroundSearch background;
    background.start(at("6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"), {3, 60'000});
    background.wait();
    const auto progress = background.progress();
    EXPECT_TRUE(progress.finished);
    ASSERT_FALSE(progress.pv.empty());
    EXPECT_EQ(uci_text(progress.pv.front()), "a1a8");
}

}  // namespace
