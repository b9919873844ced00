// Reading back a program's run trace, for the tests that check it against what each side saw.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace osatest {

struct TracedEntry {
    std::int64_t ms = -1;
    std::string tag;
    std::string bytes;  // escaped, as the file holds them
};

// The entries of the file in order; a line that does not read as "<ms> <tag> <bytes>" gives an
// entry with ms -1 and the whole line as its tag, so that it shows in a comparison.
std::vector<TracedEntry> read_trace(const std::string& path);

// The escaped bytes of every entry with the tag, in order.
std::vector<std::string> entries_tagged(const std::vector<TracedEntry>& entries, std::string_view tag);

// The same joined into one text.
std::string joined(const std::vector<std::string>& parts);

std::string file_text(const std::string& path);

}  // namespace osatest
