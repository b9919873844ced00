// The UCI side of Quillrand: opening dialogue, command loop and closing step.
#pragma once

#include "serial_line.h"
#include "settings.h"

namespace osa {

// Runs until "quit" or the end of standard input and returns after the closing step.
void run_player(SerialLine& line, const Settings& settings);

}  // namespace osa
