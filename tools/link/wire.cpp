#include "wire.h"

#include <algorithm>
#include <utility>

namespace osa::board {

std::chrono::nanoseconds Wire::byte_time(long long baud) {
    return baud > 0 ? std::chrono::nanoseconds(10'000'000'000LL / baud) : std::chrono::nanoseconds(0);
}

Wire::Wire(long long baud) : byte_time_(byte_time(baud)) {}

void Wire::queue(std::string_view bytes, Time now) {
    // A byte has arrived once its last bit has: one byte time after it began, and it begins
    // when the line is free.
    if (queued_.empty()) due_ = std::max(due_, now + byte_time_);
    queued_ += bytes;
}

std::string Wire::take_due(Time now) {
    if (byte_time_.count() == 0) return std::exchange(queued_, {});
    std::size_t count = 0;
    while (count < queued_.size() && due_ <= now) {
        ++count;
        due_ += byte_time_;
    }
    std::string due = queued_.substr(0, count);
    queued_.erase(0, count);
    return due;
}

std::optional<Wire::Time> Wire::next_due() const {
    if (queued_.empty()) return std::nullopt;
    return due_;
}

}  // namespace osa::board
