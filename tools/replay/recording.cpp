#include "recording.h"

#include <fstream>
#include <optional>
#include <sstream>

#include "number_text.h"
#include "text.h"

namespace osa::board {

namespace {

struct LineResult {
    std::optional<TraceEntry> entry;  // nothing for a line of an unknown tag
    std::string error;
};

// "<ms> <tag> <bytes>", the ms with leading spaces; a tag with nothing after it holds no bytes.
LineResult parse_line(std::string_view line) {
    const auto ms_at = line.find_first_not_of(' ');
    if (ms_at == std::string_view::npos) return {std::nullopt, "an empty line"};
    const auto ms_end = line.find(' ', ms_at);
    if (ms_end == std::string_view::npos) return {std::nullopt, "no tag after the time"};
    const auto ms = parse_number(line.substr(ms_at, ms_end - ms_at), 0, 1LL << 53);
    if (!ms) return {std::nullopt, "the time is not a number of milliseconds"};
    const auto rest = line.substr(ms_end + 1);
    const auto tag_end = std::min(rest.find(' '), rest.size());
    if (tag_end == 0) return {std::nullopt, "no tag after the time"};
    const auto tag = trace_tag_named(rest.substr(0, tag_end));
    if (!tag) return {};
    auto bytes = unescape_bytes(rest.substr(std::min(tag_end + 1, rest.size())));
    if (!bytes) return {std::nullopt, "the bytes are not escaped as a trace writes them"};
    return {TraceEntry{*ms, *tag, std::move(*bytes)}, {}};
}

}  // namespace

std::variant<std::vector<TraceEntry>, std::string> parse_trace(std::string_view text) {
    std::vector<TraceEntry> entries;
    int number = 0;
    for (std::size_t at = 0; at < text.size();) {
        const auto end = std::min(text.find('\n', at), text.size());
        ++number;
        auto result = parse_line(text.substr(at, end - at));
        if (!result.error.empty()) return "line " + std::to_string(number) + ": " + result.error;
        if (result.entry) entries.push_back(std::move(*result.entry));
        at = end + 1;
    }
    return entries;
}

std::vector<TraceEntry> last_run(const std::vector<TraceEntry>& entries) {
    for (auto at = entries.size(); at-- > 0;)
        if (entries[at].tag == TraceTag::start)
            return {entries.begin() + static_cast<std::ptrdiff_t>(at), entries.end()};
    return {};
}

std::variant<std::vector<TraceEntry>, std::string> read_recording(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return "cannot read the trace file " + path;
    std::stringstream text;
    text << file.rdbuf();
    auto parsed = parse_trace(text.str());
    if (auto* error = std::get_if<std::string>(&parsed)) return path + " " + *error;
    auto run = last_run(std::get<std::vector<TraceEntry>>(parsed));
    if (run.empty()) return path + " holds no run: no start entry";
    return run;
}

}  // namespace osa::board
