#include "text.h"

#include <algorithm>
#include <cstdio>

namespace osa {

std::string trim_spaces(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string remove_spaces(std::string_view text) {
    std::string result(text);
    std::erase(result, ' ');
    return result;
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

}  // namespace osa
