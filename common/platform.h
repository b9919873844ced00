// The narrow platform interface: standard streams, the serial device, the one wait of the
// programs, the ending signals and the program's own folder. The serial line's own members
// (serial_line.h) are implemented in the same files.
// One implementation file per platform; nothing else in the programs sees a descriptor or a handle.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace osa {

using WaitClock = std::chrono::steady_clock;

// Thrown out of a wait when the program is to end at once through its closing step: it was ended
// from outside (a signal, a console control event), or the GUI sent "quit" or closed its input
// while the board was busy.
struct EndRequested : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Binary standard streams; a write to a closed pipe is an ignored failure, not the end of the process.
void prepare_standard_streams();

// From now on SIGTERM, SIGHUP and SIGINT (on Windows Ctrl-C, Ctrl-Break and the closing of the
// console window) no longer end the process at once: every wait, the one under way included,
// throws EndRequested instead, so that the program ends through its closing step.
void catch_ending_signals();

// Now, on the clock of the waits' deadlines (the system's steady clock).
WaitClock::time_point wait_clock_now();

// What ended a wait.
enum class Woken { serial_bytes, console_bytes, deadline };

// The one wait of the programs. It returns when the serial device (a handle other than -1) has
// bytes or has failed, when standard input (if asked for) has bytes or has ended, or when the
// deadline (if given) has passed; it throws EndRequested once the program has been ended from
// outside. A failure of a source counts as its readiness, so that the read that follows reports it.
Woken wait_for(std::intptr_t serial_handle, bool console, std::optional<WaitClock::time_point> deadline);

// Appends what one read of standard input gives; false at the end of input or on a read error.
// Waits through wait_for, so an ending signal cuts the wait short.
bool read_standard_input(std::string& into);

// Hands all bytes to the operating system; drops the rest after a failed write.
void write_standard_output(std::string_view bytes);

// The device that the serial port with this number opens on this system.
std::string device_for_port(unsigned long port);

// The folder that holds the running program, without a closing separator; empty when unknown.
// The system's own answer first; the path the program was started by (argv[0]) otherwise.
std::string program_folder(const char* started_as);

}  // namespace osa
