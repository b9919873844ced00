// The run trace: an opt-in log of everything a program exchanges with the GUI and the board.
//
// One entry per line, "<ms> <tag> <bytes>": the milliseconds since the trace opened, right-aligned
// in 8 columns; the tag (start, from-gui, to-gui, to-board, from-board, and serial-line for the
// system's reason when the serial line cannot be opened, or, on Windows, when no thread can be
// started to read standard input); the bytes escaped with
// escape_bytes, so that one entry is always one line. The file is appended to and flushed after
// every entry, so that a program that is killed still leaves its log behind.
//
// The board's bytes arrive one read at a time (often a single byte); consecutive reads are joined
// into one entry, which ends after each end-of-reply character and before any entry of another tag.
// It also ends at a line end when no further byte is waiting: a board that stops before the end of
// its reply leaves the program waiting in its next read, and the owner then still finds in the
// trace every line the board did send.
//
// Recording never changes the dialogue: a trace that cannot be opened records nothing and says
// nothing, a write that fails later is ignored, and without a trace each recording call is a test.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa {

enum class TraceTag { start, from_gui, to_gui, to_board, from_board, serial_line };

struct TraceEntry {
    std::int64_t ms = 0;
    TraceTag tag = TraceTag::start;
    std::string bytes;
};

// The tag as the file writes it ("to-board"), and the tag of such a name; nothing for a name that
// is no tag.
std::string_view trace_tag_name(TraceTag tag);
std::optional<TraceTag> trace_tag_named(std::string_view name);

// "       3 to-board OPEN\r\n" and its LF.
std::string trace_line(const TraceEntry& entry);

// Gathers the board's reads into from-board entries.
class BoardBytesJoiner {
public:
    // The entries that these bytes, read at the given time, complete: one per end-of-reply character.
    std::vector<TraceEntry> add(std::int64_t ms, std::string_view bytes);
    // The bytes gathered since the last end-of-reply character as one entry, or nothing.
    std::optional<TraceEntry> finish();
    // The same when those bytes end with LF; nothing otherwise.
    std::optional<TraceEntry> finish_line();

private:
    std::string pending_;
    std::int64_t first_ms_ = 0;  // when the first pending byte was read
};

// Opens the trace for appending when the path is not empty and writes its "start" entry, with
// the program's name and version; the clock starts here.
void open_run_trace(const std::string& path, std::string_view program_and_version);

namespace trace_detail {
extern bool recording;
void record(TraceTag tag, std::string_view bytes);
}  // namespace trace_detail

inline void trace_bytes(TraceTag tag, std::string_view bytes) {
    if (trace_detail::recording) trace_detail::record(tag, bytes);
}

inline bool tracing() { return trace_detail::recording; }

// The board has nothing more waiting: a line of its bytes ends their entry.
void trace_board_quiet();

}  // namespace osa
