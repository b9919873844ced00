// The board computer: iterative-deepening alpha-beta over material and piece-square values,
// with a quiescence search of captures and a principal variation kept per iteration.
//
// A search ends when its depth reaches the level, when its thinking time (or, for a search that
// must repeat, its node count) is used up, or when it is cancelled. An iteration cut short by
// the clock or the node count is thrown away, so the reported variation
// always belongs to a completed depth; depth 1 is never cut short, so every search that is not
// cancelled names a move whenever one exists.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "chess.h"

namespace osa::board {

inline constexpr int mate_score = 30000;

struct SearchLimits {
    int max_depth = 64;
    int think_ms = 1000;
    std::uint64_t max_nodes = 0;  // when set, the node count ends the search instead of the clock
};

struct SearchProgress {
    int depth = 0;  // last completed depth
    int score = 0;  // centipawns from the side to move's view; near +-mate_score for a mate
    std::uint64_t nodes = 0;
    std::vector<chess::Move> pv;  // empty when the side to move has no legal move
    bool finished = false;
};

// Static evaluation from the side to move's view.
int evaluate(const chess::Position& pos);

// Runs on the calling thread; on_iteration is called after every completed depth.
SearchProgress search(const chess::Position& root, SearchLimits limits, const std::atomic<bool>& cancel,
                      const std::function<void(const SearchProgress&)>& on_iteration);

// One search at a time on a thread of its own, so that the board keeps answering while it thinks.
class BackgroundSearch {
public:
    BackgroundSearch() = default;
    BackgroundSearch(const BackgroundSearch&) = delete;
    BackgroundSearch& operator=(const BackgroundSearch&) = delete;
    ~BackgroundSearch() { cancel(); }

    void start(const chess::Position& root, SearchLimits limits);  // cancels any search still running
    void cancel();
    void wait();  // until the current search has finished
    SearchProgress progress() const;

private:
    mutable std::mutex mutex_;
    SearchProgress progress_;
    std::atomic<bool> cancel_{false};
    std::thread thread_;
};

}  // namespace osa::board
