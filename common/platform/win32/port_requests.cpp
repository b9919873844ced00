// The overlapped requests of the open ports: each port's probe, and its reads and writes, each
// waited for to its end.
//
// A wait on the board and something else at once keeps a read of one byte, the probe, outstanding
// on the port, so that the board's first byte is an event too: the wait is one
// WaitForMultipleObjects, never a look at the port on a timer. The next read of the port takes that
// byte. WaitCommEvent cannot serve: under Wine on a pseudo-terminal it ends at once, aborted,
// whether or not anything has arrived.
#include "internal.h"

#include <map>

namespace osa::win32 {
namespace {

// Never destroyed: a probe left outstanding by a wait that the ending cut short is still written
// into by the system while the process ends.
SRWLOCK ports_lock = SRWLOCK_INIT;
auto& open_ports = *new std::map<HANDLE, PortRequests>;

bool port_reads_can_time_out(HANDLE port) {
    COMMTIMEOUTS timeouts{};
    return GetCommTimeouts(port, &timeouts) && reads_can_time_out(timeouts);
}

bool holds_something(const PortRequests& requests) { return !requests.received.empty() || requests.loss; }

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
void note_probe_result(HANDLE port, PortRequests& requests, const Transfer& end) {
    requests.probe_outstanding = false;
    if (!end.succeeded && end.error == ERROR_OPERATION_ABORTED) return;
    switch (outcome_of(port, end)) {
    case ReadOutcome::bytes: requests.received.push_back(requests.probe_byte); break;
    case ReadOutcome::nothing_yet: break;
    case ReadOutcome::line_lost: requests.loss = end; break;
    }
}

}  // namespace

PortRequests* requests_of(HANDLE port) {
    AcquireSRWLockShared(&ports_lock);
    const auto found = open_ports.find(port);
    PortRequests* requests = found == open_ports.end() ? nullptr : &found->second;
    ReleaseSRWLockShared(&ports_lock);
    return requests;
}

// A port that the system gives no events for cannot be waited on.
bool add_port(HANDLE port) {
    AcquireSRWLockExclusive(&ports_lock);
    PortRequests& requests = open_ports[port];
    ReleaseSRWLockExclusive(&ports_lock);
    requests.probe.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    requests.transfer.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return requests.probe.hEvent != nullptr && requests.transfer.hEvent != nullptr;
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

Transfer await_end(HANDLE port, OVERLAPPED& request) {
    const HANDLE events[] = {ending_event(), request.hEvent};
    if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
        (void)cancel(port, request);
        throw_if_ended();
    }
    return end_of(port, request);
}

ReadOutcome outcome_of(HANDLE port, const Transfer& read) {
    const bool may_time_out = read.succeeded && read.count == 0 && port_reads_can_time_out(port);
    return read_outcome(read.succeeded, read.count, may_time_out);
}

bool has_news(HANDLE port, PortRequests& requests) {
    return holds_something(requests) || !keep_probe_outstanding(port, requests);
}

void note_probe_end(HANDLE port, PortRequests& requests) {
    note_probe_result(port, requests, end_of(port, requests.probe));
}

// The port keeps the board's bytes while nobody waits for them, as a port without a wait does: the
// probe comes back with the byte it may have got.
void end_probe(HANDLE port, PortRequests& requests) {
    if (requests.probe_outstanding) note_probe_result(port, requests, cancel(port, requests.probe));
}

}  // namespace osa::win32
