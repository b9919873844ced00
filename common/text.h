// Small text helpers shared by both programs. Texts are byte strings of any length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace osa {

// The text without the given bytes at either end: by default spaces, tabs, CR and LF.
std::string_view trimmed(std::string_view text, std::string_view blanks = " \t\r\n");

// Removes the spaces (code 32) at both ends and nothing else: tabs and other white space stay.
std::string trim_spaces(std::string_view text);

// The pieces of the text between the separators, in order, empty ones included: one more piece
// than there are separators.
std::vector<std::string_view> split(std::string_view text, char separator);

// Removes every space (code 32), wherever it stands.
std::string remove_spaces(std::string_view text);

// Decimal digits read as an unsigned number; nothing for an empty text, for a byte that is no
// digit, or for a number above limit.
std::optional<std::uint64_t> decimal_number(std::string_view digits, std::uint64_t limit);

// Letters a to z become A to Z (or the other way); every other byte stays as it is.
std::string upper_ascii(std::string_view text);
std::string lower_ascii(std::string_view text);

// Readable bytes for a log: "\r", "\n", "\\", and "\xNN" for every other byte below 32 or above 126.
std::string escape_bytes(std::string_view bytes);

// The exact inverse of escape_bytes: nothing for a text that escape_bytes never writes (a raw
// control byte, a lone or unknown escape, lower-case hex, "\x41" for a printable byte).
std::optional<std::string> unescape_bytes(std::string_view text);

// The text and CR LF in one string, so that a line and its end go out in one write.
std::string with_crlf(std::string_view text);

inline bool starts_with(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
inline bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

}  // namespace osa
