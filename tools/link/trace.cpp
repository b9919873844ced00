#include "trace.h"

#include <cstdio>
#include <stdexcept>

#include "text.h"

namespace osa::board {

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
