// The invariant fuzzers' one entry: a world built from the fuzzer's data, a program's session run
// in it, and what must hold however the GUI's bytes, the board's replies, a lost line and an
// ending signal interleave.
#pragma once

#include "serial_line.h"
#include "settings.h"

#include <string_view>

namespace field {

enum class Program { player, converter };
using Session = void (*)(osa::SerialLine& line, const osa::Settings& settings);

void run_and_check(Program program, Session session, std::string_view data);

}  // namespace field
