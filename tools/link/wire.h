// The line's speed: with a baud rate, the bytes for the program are held so that they leave no
// faster than a real serial line carries them (10 bits a byte: start, 8 data bits, stop; 8.33 ms
// a byte at 1200 baud). A byte goes out when it would have arrived whole: one byte time after the
// line was free for it. The bytes keep the line's own clock: each is due one byte time after the
// one before it was due, so a late wake-up of the serving loop does not slow the line down.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace osa::board {

class Wire {
public:
    using Time = std::chrono::steady_clock::time_point;

    explicit Wire(long long baud = 0);  // 0: no speed, bytes go out as soon as they are queued

    void queue(std::string_view bytes, Time now);
    std::string take_due(Time now);         // the queued bytes whose time has come, in order
    std::optional<Time> next_due() const;  // nothing when nothing is queued

    static std::chrono::nanoseconds byte_time(long long baud);

private:
    std::chrono::nanoseconds byte_time_;
    std::string queued_;
    Time due_{};  // when the first queued byte has arrived whole
};

}  // namespace osa::board
