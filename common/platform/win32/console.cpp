// Standard input and output of the Windows programs.
//
// They are read and written with ReadFile and WriteFile on their handles, never through a
// text-mode stream, so CR LF arrives as the GUI sent it and every line leaves with exactly one
// CR LF. A write to a closed pipe fails harmlessly (Windows sends no signal); the failure is
// ignored. Once the program catches console control events, standard input is read by a thread of
// its own, so that waiting for the GUI is waiting on an event.
#include "internal.h"
#include "run_trace.h"

#include <string>

namespace osa {

using namespace win32;

namespace {

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

}  // namespace

// Without a thread standard input is read by blocking reads, and a wait that the board or a
// deadline also ends leaves it alone: the GUI is then served between the board's replies.
void win32::start_input_reader() {
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

HANDLE win32::input_reader_event() { return input_reader.ready; }

void prepare_standard_streams() {}

bool read_standard_input(std::string& into) {
    (void)wait_for(no_port, true, std::nullopt);
    if (input_reader_event() != nullptr) return take_from_reader(into);
    return read_once(into);
}

void write_standard_output(std::string_view bytes) { write_all(GetStdHandle(STD_OUTPUT_HANDLE), bytes); }

}  // namespace osa
