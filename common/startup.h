// The start-up of both programs: settings, usage screen, console and serial line.
#pragma once

#include "serial_line.h"
#include "settings.h"

namespace osa {

// Leaves the settings and an open serial line behind. Ends the process itself, with status 0,
// after the usage screen and when the serial line cannot be opened.
Settings start_up(Program program, int argc, const char* const* argv, SerialLine& line);

}  // namespace osa
