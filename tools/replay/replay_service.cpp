#include "replay_service.h"

namespace osa::board {

void ReplayService::receive(std::string_view bytes, std::int64_t now_ms) {
    for (const auto& line : lines_.feed(bytes)) trace_.command(now_ms, line);
    replay_.receive(bytes, now_ms);
}

std::string ReplayService::due_output(std::int64_t now_ms) {
    std::string bytes = replay_.board_output(now_ms);
    if (!bytes.empty()) trace_.reply(now_ms, bytes);
    return bytes;
}

}  // namespace osa::board
