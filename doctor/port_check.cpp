// The check of one port through the programs' own serial line: the same open, lock and line
// settings, the same greeting, then a wait for the reply that ends at a deadline. The line's reads
// wait for ever, so the doctor reads only once bytes are waiting, and only as many as wait.

#include "probe.h"

#include "board_dialogue.h"

#include <algorithm>
#include <chrono>

namespace osa::doctor {
namespace {

using Clock = std::chrono::steady_clock;

// Everything that arrives until the end of reply or the deadline; a device that goes away on the
// way ends the wait with what came before.
std::string receive_reply(SerialLine& line, unsigned wait_ms) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(wait_ms);
    std::string received;
    try {
        // A failed device wakes the wait with nothing counted; its read of one byte reports the loss.
        while (reply_end(received) == std::string::npos && line.await_bytes(deadline))
            received += line.read(static_cast<std::size_t>(std::max<std::int64_t>(1, line.pending_count())));
    } catch (const SerialLineLost&) {
    }
    return received;
}

Outcome outcome_of(const std::string& received) {
    if (reply_end(received) != std::string::npos) return Outcome::answered;
    return received.empty() ? Outcome::silent : Outcome::incomplete;
}

PortCheck failed_open(const PortTarget& target, const OpenResult& opened) {
    if (opened.status == open_no_device) return device_refused(target, opened);
    PortCheck check;
    check.outcome = opened.status == open_bad_settings ? Outcome::settings_refused : Outcome::not_serial;
    check.system_error = system_words(opened);
    return check;
}

}  // namespace

PortCheck check_port(const PortTarget& target, const SerialSettings& settings, unsigned wait_ms) {
    SerialLine line;
    const OpenResult opened = line.open_device(device_to_open(target), settings);
    if (!opened.ok()) return failed_open(target, opened);
    PortCheck check;
    check.holders = other_users(target);
    check.received = exchange_greeting(line, [wait_ms](SerialLine& board) { return receive_reply(board, wait_ms); });
    closing_step(line);
    check.close_sent = true;
    check.outcome = outcome_of(check.received);
    return check;
}

}  // namespace osa::doctor
