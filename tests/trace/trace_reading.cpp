#include "trace_reading.h"

#include <fstream>
#include <iterator>

namespace osatest {
namespace {

TracedEntry read_entry(const std::string& line) {
    const auto digits = line.find_first_not_of(' ');
    const auto tag = line.find(' ', digits);
    const auto bytes = tag == std::string::npos ? tag : line.find(' ', tag + 1);
    if (digits == std::string::npos || bytes == std::string::npos)
        return {-1, line, ""};
    try {
        return {std::stoll(line.substr(digits, tag - digits)), line.substr(tag + 1, bytes - tag - 1),
                line.substr(bytes + 1)};
    } catch (const std::exception&) {
        return {-1, line, ""};
    }
}

}  // namespace

std::vector<TracedEntry> read_trace(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<TracedEntry> entries;
    for (std::string line; std::getline(file, line);) entries.push_back(read_entry(line));
    return entries;
}

std::vector<std::string> entries_tagged(const std::vector<TracedEntry>& entries, std::string_view tag) {
    std::vector<std::string> found;
    for (const TracedEntry& entry : entries)
        if (entry.tag == tag) found.push_back(entry.bytes);
    return found;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += part;
    return text;
}

std::string file_text(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace osatest
