// What the files of the Win32 platform share; nothing outside this folder includes it.
#pragma once

#include "platform.h"
#include "win32_serial.h"

#include <deque>
#include <optional>
#include <string_view>

#include <windows.h>

namespace osa::win32 {

inline HANDLE handle_of(PortHandle port) { return reinterpret_cast<HANDLE>(port); }

// The ending (wait_and_signals.cpp): the event that a console control event sets, and the throw of
// every wait once it has come.
HANDLE ending_event();
void throw_if_ended();

// Hands all bytes to a handle; drops the rest after a failed write. With a request the handle is
// one of overlapped I/O, and each write is waited for to its end (write_all.cpp).
void write_all(HANDLE handle, std::string_view bytes, OVERLAPPED* request = nullptr);

// The thread that reads standard input once a wait has to watch it beside something else
// (console.cpp), and its event: set while it holds bytes or the end of input; none without a thread.
void start_input_reader();
HANDLE input_reader_event();

// What one read or write of the port gave.
struct Transfer {
    bool succeeded = false;
    DWORD count = 0;
    DWORD error = 0;  // GetLastError() of a failed one
};

// An open port's requests and the bytes read from it that the line has not been handed yet. The
// probe is the one-byte read that a wait keeps outstanding while it sleeps, so that the board's
// first byte is an event to sleep on. A failure that the probe met waits for the next read.
struct PortRequests {
    OVERLAPPED probe{};
    char probe_byte = 0;
    bool probe_outstanding = false;
    std::deque<char> received;
    std::optional<Transfer> loss;
    OVERLAPPED transfer{};  // the port's own reads and writes, each waited for to its end
};

// The open ports' requests, by handle from open to close (port_requests.cpp). Nothing for a handle
// that no open port holds; a port whose requests cannot be made gives false, and what was made is
// released by forget_port.
PortRequests* requests_of(HANDLE port);
bool add_port(HANDLE port);
void forget_port(HANDLE port);

// The end of a request: waited for, cancelled first, or waited for beside the ending, which
// cancels it and throws instead.
Transfer end_of(HANDLE port, OVERLAPPED& request);
Transfer cancel(HANDLE port, OVERLAPPED& request);
Transfer await_end(HANDLE port, OVERLAPPED& request);

// What a read of the port that ended means (win32_serial.h).
ReadOutcome outcome_of(HANDLE port, const Transfer& read);

// The probe. A port with news has something for the next read at once (bytes, or a loss);
// otherwise its probe is outstanding from then on, and its event wakes the wait. Once that event is
// set, the probe's end is noted; a wait that ends for another reason takes its probe back.
bool has_news(HANDLE port, PortRequests& requests);
void note_probe_end(HANDLE port, PortRequests& requests);
void end_probe(HANDLE port, PortRequests& requests);

}  // namespace osa::win32
