// The start-up of both programs: settings, usage screen, console and serial line.
#pragma once

#include "serial_line.h"
#include "settings.h"

namespace osa {

// Leaves the settings and an open serial line behind. Ends the process itself, with status 0,
// after the usage screen and when the serial line cannot be opened.
Settings start_up(Program program, int argc, const char* const* argv, SerialLine& line);

// A program's whole life: start-up, then its session with the board and the GUI. The exit status
// is 0, or 1 when the serial line to the board has vanished, which the GUI is told in an
// "info string" line.
using Session = void (*)(SerialLine& line, const Settings& settings);
int run_program(Program program, int argc, const char* const* argv, Session session);

}  // namespace osa
