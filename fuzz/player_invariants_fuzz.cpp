// Quillrand's session under every interleaving the fuzzer chooses, with its invariants checked.
#include "field_invariants.h"
#include "player_loop.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    field::run_and_check(field::Program::player, osa::run_player,
                         std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
