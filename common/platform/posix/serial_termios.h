// The pure POSIX pieces of the serial line: which device a port number names, and the terminal
// description for the board's line. No device is touched, so the exact flag bits and paths can be
// tested without hardware. Compiled only on POSIX, for this folder's serial_port.cpp.
#pragma once

#include "serial_settings.h"

#include <functional>
#include <optional>
#include <string>

#include <termios.h>

namespace osa {

// The device for a port number: the path in the environment variable OSA_COMn when it is set,
// otherwise /dev/ttyS(n-1). The lookup is passed in so that tests need no environment.
using EnvironmentLookup = std::function<std::optional<std::string>(const std::string& name)>;
std::string device_path_for_port(unsigned long port, const EnvironmentLookup& lookup);

// The lookup in the process's own environment: a variable that is unset or empty gives nothing.
std::optional<std::string> process_environment(const std::string& name);

// Raw 8N1-style line at the given speed: receiver on, modem lines ignored, no hardware or software
// flow control, no translation of any byte, reads that wait for one byte with no inter-byte timer.
// False when the speed or another setting has no POSIX equivalent.
bool configure_termios(termios& line, const SerialSettings& settings);

}  // namespace osa
