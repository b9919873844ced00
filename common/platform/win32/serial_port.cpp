// The serial port on Windows: a COM port, read and written with overlapped I/O (port_requests.cpp).
//
// A COM port is opened for exclusive access (share mode 0), as Windows requires of a
// communications resource; a port that another program holds fails to open like a missing one
// (status 2), and the result carries GetLastError() and the system's message for it. The port
// keeps its time-outs unless its reads would return at once without data; those get a blocking
// read (see win32_serial.h), so a silent board leaves the program waiting for its read instead of
// spinning. A read that ends empty because a time-out of the port expired is read again; a failed
// read, or an empty one on a port whose reads cannot time out, means the device has gone away and
// the port is lost (under Wine a pending read fails with ERROR_BROKEN_PIPE once the
// pseudo-terminal's other end has closed). EscapeCommFunction fails on ports without modem lines
// (error 50 under Wine on a pseudo-terminal); raising DTR is then skipped. No modem line is ever
// waited for, so GetCommModemStatus is not used.
#include "internal.h"

#include <algorithm>
#include <string>
#include <utility>

namespace osa {

using namespace win32;

namespace {

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
    const DWORD receive = queue_size(properties.dwCurrentRxQueue, properties.dwMaxRxQueue);
    const DWORD transmit = queue_size(properties.dwCurrentTxQueue, properties.dwMaxTxQueue);
    return SetupComm(port, receive, transmit) ? OpenResult{} : refused(open_bad_settings);
}

OpenResult set_timeouts(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    if (!GetCommTimeouts(port, &timeouts)) return refused(open_unreadable);
    COMMTIMEOUTS line = timeouts_for_line(timeouts);
    return SetCommTimeouts(port, &line) ? OpenResult{} : refused(open_bad_settings);
}

OpenResult set_line_state(HANDLE port, const SerialSettings& settings) {
    DCB state{};
    state.DCBlength = sizeof(DCB);
    if (!GetCommState(port, &state)) return refused(open_unreadable);
    DCB line = line_state_for(state, settings);
    return SetCommState(port, &line) ? OpenResult{} : refused(open_bad_settings);
}

// The port's requests first: a port that cannot be waited on counts as one that could not be opened.
OpenResult prepare_port(HANDLE port, const SerialSettings& settings) {
    if (!add_port(port)) return refused(open_no_device);
    if (OpenResult result = set_queue_sizes(port); !result.ok()) return result;
    if (OpenResult result = set_timeouts(port); !result.ok()) return result;
    if (OpenResult result = set_line_state(port, settings); !result.ok()) return result;
    (void)EscapeCommFunction(port, SETDTR);
    return {};
}

PortRead lost(const Transfer& read) {
    if (read.succeeded) return {{}, "the serial line to the board has closed"};
    return {{}, "the serial line to the board failed (Windows error " + std::to_string(read.error) + ")"};
}

// The bytes in the port's queue; 0 when the query fails. The query also clears the port's line
// error flags, so that a framing error never blocks it.
DWORD queued(HANDLE port) {
    DWORD errors = 0;
    COMSTAT status{};
    return ClearCommError(port, &errors, &status) ? status.cbInQue : 0;
}

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

}  // namespace

std::string device_for_port(unsigned long port) { return device_name_for_port(port); }

OpenResult open_port(const std::string& device, const SerialSettings& settings, PortHandle& port) {
    const HANDLE opened = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (opened == INVALID_HANDLE_VALUE) return refused(open_no_device);
    const OpenResult result = prepare_port(opened, settings);
    if (result.ok()) port = reinterpret_cast<PortHandle>(opened);
    else close_port(reinterpret_cast<PortHandle>(opened));
    return result;
}

void close_port(PortHandle port) {
    forget_port(handle_of(port));
    CloseHandle(handle_of(port));
}

// The closing step writes after the ending, so a write is never cut short; the port's write
// time-outs bound it.
void write_port(PortHandle port, std::string_view bytes) {
    if (PortRequests* requests = requests_of(handle_of(port))) write_all(handle_of(port), bytes, &requests->transfer);
}

// The wait comes first: a read of the port that finds nothing waits for the board, and only the
// wait serves the GUI meanwhile.
PortRead read_port(PortHandle handle, std::size_t count, const std::function<void()>& await_bytes) {
    const HANDLE port = handle_of(handle);
    for (;;) {
        await_bytes();
        PortRequests* requests = requests_of(port);
        const Transfer got =
            requests != nullptr ? receive(port, *requests, count) : Transfer{false, 0, ERROR_INVALID_HANDLE};
        switch (outcome_of(port, got)) {
        case ReadOutcome::bytes: return {hand_out(requests->received, count), {}};
        case ReadOutcome::nothing_yet: continue;
        case ReadOutcome::line_lost: return lost(got);
        }
    }
}

// The bytes already read from the port count as waiting, a probe's byte among them.
std::int64_t port_pending_count(PortHandle handle) {
    const HANDLE port = handle_of(handle);
    PortRequests* requests = requests_of(port);
    if (requests == nullptr) return 0;
    return static_cast<std::int64_t>(requests->received.size() + queued(port));
}

}  // namespace osa
