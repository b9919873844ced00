// A UCI command stream and any board replies through the player program's whole session.
#include "fake_platform.h"
#include "player_loop.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fake_platform::load(std::string_view(reinterpret_cast<const char*>(data), size));
    osa::SerialLine line;
    line.open("COM1:");
    try {
        osa::run_player(line, osa::Settings{});
    } catch (const osa::SerialLineLost&) {
        // The board ran out of bytes: the real program ends here with its message.
    }
    return 0;
}
