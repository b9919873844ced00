// The start-up of both programs: settings, usage screen, console and serial line.
#pragma once

#include "serial_line.h"
#include "settings.h"

namespace osa {

enum class StartOutcome { ready, usage_shown, no_port };

struct StartUp {
    StartOutcome outcome = StartOutcome::ready;
    Settings settings;
};

// Reads the settings, shows the usage screen when the arguments ask for it, and opens the serial
// line; "Cannot initialise comport" when it cannot be opened. Only with StartOutcome::ready is the
// line open and the program's session to follow.
StartUp start_up(const ProgramProfile& profile, int argc, const char* const* argv, SerialLine& line);

// A program's whole life: start-up, then its session with the board and the GUI. A session ended
// from outside, or by the GUI while the board was busy, ends through the closing step. The exit
// status is 0, or 1 when the serial line to the board has vanished, which the GUI is told in an
// "info string" line.
using Session = void (*)(SerialLine& line, const Settings& settings);
int run_program(const ProgramProfile& profile, int argc, const char* const* argv, Session session);

// The session on an open line, and how it ends: the part of run_program after the start-up.
int run_session(Session session, SerialLine& line, const Settings& settings);

}  // namespace osa
