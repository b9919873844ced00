#include "board_service.h"

#include <utility>

namespace osa::board {

void BoardService::receive(std::string_view bytes, std::int64_t now_ms) {
    for (const auto& line : lines_.feed(bytes)) {
        trace_.command(now_ms, line);
        answers_ += traced(board_.handle(line), now_ms);
    }
}

std::string BoardService::due_output(std::int64_t now_ms) {
    return std::exchange(answers_, {}) + traced(board_.poll(), now_ms);
}

std::string BoardService::traced(std::string bytes, std::int64_t now_ms) {
    if (!bytes.empty()) trace_.reply(now_ms, bytes);
    return bytes;
}

}  // namespace osa::board
