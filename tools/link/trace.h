// The trace file: every command received and every reply sent, one line each, with the time
// in milliseconds since the emulator started. Control bytes are escaped so that the framing of
// each reply (CR, LF, the ETB at its end) can be read off the trace.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <string_view>

namespace osa::board {

class Trace {
public:
    Trace() = default;                        // records nothing
    explicit Trace(const std::string& path);  // throws std::runtime_error when the file cannot be made

    void command(std::int64_t ms, std::string_view line) { record(ms, "<- ", line); }
    void reply(std::int64_t ms, std::string_view bytes) { record(ms, "-> ", bytes); }
    void note(std::int64_t ms, std::string_view text) { record(ms, "-- ", text); }

private:
    void record(std::int64_t ms, std::string_view direction, std::string_view bytes);

    std::ofstream file_;
};

}  // namespace osa::board
