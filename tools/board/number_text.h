// Whole decimal numbers in command lines and options.
#pragma once

#include <charconv>
#include <optional>
#include <string_view>

namespace osa::board {

// The number the whole text spells, when it lies within low..high.
inline std::optional<long long> parse_number(std::string_view text, long long low, long long high) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

}  // namespace osa::board
