#include "text.h"

#include <algorithm>
#include <cstdio>

namespace osa {

std::string_view trimmed(std::string_view text, std::string_view blanks) {
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::string trim_spaces(std::string_view text) { return std::string(trimmed(text, " ")); }

std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (auto end = text.find(separator); end != std::string_view::npos; end = text.find(separator)) {
        pieces.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    pieces.push_back(text);
    return pieces;
}

std::string remove_spaces(std::string_view text) {
    std::string result(text);
    std::erase(result, ' ');
    return result;
}

std::optional<std::uint64_t> decimal_number(std::string_view digits, std::uint64_t limit) {
    if (digits.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > limit) return std::nullopt;
    }
    return value;
}

std::string upper_ascii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return result;
}

std::string lower_ascii(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return result;
}

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

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The byte of a "\xNN" escape at text[at]; nothing when escape_bytes would not have written it.
std::optional<char> hex_escape(std::string_view text, std::size_t at) {
    if (at + 4 > text.size()) return std::nullopt;
    const int high = hex_digit(text[at + 2]);
    const int low = hex_digit(text[at + 3]);
    if (high < 0 || low < 0) return std::nullopt;
    const int code = high * 16 + low;
    if ((code >= 32 && code <= 126) || code == '\r' || code == '\n') return std::nullopt;
    return static_cast<char>(code);
}

}  // namespace

std::optional<std::string> unescape_bytes(std::string_view text) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size();) {
        const auto code = static_cast<unsigned char>(text[at]);
        if (code < 32 || code > 126) return std::nullopt;
        if (text[at] != '\\') {
            bytes += text[at++];
            continue;
        }
        const char kind = at + 1 < text.size() ? text[at + 1] : '\0';
        if (kind == 'r' || kind == 'n' || kind == '\\') {
            bytes += kind == 'r' ? '\r' : kind == 'n' ? '\n' : '\\';
            at += 2;
        } else if (kind == 'x') {
            const auto byte = hex_escape(text, at);
            if (!byte) return std::nullopt;
            bytes += *byte;
            at += 4;
        } else {
            return std::nullopt;
        }
    }
    return bytes;
}

std::string with_crlf(std::string_view text) {
    std::string line;
    line.reserve(text.size() + 2);
    line.append(text);
    line.append("\r\n");
    return line;
}

}  // namespace osa
