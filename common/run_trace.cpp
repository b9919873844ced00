#include "run_trace.h"

#include "board_protocol.h"
#include "text.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <utility>

namespace osa {
namespace {

constexpr std::pair<TraceTag, std::string_view> tag_names[] = {{TraceTag::start, "start"},
                                                                 {TraceTag::from_gui, "from-gui"},
                                                                 {TraceTag::to_gui, "to-gui"},
                                                                 {TraceTag::to_board, "to-board"},
                                                                 {TraceTag::from_board, "from-board"},
                                                                 {TraceTag::serial_line, "serial-line"}};

// The open trace file, its clock and the board's bytes not yet written as an entry.
class RunTrace {
public:
    bool open(const std::string& path) {
        file_.open(path, std::ios::binary | std::ios::app);
        start_ = std::chrono::steady_clock::now();
        return file_.is_open();
    }

    void record(TraceTag tag, std::string_view bytes) {
        const std::int64_t ms = elapsed_ms();
        if (tag == TraceTag::from_board) {
            for (const TraceEntry& entry : board_bytes_.add(ms, bytes)) write(entry);
            return;
        }
        finish_board_bytes();
        write({ms, tag, std::string(bytes)});
    }

    void board_quiet() {
        if (const auto entry = board_bytes_.finish_line()) write(*entry);
    }

private:
    std::int64_t elapsed_ms() const {
        const auto since_start = std::chrono::steady_clock::now() - start_;
        return std::chrono::duration_cast<std::chrono::milliseconds>(since_start).count();
    }

    void finish_board_bytes() {
        if (const auto entry = board_bytes_.finish()) write(*entry);
    }

    // A failed write leaves the stream failed; later entries are then dropped the same way.
    void write(const TraceEntry& entry) { file_ << trace_line(entry) << std::flush; }

    std::ofstream file_;
    std::chrono::steady_clock::time_point start_;
    BoardBytesJoiner board_bytes_;
};

RunTrace& run_trace() {
    static RunTrace trace;
    return trace;
}

}  // namespace

std::string_view trace_tag_name(TraceTag tag) {
    for (const auto& [known, name] : tag_names)
        if (known == tag) return name;
    return "?";
}

std::optional<TraceTag> trace_tag_named(std::string_view name) {
    for (const auto& [tag, known] : tag_names)
        if (known == name) return tag;
    return std::nullopt;
}

std::string trace_line(const TraceEntry& entry) {
    char ms[24];
    std::snprintf(ms, sizeof ms, "%8lld ", static_cast<long long>(entry.ms));
    return ms + std::string(trace_tag_name(entry.tag)) + " " + escape_bytes(entry.bytes) + "\n";
}

std::vector<TraceEntry> BoardBytesJoiner::add(std::int64_t ms, std::string_view bytes) {
    std::vector<TraceEntry> finished;
    for (const char c : bytes) {
        if (pending_.empty()) first_ms_ = ms;
        pending_.push_back(c);
        if (c == end_of_reply) finished.push_back(*finish());
    }
    return finished;
}

std::optional<TraceEntry> BoardBytesJoiner::finish() {
    if (pending_.empty()) return std::nullopt;
    TraceEntry entry{first_ms_, TraceTag::from_board, std::move(pending_)};
    pending_.clear();
    return entry;
}

std::optional<TraceEntry> BoardBytesJoiner::finish_line() {
    if (pending_.empty() || pending_.back() != line_feed) return std::nullopt;
    return finish();
}

void open_run_trace(const std::string& path, std::string_view program_and_version) {
    if (path.empty() || !run_trace().open(path)) return;
    trace_detail::recording = true;
    trace_bytes(TraceTag::start, program_and_version);
}

void trace_board_quiet() {
    if (tracing()) run_trace().board_quiet();
}

namespace trace_detail {

bool recording = false;

void record(TraceTag tag, std::string_view bytes) { run_trace().record(tag, bytes); }

}  // namespace trace_detail
}  // namespace osa
