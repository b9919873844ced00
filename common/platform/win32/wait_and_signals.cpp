// The one wait of the Windows programs, and the console control events that end them.
//
// A console control event (Ctrl-C, Ctrl-Break, the console window closed) sets a flag and the
// ending event. Every wait sleeps on that event beside its sources, so the event ends it at once;
// a read of the port that is cut short is cancelled before the wait throws. A wait on the board
// sleeps on the port's probe (port_requests.cpp), a wait on the GUI on the event of the thread that
// reads standard input (console.cpp).
#include "end_requested.h"
#include "internal.h"

#include <algorithm>
#include <atomic>

namespace osa {

using namespace win32;

namespace {

std::atomic<bool> ended_from_outside{false};
const HANDLE ending = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // set by a console control event
bool catching_control_events = false;

BOOL WINAPI on_console_control(DWORD type) {
    ended_from_outside = true;
    SetEvent(ending);
    // Windows ends the process as soon as the handler of these events returns, which would cut the
    // closing step short; the process ends when main returns, before this pause is over.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) Sleep(5000);
    return TRUE;
}

DWORD milliseconds_until(WaitClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - WaitClock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, INFINITE - 1));
}

// One sleep of a wait: on the ending event, the port's probe (with requests) and the reader's
// event (with reader). Of events set together the first counts: the ending, then the board, then
// the GUI; a passed deadline still lets a source that is ready win. Nothing when the wait goes on.
std::optional<Woken> sleep_on_sources(HANDLE port, PortRequests* requests, bool reader,
                                      std::optional<WaitClock::time_point> deadline) {
    HANDLE events[3] = {ending};
    DWORD count = 1;
    if (requests != nullptr) events[count++] = requests->probe.hEvent;
    if (reader) events[count++] = input_reader_event();
    const DWORD sleep = deadline ? milliseconds_until(*deadline) : INFINITE;
    const DWORD woke = WaitForMultipleObjects(count, events, FALSE, sleep);
    if (woke == WAIT_TIMEOUT) return Woken::deadline;
    if (requests != nullptr && woke == WAIT_OBJECT_0 + 1) note_probe_end(port, *requests);
    else if (reader && woke == WAIT_OBJECT_0 + count - 1) return Woken::console_bytes;
    return std::nullopt;
}

}  // namespace

HANDLE win32::ending_event() { return ending; }

void win32::throw_if_ended() {
    if (ended_from_outside) throw EndRequested("ended from outside");
}

void catch_ending_signals() {
    SetConsoleCtrlHandler(on_console_control, TRUE);
    catching_control_events = true;
}

Woken wait_for(PortHandle handle, bool console, std::optional<WaitClock::time_point> deadline) {
    const HANDLE port = handle_of(handle);
    PortRequests* const requests = requests_of(port);
    const bool serial = requests != nullptr;
    // While control events are caught the reader thread serves every wait on standard input: a
    // wait on an event is cut short by them, a blocking read of a pipe is not.
    if (console && (serial || deadline || catching_control_events)) start_input_reader();
    const bool reader = console && input_reader_event() != nullptr;
    for (;;) {
        throw_if_ended();
        // One source and no deadline: its read is the wait (a read of the port waits on the ending
        // too). Standard input without a reader thread can only be read that way.
        if (serial && !reader && !deadline) return Woken::serial_bytes;
        if (console && !reader && !serial && !deadline) return Woken::console_bytes;
        if (serial && has_news(port, *requests)) return Woken::serial_bytes;
        if (const auto woken = sleep_on_sources(port, requests, reader, deadline)) {
            if (serial) end_probe(port, *requests);
            return *woken;
        }
    }
}

}  // namespace osa
