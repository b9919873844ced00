#include "search.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>

namespace osa::board {

using namespace osa::chess;

namespace {

constexpr std::array<int, 7> piece_value{0, 100, 320, 330, 500, 900, 0};

using Table = std::array<int, 64>;

// Written as seen from White's side of the board: the first row is rank 8.
// clang-format off
constexpr Table pawn_table{
      0,   0,   0,   0,   0,   0,   0,   0,
     50,  50,  50,  50,  50,  50,  50,  50,
     10,  10,  20,  30,  30,  20,  10,  10,
      5,   5,  10,  25,  25,  10,   5,   5,
      0,   0,   0,  20,  20,   0,   0,   0,
      5,  -5, -10,   0,   0, -10,  -5,   5,
      5,  10,  10, -20, -20,  10,  10,   5,
      0,   0,   0,   0,   0,   0,   0,   0};
constexpr Table knight_table{
    -50, -40, -30, -30, -30, -30, -40, -50,
    -40, -20,   0,   0,   0,   0, -20, -40,
    -30,   0,  10,  15,  15,  10,   0, -30,
    -30,   5,  15,  20,  20,  15,   5, -30,
    -30,   0,  15,  20,  20,  15,   0, -30,
    -30,   5,  10,  15,  15,  10,   5, -30,
    -40, -20,   0,   5,   5,   0, -20, -40,
    -50, -40, -30, -30, -30, -30, -40, -50};
constexpr Table bishop_table{
    -20, -10, -10, -10, -10, -10, -10, -20,
    -10,   0,   0,   0,   0,   0,   0, -10,
    -10,   0,   5,  10,  10,   5,   0, -10,
    -10,   5,   5,  10,  10,   5,   5, -10,
    -10,   0,  10,  10,  10,  10,   0, -10,
    -10,  10,  10,  10,  10,  10,  10, -10,
    -10,   5,   0,   0,   0,   0,   5, -10,
    -20, -10, -10, -10, -10, -10, -10, -20};
constexpr Table rook_table{
      0,   0,   0,   0,   0,   0,   0,   0,
      5,  10,  10,  10,  10,  10,  10,   5,
     -5,   0,   0,   0,   0,   0,   0,  -5,
     -5,   0,   0,   0,   0,   0,   0,  -5,
     -5,   0,   0,   0,   0,   0,   0,  -5,
     -5,   0,   0,   0,   0,   0,   0,  -5,
     -5,   0,   0,   0,   0,   0,   0,  -5,
      0,   0,   0,   5,   5,   0,   0,   0};
constexpr Table queen_table{
    -20, -10, -10,  -5,  -5, -10, -10, -20,
    -10,   0,   0,   0,   0,   0,   0, -10,
    -10,   0,   5,   5,   5,   5,   0, -10,
     -5,   0,   5,   5,   5,   5,   0,  -5,
      0,   0,   5,   5,   5,   5,   0,  -5,
    -10,   5,   5,   5,   5,   5,   0, -10,
    -10,   0,   5,   0,   0,   0,   0, -10,
    -20, -10, -10,  -5,  -5, -10, -10, -20};
constexpr Table king_table{
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -30, -40, -40, -50, -50, -40, -40, -30,
    -20, -30, -30, -40, -40, -30, -30, -20,
    -10, -20, -20, -20, -20, -20, -20, -10,
     20,  20,   0,   0,   0,   0,  20,  20,
     20,  30,  10,   0,   0,  10,  30,  20};
// clang-format on

constexpr std::array<const Table*, 7> tables{nullptr,     &pawn_table,  &knight_table, &bishop_table,
                                             &rook_table, &queen_table, &king_table};

int square_bonus(Piece p, int sq) {
    const int row_from_top = colour_of(p) == white ? 7 - rank_of(sq) : rank_of(sq);
    return (*tables[type_of(p)])[row_from_top * 8 + file_of(sq)];
}

class Searcher {
public:
    Searcher(const Position& root, SearchLimits limits, const std::atomic<bool>& cancel)
        : pos_(root), limits_(limits), cancel_(cancel), started_(std::chrono::steady_clock::now()) {}

    SearchProgress run(const std::function<void(const SearchProgress&)>& on_iteration);

private:
    int alpha_beta(int depth, int alpha, int beta, int ply);
    int quiescence(int alpha, int beta, int ply);
    void order(std::vector<Move>& moves, int ply) const;
    bool out_of_time();
    bool is_repetition_or_fifty() const { return pos_.halfmove_clock() >= 100 || pos_.repetitions() >= 1; }

    static constexpr int max_ply = 128;

    Position pos_;
    SearchLimits limits_;
    const std::atomic<bool>& cancel_;
    std::chrono::steady_clock::time_point started_;
    std::uint64_t nodes_ = 0;
    bool stopped_ = false;
    bool may_stop_ = false;  // false during depth 1, which must always complete
    std::vector<Move> previous_pv_;
    std::array<std::array<Move, max_ply>, max_ply> pv_table_{};
    std::array<int, max_ply> pv_length_{};
};

bool Searcher::out_of_time() {
    if (cancel_.load(std::memory_order_relaxed)) return stopped_ = true;
    if (!may_stop_ || (nodes_ & 1023) != 0) return stopped_;
    if (limits_.max_nodes != 0) return stopped_ = nodes_ >= limits_.max_nodes;
    const auto elapsed = std::chrono::steady_clock::now() - started_;
    if (elapsed >= std::chrono::milliseconds(limits_.think_ms)) stopped_ = true;
    return stopped_;
}

// Moves of the previous iteration's variation first, then captures of the most valuable victim
// by the least valuable attacker, then the rest: good ordering is what makes alpha-beta cut.
void Searcher::order(std::vector<Move>& moves, int ply) const {
    const auto rank_of_move = [&](const Move& m) {
        if (static_cast<std::size_t>(ply) < previous_pv_.size() && previous_pv_[ply] == m) return 1'000'000;
        int rank = m.promotion != none ? piece_value[m.promotion] : 0;
        if (pos_.is_capture(m)) {
            const Piece victim = pos_.at(m.to);
            rank += 10 * (victim == 0 ? piece_value[pawn] : piece_value[type_of(victim)]) -
                    piece_value[type_of(pos_.at(m.from))] / 10 + 1000;
        }
        return rank;
    };
    std::stable_sort(moves.begin(), moves.end(),
                     [&](const Move& a, const Move& b) { return rank_of_move(a) > rank_of_move(b); });
}

int Searcher::quiescence(int alpha, int beta, int ply) {
    ++nodes_;
    pv_length_[ply] = 0;
    if (out_of_time() || ply >= max_ply - 1) return evaluate(pos_);
    const int stand_pat = evaluate(pos_);
    if (stand_pat >= beta) return stand_pat;
    alpha = std::max(alpha, stand_pat);
    auto moves = pos_.legal_moves();
    std::erase_if(moves, [&](const Move& m) { return !pos_.is_capture(m) && m.promotion == none; });
    order(moves, max_ply);
    for (const Move& m : moves) {
        pos_.make(m);
        const int score = -quiescence(-beta, -alpha, ply + 1);
        pos_.unmake();
        if (stopped_) return alpha;
        if (score >= beta) return score;
        alpha = std::max(alpha, score);
    }
    return alpha;
}

int Searcher::alpha_beta(int depth, int alpha, int beta, int ply) {
    pv_length_[ply] = 0;
    if (ply > 0 && is_repetition_or_fifty()) return 0;
    if (depth <= 0 || ply >= max_ply - 1) return quiescence(alpha, beta, ply);
    ++nodes_;
    if (out_of_time()) return alpha;
    auto moves = pos_.legal_moves();
    if (moves.empty()) return pos_.in_check() ? -mate_score + ply : 0;
    order(moves, ply);
    for (const Move& m : moves) {
        pos_.make(m);
        const int score = -alpha_beta(depth - 1, -beta, -alpha, ply + 1);
        pos_.unmake();
        if (stopped_) return alpha;
        if (score <= alpha) continue;
        alpha = score;
        pv_table_[ply][0] = m;
        std::copy_n(pv_table_[ply + 1].begin(), pv_length_[ply + 1], pv_table_[ply].begin() + 1);
        pv_length_[ply] = pv_length_[ply + 1] + 1;
        if (score >= beta) break;
    }
    return alpha;
}

SearchProgress Searcher::run(const std::function<void(const SearchProgress&)>& on_iteration) {
    SearchProgress progress;
    if (pos_.legal_moves().empty()) {
        progress.score = pos_.in_check() ? -mate_score : 0;
        progress.finished = true;
        return progress;
    }
    for (int depth = 1; depth <= limits_.max_depth; ++depth) {
        may_stop_ = depth > 1;
        const int score = alpha_beta(depth, -mate_score - 1, mate_score + 1, 0);
        if (stopped_) break;
        previous_pv_.assign(pv_table_[0].begin(), pv_table_[0].begin() + pv_length_[0]);
        progress.depth = depth;
        progress.score = score;
        progress.nodes = nodes_;
        progress.pv = previous_pv_;
        on_iteration(progress);
        if (std::abs(score) >= mate_score - depth) break;  // a forced mate found needs no deeper look
    }
    progress.nodes = nodes_;
    progress.finished = true;
    return progress;
}

}  // namespace

int evaluate(const Position& pos) {
    int white_view = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const Piece p = pos.at(sq);
        if (p == 0) continue;
        const int value = piece_value[type_of(p)] + square_bonus(p, sq);
        white_view += colour_of(p) == white ? value : -value;
    }
    return pos.side_to_move() == white ? white_view : -white_view;
}

SearchProgress search(const Position& root, SearchLimits limits, const std::atomic<bool>& cancel,
                      const std::function<void(const SearchProgress&)>& on_iteration) {
    Searcher searcher(root, limits, cancel);
    return searcher.run(on_iteration);
}

void BackgroundSearch::start(const Position& root, SearchLimits limits) {
    cancel();
    cancel_ = false;
    {
        std::lock_guard lock(mutex_);
        progress_ = SearchProgress{};
    }
    thread_ = std::thread([this, root, limits] {
        const auto publish = [this](const SearchProgress& p) {
            std::lock_guard lock(mutex_);
            progress_ = p;
        };
        publish(search(root, limits, cancel_, publish));
    });
}

void BackgroundSearch::cancel() {
    cancel_ = true;
    wait();
}

void BackgroundSearch::wait() {
    if (thread_.joinable()) thread_.join();
}

SearchProgress BackgroundSearch::progress() const {
    std::lock_guard lock(mutex_);
    return progress_;
}

}  // namespace osa::board
