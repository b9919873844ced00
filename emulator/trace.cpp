#include "trace.h"

#include <cstdio>
#include <stdexcept>

namespace osa::board {

std::string escape_bytes(std::string_view bytes) {
    std::string text;
    for (char c : bytes) {
        const auto code = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\\') {
            text += "\\\\";
        } else if (code < 32 || code > 126) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", code);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

Trace::Trace(const std::string& path) : file_(path) {
    if (!file_) throw std::runtime_error("cannot write the trace file " + path);
}

void Trace::record(std::int64_t ms, std::string_view direction, std::string_view bytes) {
    if (!file_.is_open()) return;
    char stamp[24];
    std::snprintf(stamp, sizeof stamp, "%9lld ", static_cast<long long>(ms));
    file_ << stamp << direction << escape_bytes(bytes) << '\n' << std::flush;
}

}  // namespace osa::board
