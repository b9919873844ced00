#include "unplug.h"

#include <algorithm>

namespace osa::board {

void UnplugWatch::receive(std::string_view bytes, std::int64_t now_ms) {
    commands_ += static_cast<std::int64_t>(lines_.feed(bytes).size());
    inner_.receive(bytes, now_ms);
}

std::optional<std::int64_t> UnplugWatch::next_event_in(std::int64_t now_ms) const {
    const auto inner = inner_.next_event_in(now_ms);
    if (!unplug_.by_time) return inner;
    const std::int64_t until = std::max<std::int64_t>(0, unplug_.at - now_ms);
    return inner ? std::min(*inner, until) : until;
}

bool unplug_due(const Unplug& unplug, std::int64_t commands, std::int64_t now_ms) {
    return unplug.by_time ? now_ms >= unplug.at : commands >= unplug.at;
}

}  // namespace osa::board
