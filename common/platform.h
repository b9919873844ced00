// The platform layer, below everything else in the programs: the serial port, the one wait of the
// programs, the standard streams, the ending signals and the program's own folder. A folder of
// files per system implements it (platform/posix, platform/win32; the fuzzers have their own), and
// only those files include the system's headers. It knows nothing of the serial line built on it.
#pragma once

#include "serial_settings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace osa {

using WaitClock = std::chrono::steady_clock;

// An open serial port: a POSIX descriptor or a Win32 HANDLE. intptr_t holds either (a HANDLE is a
// pointer), so that the headers above the platform stay free of the systems' own, and -1 means
// none on both (no descriptor; INVALID_HANDLE_VALUE).
using PortHandle = std::intptr_t;
inline constexpr PortHandle no_port = -1;

// Result of open_port: 0 open; 1 bad open string or a setting refused; 2 the device could not be
// opened (missing, in use, forbidden); 8 the device's properties could not be read.
enum OpenStatus : int { open_ok = 0, open_bad_settings = 1, open_no_device = 2, open_unreadable = 8 };

// What an open did. A failed step that the operating system refused carries the system's reason:
// errno or GetLastError(), and the system's words for it. A setting that the system has no way to
// express (a speed without a constant) carries code 0 and says so in its text.
struct OpenResult {
    OpenStatus status = open_ok;
    int system_code = 0;
    std::string system_text;

    bool ok() const { return status == open_ok; }
};

// The device with the board's line settings, held in port once open; on any failure nothing stays
// open and port is left alone.
OpenResult open_port(const std::string& device, const SerialSettings& settings, PortHandle& port);
void close_port(PortHandle port);

// Hands all bytes to the port; drops the rest after a failed write.
void write_port(PortHandle port, std::string_view bytes);

// What a read of the port gave: its bytes, or none and the reason why the port is lost.
struct PortRead {
    std::string bytes;
    std::string loss;  // empty while the port holds
};

// One read request for up to count bytes (at least 1). While nothing has arrived it waits through
// await_bytes, the caller's wait (which may serve the GUI meanwhile), as often as it takes. A port
// that has failed for good, or none, ends the read at once with its loss.
PortRead read_port(PortHandle port, std::size_t count, const std::function<void()>& await_bytes);

// Bytes received and not yet read; 0 when the query fails.
std::int64_t port_pending_count(PortHandle port);

// The device that the serial port with this number opens on this system.
std::string device_for_port(unsigned long port);

// Binary standard streams; a write to a closed pipe is an ignored failure, not the end of the process.
void prepare_standard_streams();

// From now on SIGTERM, SIGHUP and SIGINT (on Windows Ctrl-C, Ctrl-Break and the closing of the
// console window) no longer end the process at once: every wait, the one under way included,
// throws EndRequested (end_requested.h) instead, so that the program ends through its closing step.
void catch_ending_signals();

// Now, on the clock of the waits' deadlines (the system's steady clock).
WaitClock::time_point wait_clock_now();

// What ended a wait.
enum class Woken { serial_bytes, console_bytes, deadline };

// The one wait of the programs. It returns when the port (if not no_port) has bytes or has failed,
// when standard input (if asked for) has bytes or has ended, or when the deadline (if given) has
// passed; it throws EndRequested once the program has been ended from outside. A failure of a
// source counts as its readiness, so that the read that follows reports it.
Woken wait_for(PortHandle port, bool console, std::optional<WaitClock::time_point> deadline);

// Appends what one read of standard input gives; false at the end of input or on a read error.
// Waits through wait_for, so an ending signal cuts the wait short.
bool read_standard_input(std::string& into);

// Hands all bytes to the operating system; drops the rest after a failed write.
void write_standard_output(std::string_view bytes);

// The folder that holds the running program, without a closing separator; empty when unknown.
// The system's own answer first; the path the program was started by (argv[0]) otherwise.
std::string program_folder(const char* started_as);

}  // namespace osa
