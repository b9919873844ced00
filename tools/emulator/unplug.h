// The board unplugged: at a given time or command count the device goes away, and after a while
// it comes back at the same path, with its game (a cable pulled) or with a fresh one (the board
// switched off and on).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "options.h"
#include "serve.h"

namespace osa::board {

// The time or the command count of the unplug has come.
bool unplug_due(const Unplug& unplug, std::int64_t commands, std::int64_t now_ms);

// Serves as the inner service does, and is over once the unplug is due: the command count is
// kept across the sessions of one run.
class UnplugWatch : public LineService {
public:
    UnplugWatch(LineService& inner, const Unplug& unplug, std::int64_t& commands)
        : inner_(inner), unplug_(unplug), commands_(commands) {}
    void receive(std::string_view bytes, std::int64_t now_ms) override;
    std::string due_output(std::int64_t now_ms) override { return inner_.due_output(now_ms); }
    std::optional<std::int64_t> next_event_in(std::int64_t now_ms) const override;
    bool over(std::int64_t now_ms) const override {
        return unplug_due(unplug_, commands_, now_ms) || inner_.over(now_ms);
    }
    int wake_fd() const override { return inner_.wake_fd(); }

private:
    LineService& inner_;
    const Unplug& unplug_;
    std::int64_t& commands_;
    LineSplitter lines_;
};

}  // namespace osa::board
