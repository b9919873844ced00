// A search counted in nodes gives the same result on every run, however long it takes.
#include "search.h"

#include <gtest/gtest.h>

namespace {

using namespace osa::board;
using namespace osa::chess;

TEST(SeededSearch, TheNodeCountEndsTheSearchAndItRepeats) {
    const auto pos = Position::from_fen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3").value();
    const std::atomic<bool> cancel{false};
    const SearchLimits limits{64, 60'000, 20'000};
    const auto first = search(pos, limits, cancel, [](const SearchProgress&) {});
    const auto second = search(pos, limits, cancel, [](const SearchProgress&) {});
    // The count is looked at every 1024 nodes.
    EXPECT_LT(first.nodes, limits.max_nodes + 1024) << "the node count, not the minute, ended the search";
    EXPECT_EQ(first.nodes, second.nodes);
    EXPECT_EQ(first.depth, second.depth);
    EXPECT_EQ(first.pv, second.pv);
    EXPECT_FALSE(first.pv.empty());
}

}  // namespace
