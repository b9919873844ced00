// The pure decisions of the Windows serial line, apart from the calls that apply them, so that
// they can be tested without a port: which device name a port number opens, the queue sizes, the
// time-outs, the line state (DCB) and what the result of one read means.
//
// Time-outs: a port keeps the time-outs it had, except one whose reads return at once without data
// (ReadIntervalTimeout MAXDWORD with both read totals 0). Every wait for the board would spin on
// such a port, so it gets a blocking read instead: all read time-outs 0, the write time-outs kept.
// Compiled only for Windows, for this folder's serial_port.cpp and port_requests.cpp.
#pragma once

#include "serial_settings.h"

#include <string>

#include <windows.h>

namespace osa::win32 {

// "COM1" to "COM9"; from port 10 on the name works only in the device namespace ("\\.\COM10").
// Port 0 means port 1.
std::string device_name_for_port(unsigned long port);

// The driver's current queue size, else its maximum, else 16,384 bytes.
DWORD queue_size(DWORD current, DWORD maximum);

// Reads that return at once, with whatever has arrived or nothing: waiting on them spins.
bool reads_return_at_once(const COMMTIMEOUTS& timeouts);

// Reads that may end without data because a time-out expired; with none set a read waits for a byte.
bool reads_can_time_out(const COMMTIMEOUTS& timeouts);

// The time-outs to write back: the port's own unless its reads would return at once.
COMMTIMEOUTS timeouts_for_line(const COMMTIMEOUTS& port_timeouts);

// The port's line state with the board's settings applied: speed, binary mode, framing, no flow
// control of any kind, DTR control off, RTS off when the settings hold it off. Every other field
// (XON/XOFF limits and characters, error and event characters, continue-after-XOFF, error-character
// replacement) stays as the port had it.
DCB line_state_for(const DCB& port_state, const SerialSettings& settings);

enum class ReadOutcome { bytes, nothing_yet, line_lost };

// A read that delivered bytes; one that ended empty because a time-out expired ("nothing yet",
// read again); or a lost line: the read failed, or it ended empty although no time-out could
// expire, which only a device that has gone away does.
ReadOutcome read_outcome(bool succeeded, DWORD bytes_read, bool reads_can_time_out);

}  // namespace osa::win32
