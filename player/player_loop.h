// Quillrand: what it hands the start-up, its opening dialogue, command loop and closing step.
#pragma once

#include "serial_line.h"
#include "settings.h"

#include <cstdint>
#include <string_view>

namespace osa {

// Its name, its own osa.ini key "flip" and its usage screen.
ProgramProfile player_profile();

// The number of a "flip=" value: decimal, or hexadecimal, octal or binary after "&H", "&O", "&B";
// reading stops at the first character that does not belong to the number; only the low 8 bits remain.
std::uint8_t flip_number(std::string_view value);

// The "flip=" value of osa.ini as a number; 0 without one.
std::uint8_t flip_setting(const Settings& settings);

// Runs until "quit" or the end of standard input and returns after the closing step.
void run_player(SerialLine& line, const Settings& settings);

}  // namespace osa
