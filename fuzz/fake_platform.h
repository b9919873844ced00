// A platform layer without devices for fuzzing the command loops: standard input and the board's
// bytes come from the fuzzer's data, standard output and board commands go nowhere, pauses take
// no time. The board falling silent for good looks like a vanished serial line.
#pragma once

#include <string_view>

namespace fake_platform {

// The data up to its first NUL byte is standard input, the rest is what the board sends.
void load(std::string_view data);

}  // namespace fake_platform
