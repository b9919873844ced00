// Win32 side of the platform interface: standard streams, the serial device and pauses.
//
// Console: standard input and output are read and written with ReadFile and WriteFile on their
// handles, never through a text-mode stream, so CR LF arrives as the GUI sent it and every line
// leaves with exactly one CR LF. A write to a closed pipe fails harmlessly (Windows sends no
// signal); the failure is ignored.
//
// Waits and ending: a console control event (Ctrl-C, Ctrl-Break, the console window closed) sets a
// flag and an event, and cancels the blocking read of the board that the main thread may be in
// (a read that is the whole wait), until the main thread has seen the flag. Once the program
// catches these events, standard input is read by a thread of its own, so that waiting for the GUI
// is waiting on an event. A wait on the board and the GUI at once, which no single read can be,
// looks at the port's queue every 10 ms, asleep on the events in between.
//
// Serial line: a COM port is opened for exclusive access (share mode 0), as Windows requires of a
// communications resource; a port that another program holds fails to open like a missing one
// (status 2), and the result carries GetLastError() and the system's message for it. The port keeps its time-outs unless its reads would
// return at once without data; those get a blocking read (see win32_serial.h), so a silent board
// leaves the program waiting inside ReadFile instead of spinning. A read that ends empty because a
// time-out of the port expired is read again; a failed read, or an empty one on a port whose reads
// cannot time out, means the device has gone away and throws SerialLineLost.
// EscapeCommFunction fails on ports without modem lines (error 50 under Wine on a pseudo-terminal);
// raising DTR is then skipped. No modem line is ever waited for, so GetCommModemStatus is not used.

#include "platform.h"
#include "serial_line.h"
#include "serial_settings.h"
#include "win32_serial.h"

#include <algorithm>
#include <atomic>
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

// Hands all bytes to a handle; drops the rest after a failed write.
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

[[noreturn]] void throw_line_lost(bool read_failed) {
    if (!read_failed) throw SerialLineLost("the serial line to the board has closed");
    const std::string error = std::to_string(GetLastError());
    throw SerialLineLost("the serial line to the board failed (Windows error " + error + ")");
}

std::atomic<bool> ended_from_outside{false};
HANDLE ending_event = CreateEventA(nullptr, TRUE, FALSE, nullptr);  // set by a console control event
HANDLE main_thread = nullptr;
// Held while a read is cancelled, so that no cancel reaches the closing step's write.
SRWLOCK cancel_lock = SRWLOCK_INIT;
bool ending_seen = false;

void throw_if_ended() {
    if (!ended_from_outside) return;
    AcquireSRWLockExclusive(&cancel_lock);
    ending_seen = true;
    ReleaseSRWLockExclusive(&cancel_lock);
    throw EndRequested("ended from outside");
}

// True once the main thread has seen the ending; until then its blocking read is cancelled again
// and again, since it may be just about to begin one.
bool cancel_main_read() {
    AcquireSRWLockExclusive(&cancel_lock);
    const bool seen = ending_seen;
    if (!seen) CancelSynchronousIo(main_thread);
    ReleaseSRWLockExclusive(&cancel_lock);
    return seen;
}

BOOL WINAPI on_console_control(DWORD type) {
    ended_from_outside = true;
    SetEvent(ending_event);
    for (int tries = 0; tries < 100 && !cancel_main_read(); ++tries) Sleep(10);
    // Windows ends the process as soon as the handler of these events returns, which would cut the
    // closing step short; the process ends when main returns, before this pause is over.
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT) Sleep(5000);
    return TRUE;
}

// A failed query is readiness: the read that follows reports the failure.
bool port_has_bytes(std::intptr_t handle) {
    DWORD errors = 0;
    COMSTAT status{};
    return !ClearCommError(port_of(handle), &errors, &status) || status.cbInQue > 0;
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

// Once a wait has to watch standard input beside the board or a deadline, a thread of its own
// reads it (Windows has no wait on an anonymous pipe, and Wine's pipes cannot be peeked into);
// from then on the main thread takes standard input's bytes from here. The thread only reads.
struct InputReader {
    SRWLOCK lock = SRWLOCK_INIT;
    std::string bytes;
    bool ended = false;
    HANDLE ready = nullptr;  // set while bytes or the end wait to be taken
};
InputReader input_reader;

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

void start_input_reader() {
    if (input_reader.ready != nullptr) return;
    input_reader.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (HANDLE thread = CreateThread(nullptr, 0, read_input_for_ever, nullptr, 0, nullptr)) CloseHandle(thread);
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

bool reader_has_bytes() { return WaitForSingleObject(input_reader.ready, 0) == WAIT_OBJECT_0; }

constexpr DWORD look_interval_ms = 10;

DWORD milliseconds_until(WaitClock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - WaitClock::now()).count();
    return left <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(left, INFINITE - 1));
}

}  // namespace

void prepare_standard_streams() {}

// Standard input is read by the reader thread from here on: a wait on an event is cut short by a
// control event everywhere, a cancelled read of a pipe not under Wine.
void catch_ending_signals() {
    if (main_thread != nullptr) return;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &main_thread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetConsoleCtrlHandler(on_console_control, TRUE);
    start_input_reader();
}

Woken wait_for(std::intptr_t serial_handle, bool console, std::optional<WaitClock::time_point> deadline) {
    const bool serial = port_of(serial_handle) != INVALID_HANDLE_VALUE;
    for (;;) {
        throw_if_ended();
        // One source and no deadline: its blocking read is the wait, unless the reader thread
        // reads standard input.
        if (serial && !console && !deadline) return Woken::serial_bytes;
        if (console && !serial && !deadline && !input_reader_running()) return Woken::console_bytes;
        if (console) start_input_reader();
        if (serial && port_has_bytes(serial_handle)) return Woken::serial_bytes;
        if (console && reader_has_bytes()) return Woken::console_bytes;
        DWORD sleep = deadline ? milliseconds_until(*deadline) : INFINITE;
        if (deadline && sleep == 0) return Woken::deadline;
        if (serial) sleep = std::min(sleep, look_interval_ms);
        const HANDLE events[] = {ending_event, input_reader.ready};
        WaitForMultipleObjects(console ? 2 : 1, events, FALSE, sleep);
    }
}

bool read_standard_input(std::string& into) {
    (void)wait_for(reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE), true, std::nullopt);
    if (input_reader_running()) return take_from_reader(into);
    if (read_once(into)) return true;
    // A read cancelled by a console control event ends the program instead.
    throw_if_ended();
    return false;
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
    const HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) return refused(open_no_device);
    handle_ = reinterpret_cast<std::intptr_t>(port);
    const OpenResult result = configure_port(port, settings);
    if (!result.ok()) close();
    return result;
}

void SerialLine::close() {
    if (port_of(handle_) == INVALID_HANDLE_VALUE) return;
    CloseHandle(port_of(handle_));
    handle_ = reinterpret_cast<std::intptr_t>(INVALID_HANDLE_VALUE);
}

void SerialLine::write(std::string_view bytes) { write_all(port_of(handle_), bytes); }

std::string SerialLine::read(std::size_t count) {
    std::string bytes(count, '\0');
    for (;;) {
        await_read();
        DWORD got = 0;
        const bool succeeded = ReadFile(port_of(handle_), bytes.data(), static_cast<DWORD>(count), &got, nullptr);
        if (!succeeded) throw_if_ended();
        const bool may_time_out = succeeded && got == 0 && reads_can_time_out(port_of(handle_));
        switch (win32::read_outcome(succeeded, got, may_time_out)) {
        case win32::ReadOutcome::bytes: bytes.resize(got); return bytes;
        case win32::ReadOutcome::nothing_yet: continue;
        case win32::ReadOutcome::line_lost: throw_line_lost(!succeeded);
        }
    }
}

std::int64_t SerialLine::pending_count() {
    DWORD errors = 0;
    COMSTAT status{};
    // The query also clears the port's line error flags, so that a framing error never blocks it.
    if (!ClearCommError(port_of(handle_), &errors, &status)) return 0;
    return static_cast<std::int64_t>(status.cbInQue);
}

}  // namespace osa
