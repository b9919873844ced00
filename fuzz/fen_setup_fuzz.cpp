// Any FEN text: either position commands that name only board squares' letters and digits, or nothing.
#include "fen_setup.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view fen(reinterpret_cast<const char*>(data), size);
    const auto commands = osa::rank_commands(fen, "POSITION ");
    if (commands && commands->size() > 8) std::abort();
    return 0;
}
