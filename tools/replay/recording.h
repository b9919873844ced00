// Reading a run trace back for a replay: the file as entries (time, tag, bytes), and the last
// run in it, since the programs append one run after another to the same file.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "run_trace.h"

namespace osa::board {

// The entries of a trace file's text, or a message naming the first bad line ("line 7: ...").
// Lines of tags this reader does not know are skipped, so that newer files still replay.
std::variant<std::vector<TraceEntry>, std::string> parse_trace(std::string_view text);

// The entries from the last "start" entry on; nothing when there is none.
std::vector<TraceEntry> last_run(const std::vector<TraceEntry>& entries);

// The last run of the trace file at the path, or a message (the file, the line, what is wrong).
std::variant<std::vector<TraceEntry>, std::string> read_recording(const std::string& path);

}  // namespace osa::board
