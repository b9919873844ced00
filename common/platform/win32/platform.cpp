// Win32 side of the platform interface: standard streams, the serial device and pauses.
//
// Console: standard input and output are read and written with ReadFile and WriteFile on their
// handles, never through a text-mode stream, so CR LF arrives as the GUI sent it and every line
// leaves with exactly one CR LF. A write to a closed pipe fails harmlessly (Windows sends no
// signal); the failure is ignored.
//
// Waits and ending: a console control event (Ctrl-C, Ctrl-Break, the console window closed) sets a
// flag and the ending event. Every wait sleeps on that event beside its sources, so the event
// ends it at once; a read of the port that is cut short is cancelled before the wait throws.
// Once the program catches these events, standard input is read by a thread of its own, so that
// waiting for the GUI is waiting on an event. A wait on the board and something else at once
// keeps a read of one byte outstanding on the port (overlapped I/O), so that the board's first
// byte is an event too: the wait is one WaitForMultipleObjects, never a look at the port on a
// timer. The next read of the line takes that byte. WaitCommEvent cannot serve: under Wine on a
// pseudo-terminal it ends at once, aborted, whether or not anything has arrived.
//
// Serial line: a COM port is opened for exclusive access (share mode 0), as Windows requires of a
// communications resource; a port that another program holds fails to open like a missing one
// (status 2), and the result carries GetLastError() and the system's message for it. The port keeps its time-outs unless its reads would
// return at once without data; those get a blocking read (see win32_serial.h), so a silent board
// leaves the program waiting for its read instead of spinning. A read that ends empty because a
// time-out of the port expired is read again; a failed read, or an empty one on a port whose reads
// cannot time out, means the device has gone away and throws SerialLineLost (under Wine a pending
// read fails with ERROR_BROKEN_PIPE once the pseudo-terminal's other end has closed).
// EscapeCommFunction fails on ports without modem lines (error 50 under Wine on a pseudo-terminal);
// raising DTR is then skipped. No modem line is ever waited for, so GetCommModemStatus is not used.

#include "platform.h"
#include "run_trace.h"
#include "serial_line.h"
#include "serial_settings.h"
#include "win32_serial.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include <windows.h>

// The arguments reach the programs as Windows splits them, whatever the runtime's default: "/?"
// is the usage switch, never a file name pattern to expand.
extern "C" {
int _dowildcard = 0;
}

namespace osa {
namespace {

// Hands all bytes to a handle of synchronous I/O; drops the rest after a failed write.
void write_all(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD put = 0;
        if (!WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) || put == 0) return;
        bytes.remove_prefix(put);
    }
}

HANDLE port_of(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

// The system's message for an error code, without its closing full stop and line end.
std::string system_message(DWORD error) {
    char text[512];
    DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                                sizeof text, nullptr);
    while (size > 0 && (text[size - 1] == '\r' || text[size - 1] == '\n' || text[size - 1] == '.')) --size;
    return std::string(text, size);
}

// The step that just failed, with the reason Windows gives for it.
OpenResult refused(OpenStatus status) {
    const DWORD error = GetLastError();
    return {status, static_cast<int>(error), system_message(error)};
}

OpenResult set_queue_sizes(HANDLE port) {
    COMMPROP properties{};
    if (!GetCommProperties(port, &properties)) return refused(open_unreadable);
    const DWORD receive = win32::queue_size(properties.dwCurrentRxQueue, properties.dwMaxRxQueue);
    const DWORD transmit = win32::queue_size(properties.dwCurrentTxQueue, properties.dwMaxTxQueue);
    return SetupComm(port, receive, transmit) ? OpenResult{} : refused(open_bad_settings);
}

OpenResult set_timeouts(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts)) return refused(open_unreadable);
    COMMTIMEOUTS line = win32::timeouts_for_line(timeouts);
    return SetCommTimeouts(port, &line) ? OpenResult{} : refused(open_bad_settings);
}

OpenResult set_line_state(HANDLE port, const SerialSettings& settings) {
    DCB state{};
    state.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &state)) return refused(open_unreadable);
    DCB line = win32::line_state_for(state, settings);
    return SetCommState(port, &line) ? OpenResult{} : refused(open_bad_settings);
}

OpenResult configure_port(HANDLE port, const SerialSettings& settings) {
    if (OpenResult result = set_queue_sizes(port); !result.ok()) return result;
    if (OpenResult result = set_timeouts(port); !result.ok()) return result;
    if (OpenResult result = set_line_state(port, settings); !result.ok()) return result;
    (void)EscapeCommFunction(port, SETDTR);
    return {};
}

bool reads_can_time_out(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    return GetCommTimeouts(port, &timeouts) && win32::reads_can_time_out(timeouts);
}

[[noreturn]] void throw_line_lost(bool read_failed, DWORD error) {
    if (!read_failed) throw SerialLineLost("the serial line to the board has closed");
    throw SerialLineLost("the serial line to the board failed (Windows error " + std::to_string(error) + ")");
}

std::atomic<bool> ended_from_outside{false};
HANDLE ending_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // set by a console control event
bool catching_control_events = false;

void throw_if_ended() {
    if (ended_from_outside) throw EndRequested("ended from outside");
}

BOOL WINAPI on_console_control(DWORD type) {
    ended_from_outside = true;
    SetEvent(ending_event);
    // Windows ends the process as soon as the handler of these events returns, which would cut the
    // closing step short; the process ends when main returns, before this pause is over.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) Sleep(5000);
    return TRUE;
}

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
    OVERLAPPED transfer{};  // the line's own reads and writes, each waited for to its end
};

// By handle, from open to close. Never destroyed: a probe left outstanding by a wait that the
// ending cut short is still written into by the system while the process ends.
SRWLOCK ports_lock = SRWLOCK_INIT;
auto& open_ports = *new std::map<HANDLE, PortRequests>;

// Nothing for a handle that no open line holds (a closed line's).
PortRequests* requests_of(HANDLE port) {
    AcquireSRWLockShared(&ports_lock);
    const auto found = open_ports.find(port);
    PortRequests* requests = found == open_ports.end() ? nullptr : &found->second;
    ReleaseSRWLockShared(&ports_lock);
    return requests;
}

// A port that the system gives no events for cannot be waited on: it counts as one that could not
// be opened. What was made is released by forget_port.
OpenResult add_port(HANDLE port) {
    AcquireSRWLockExclusive(&ports_lock);
    PortRequests& requests = open_ports[port];
    ReleaseSRWLockExclusive(&ports_lock);
    requests.probe.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    requests.transfer.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const bool made = requests.probe.hEvent != nullptr && requests.transfer.hEvent != nullptr;
    return made ? OpenResult{} : refused(open_no_device);
}

Transfer end_of(HANDLE port, OVERLAPPED& request) {
    DWORD count = 0;
    const bool succeeded = GetOverlappedResult(port, &request, &count, TRUE);
    return {succeeded, count, succeeded ? 0 : GetLastError()};
}

// The system writes into a request until it has ended, so it ends before its memory goes. What
// it brought before the cancel comes back.
Transfer cancel(HANDLE port, OVERLAPPED& request) {
    CancelIoEx(port, &request);
    return end_of(port, request);
}

void forget_port(HANDLE port) {
    PortRequests* requests = requests_of(port);
    if (requests == nullptr) return;
    if (requests->probe_outstanding) (void)cancel(port, requests->probe);
    for (HANDLE event : {requests->probe.hEvent, requests->transfer.hEvent})
        if (event != nullptr) CloseHandle(event);
    AcquireSRWLockExclusive(&ports_lock);
    open_ports.erase(port);
    ReleaseSRWLockExclusive(&ports_lock);
}

// The end of a request of the port; the ending of the program cancels it and throws instead.
Transfer await_end(HANDLE port, OVERLAPPED& request) {
    const HANDLE events[] = {ending_event, request.hEvent};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
        (void)cancel(port, request);
        throw_if_ended();
    }
    return end_of(port, request);
}

win32::ReadOutcome outcome_of(HANDLE port, const Transfer& read) {
    const bool may_time_out = read.succeeded && read.count == 0 && reads_can_time_out(port);
    return win32::read_outcome(read.succeeded, read.count, may_time_out);
}

// The bytes in the port's queue; 0 when the query fails. The query also clears the port's line
// error flags, so that a framing error never blocks it.
DWORD queued(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(port, &errors, &status) ? status.cbInQue : 0;
}

// Issues the probe unless it is outstanding; false when it failed at once (the loss waits for the
// next read).
bool keep_probe_outstanding(HANDLE port, PortRequests& requests) {
    if (requests.probe_outstanding) return true;
    requests.probe_outstanding =
        ReadFile(port, &requests.probe_byte, 1, nullptr, &requests.probe) || GetLastError() == ERROR_IO_PENDING;
    if (!requests.probe_outstanding) requests.loss = Transfer{false, 0, GetLastError()};
    return requests.probe_outstanding;
}

// A probe that was cancelled, or that a time-out of the port ended empty, is dropped; the next
// wait issues another.
void note_probe_end(HANDLE port, PortRequests& requests, const Transfer& end) {
    requests.probe_outstanding = false;
    if (!end.succeeded && end.error == ERROR_OPERATION_ABORTED) return;
    switch (outcome_of(port, end)) {
    case win32::ReadOutcome::bytes: requests.received.push_back(requests.probe_byte); break;
    case win32::ReadOutcome::nothing_yet: break;
    case win32::ReadOutcome::line_lost: requests.loss = end; break;
    }
}

// A wait that the GUI or a deadline ended takes its probe back, with the byte it may have got:
// the port keeps the board's bytes while nobody waits for them, as a port without a wait does.
void end_probe(HANDLE port, PortRequests& requests) {
    if (requests.probe_outstanding) note_probe_end(port, requests, cancel(port, requests.probe));
}

bool holds_something(const PortRequests& requests) { return !requests.received.empty() || requests.loss; }

// A read takes what was asked for, so that bytes that follow a reply (a board's chatter) stay in
// the port for the drain, as without overlapped I/O; a burst this long is taken in blocks instead,
// since under Wine every overlapped read of a port goes through its server (about 0.3 ms), which a
// megabyte of board output would pay byte by byte.
constexpr DWORD burst = 1024;

// How much one read of the port asks for: at least one byte, never more than it holds besides.
DWORD read_size(DWORD holds, std::size_t wanted, DWORD buffer_size) {
    if (holds >= burst) return std::min(holds, buffer_size);
    return std::clamp<DWORD>(holds, 1, static_cast<DWORD>(std::clamp<std::size_t>(wanted, 1, buffer_size)));
}

// Waits for the port to give at least one byte and keeps what it holds by then, as read_size
// says; a failure, or an end without bytes, comes back instead. An outstanding probe would take
// the next byte out of turn, so it is ended first.
Transfer receive(HANDLE port, PortRequests& requests, std::size_t wanted) {
    end_probe(port, requests);
    if (requests.loss) return *std::exchange(requests.loss, std::nullopt);
    if (!requests.received.empty()) return {true, static_cast<DWORD>(requests.received.size()), 0};
    char buffer[4096];
    const DWORD count = read_size(queued(port), wanted, sizeof buffer);
    if (!ReadFile(port, buffer, count, nullptr, &requests.transfer) && GetLastError() != ERROR_IO_PENDING)
        return {false, 0, GetLastError()};
    const Transfer got = await_end(port, requests.transfer);
    requests.received.insert(requests.received.end(), buffer, buffer + got.count);
    return got;
}

std::string hand_out(std::deque<char>& received, std::size_t count) {
    const auto end = received.begin() + static_cast<std::ptrdiff_t>(std::min(count, received.size()));
    std::string bytes(received.begin(), end);
    received.erase(received.begin(), end);
    return bytes;
}

// The closing step writes after the ending, so a write is never cut short; the port's write
// time-outs bound it.
void write_port(HANDLE port, OVERLAPPED& request, std::string_view bytes) {
    while (!bytes.empty()) {
        if (!WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &request) &&
            GetLastError() != ERROR_IO_PENDING)
            return;
        const Transfer put = end_of(port, request);
        if (!put.succeeded || put.count == 0) return;
        bytes.remove_prefix(put.count);
    }
}

// Standard input as one read gives it: the bytes and whether the input has ended.
bool read_once(std::string& into) {
    char buffer[4096];
    DWORD got = 0;
    // A closed pipe fails (ERROR_BROKEN_PIPE); the end of a file reads 0 bytes: both end the input.
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) || got == 0) return false;
    into.append(buffer, got);
    return true;
}

// Once a wait has to watch standard input beside the board, a deadline or the ending event, a
// thread of its own reads it (Windows has no wait on an anonymous pipe, and Wine's pipes cannot be
// peeked into); from then on the main thread takes standard input's bytes from here. The thread
// only reads.
struct InputReader {
    SRWLOCK lock = SRWLOCK_INIT;
    std::string bytes;
    bool ended = false;
    HANDLE ready = nullptr;  // set while bytes or the end wait to be taken; none without a thread
    bool tried = false;      // a thread that could not be made is not tried again
};
// Never destroyed: the thread may still wake (the GUI closes the pipe after "quit") while the
// process's static objects are torn down.
auto& input_reader = *new InputReader;

DWORD WINAPI read_input_for_ever(void*) {
    for (bool more = true; more;) {
        std::string got;
        more = read_once(got);
        AcquireSRWLockExclusive(&input_reader.lock);
        input_reader.bytes += got;
        input_reader.ended = !more;
        SetEvent(input_reader.ready);
        ReleaseSRWLockExclusive(&input_reader.lock);
    }
    return 0;
}

// Without a thread standard input is read by blocking reads, and a wait that the board or a
// deadline also ends leaves it alone: the GUI is then served between the board's replies.
void start_input_reader() {
    if (input_reader.tried) return;
    input_reader.tried = true;
    input_reader.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    const HANDLE thread =
        input_reader.ready != nullptr ? CreateThread(nullptr, 0, read_input_for_ever, nullptr, 0, nullptr) : nullptr;
    if (thread != nullptr) {
        CloseHandle(thread);
        return;
    }
    const std::string error = std::to_string(GetLastError());
    trace_bytes(TraceTag::serial_line, "no reader thread for standard input (Windows error " + error +
                                           "): the GUI is read between the board's replies");
    if (input_reader.ready != nullptr) CloseHandle(input_reader.ready);
    input_reader.ready = nullptr;
}

bool input_reader_running() { return input_reader.ready != nullptr; }

// The bytes the reader holds; false once the input has ended and all was taken.
bool take_from_reader(std::string& into) {
    AcquireSRWLockExclusive(&input_reader.lock);
    const bool had = !input_reader.bytes.empty();
    into += input_reader.bytes;
    input_reader.bytes.clear();
    if (!input_reader.ended) ResetEvent(input_reader.ready);
    ReleaseSRWLockExclusive(&input_reader.lock);
    return had;
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
    HANDLE events[3] = {ending_event};
    DWORD count = 1;
    if (requests != nullptr) events[count++] = requests->probe.hEvent;
    if (reader) events[count++] = input_reader.ready;
    const DWORD sleep = deadline ? milliseconds_until(*deadline) : INFINITE;
    const DWORD woke = WaitForMultipleObjects(count, events, FALSE, sleep);
    if (woke == WAIT_TIMEOUT) return Woken::deadline;
    if (requests != nullptr && woke == WAIT_OBJECT_0 + 1)
        note_probe_end(port, *requests, end_of(port, requests->probe));
    else if (reader && woke == WAIT_OBJECT_0 + count - 1) return Woken::console_bytes;
    return std::nullopt;
}

}  // namespace

void prepare_standard_streams() {}

void catch_ending_signals() {
    SetConsoleCtrlHandler(on_console_control, TRUE);
    catching_control_events = true;
}

Woken wait_for(std::intptr_t serial_handle, bool console, std::optional<WaitClock::time_point> deadline) {
    const HANDLE port = port_of(serial_handle);
    PortRequests* const requests = requests_of(port);
    const bool serial = requests != nullptr;
    // While control events are caught the reader thread serves every wait on standard input: a
    // wait on an event is cut short by them, a blocking read of a pipe is not.
    if (console && (serial || deadline || catching_control_events)) start_input_reader();
    const bool reader = console && input_reader_running();
    for (;;) {
        throw_if_ended();
        // One source and no deadline: its read is the wait (a read of the port waits on the ending
        // too). Standard input without a reader thread can only be read that way.
        if (serial && !reader && !deadline) return Woken::serial_bytes;
        if (console && !reader && !serial && !deadline) return Woken::console_bytes;
        if (serial && (holds_something(*requests) || !keep_probe_outstanding(port, *requests)))
            return Woken::serial_bytes;
        if (const auto woken = sleep_on_sources(port, requests, reader, deadline)) {
            if (serial) end_probe(port, *requests);
            return *woken;
        }
    }
}

bool read_standard_input(std::string& into) {
    (void)wait_for(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE), true, std::nullopt);
    if (input_reader_running()) return take_from_reader(into);
    return read_once(into);
}

void write_standard_output(std::string_view bytes) { write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes); }

std::string device_for_port(unsigned long port) { return win32::device_name_for_port(port); }

std::string program_folder(const char* started_as) {
    char path[MAX_PATH * 4];
    const DWORD size = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string program = size > 0 && size < sizeof path ? std::string(path, size)
                                                          : std::string(started_as != nullptr ? started_as : "");
    const auto separator = program.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : program.substr(0, separator);
}

// The line holds the handle from the first step on, so that a failed later step closes it.
OpenResult SerialLine::open_device(const std::string& device, const SerialSettings& settings) {
    close();
    const HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) return refused(open_no_device);
    handle_ = reinterpret_cast<std::intptr_t>(port);
    OpenResult result = add_port(port);
    if (result.ok()) result = configure_port(port, settings);
    if (!result.ok()) close();
    return result;
}

void SerialLine::close() {
    const HANDLE port = port_of(handle_);
    if (port == INVALID_HANDLE_VALUE) return;
    forget_port(port);
    CloseHandle(port);
    handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

void SerialLine::write(std::string_view bytes) {
    const HANDLE port = port_of(handle_);
    if (PortRequests* requests = requests_of(port)) write_port(port, requests->transfer, bytes);
}

std::string SerialLine::read(std::size_t count) {
    for (;;) {
        await_read();
        const HANDLE port = port_of(handle_);
        PortRequests* requests = requests_of(port);
        const Transfer got =
            requests != nullptr ? receive(port, *requests, count) : Transfer{false, 0, ERROR_INVALID_HANDLE};
        switch (outcome_of(port, got)) {
        case win32::ReadOutcome::bytes: return hand_out(requests->received, count);
        case win32::ReadOutcome::nothing_yet: continue;
        case win32::ReadOutcome::line_lost: throw_line_lost(!got.succeeded, got.error);
        }
    }
}

// The bytes already read from the port count as waiting, a probe's byte among them.
std::int64_t SerialLine::pending_count() {
    const HANDLE port = port_of(handle_);
    PortRequests* requests = requests_of(port);
    if (requests == nullptr) return 0;
    return static_cast<std::int64_t>(requests->received.size() + queued(port));
}

}  // namespace osa
