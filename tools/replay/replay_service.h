// A recording played back as what answers on the line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "replay.h"
#include "serve.h"
#include "trace.h"

namespace osa::board {

// A recording played back; every command line and reply is traced, the reply when it is queued.
class ReplayService : public LineService {
public:
    ReplayService(Replay& replay, Trace& trace) : replay_(replay), trace_(trace) {}
    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override;
    std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const override {
        return replay_.next_event_in(now_ms);
    }
    bool over(std::int64_t now_ms) const override { return replay_.over(now_ms); }
    std::string gui_input() override { return replay_.take_gui_input(); }
    bool gui_input_finished() const override { return replay_.gui_input_finished(); }
    void gui_output(std::string_view bytes, std::int64_t now_ms) override { replay_.gui_output(bytes, now_ms); }

private:
    Replay& replay_;
    Trace& trace_;
    LineSplitter lines_;
};

}  // namespace osa::board
