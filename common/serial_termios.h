// Pure editing of a POSIX terminal description for the board's line: no device is touched, so
// the exact flag bits can be tested without hardware.
#pragma once

#include "serial_settings.h"

#include <termios.h>

namespace osa {

// Raw 8N1-style line at the given speed: receiver on, modem lines ignored, no hardware or software
// flow control, no translation of any byte, reads that wait for one byte with no inter-byte timer.
// False when the speed or another setting has no POSIX equivalent.
bool configure_termios(termios& line, const SerialSettings& settings);

}  // namespace osa
