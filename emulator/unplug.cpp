#include "unplug.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>


namespace osa::board {

void UnplugWatch::receive(std::string_view bytes, std::int64_t now_ms) {
    commands_ += static_cast<std::int64_t>(lines_.feed(bytes).size());
    inner_.receive(bytes, now_ms);
}

std::optional<std::int64_t> UnplugWatch::next_event_in(std::int64_t now_ms) const {
    const auto inner = inner_.next_event_in(now_ms);
    if (!unplug_.by_time) return inner;
    const std::int64_t until = std::max<std::int64_t>(0, unplug_.at - now_ms);
    return inner ? std::min(*inner, until) : until;
}

bool unplug_due(const Unplug& unplug, std::int64_t commands, std::int64_t now_ms) {
    return unplug.by_time ? now_ms >= unplug.at : commands >= unplug.at;
}

StableLink::StableLink() {
    std::string pattern = (std::filesystem::temp_directory_path() / "osa-emulator-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a directory for the board's link");
    dir_ = pattern;
}

StableLink::~StableLink() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
}

// Made beside and renamed over, so that the program never finds a half-made link.
void StableLink::point_to(const std::string& target) const {
    const std::filesystem::path fresh = dir_ / "board.new";
    std::filesystem::remove(fresh);
    std::filesystem::create_symlink(target, fresh);
    std::filesystem::rename(fresh, path());
}

void StableLink::remove() const {
    std::error_code ignored;
    std::filesystem::remove(path(), ignored);
}

}  // namespace osa::board
