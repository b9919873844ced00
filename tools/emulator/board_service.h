// The emulated board as what answers on the line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board.h"
#include "serve.h"
#include "trace.h"

namespace osa::board {

// The emulated board; every command line and reply is traced, the reply when it is queued.
class BoardService : public LineService {
public:
    BoardService(Board& board, Trace& trace) : board_(board), trace_(trace) {}
    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override;
    std::optional<std::int64_t> next_event_in(std::int64_t) const override { return board_.next_event_in(); }

private:
    std::string traced(std::string bytes, std::int64_t now_ms);

    Board& board_;
    Trace& trace_;
    LineSplitter lines_;
    std::string answers_;
};

}  // namespace osa::board
