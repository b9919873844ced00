#include "serial_settings.h"

#include "text.h"

#include <limits>
#include <vector>

namespace osa {
namespace {

std::vector<std::string> split_fields(std::string_view text) {
    std::vector<std::string> fields;
    for (const std::string_view field : split(text, ',')) fields.push_back(upper_ascii(trimmed(field, " \t")));
    return fields;
}

// The port number named by the device part, or nothing when the string has no valid device part.
std::optional<unsigned long> port_number(std::string_view device_part, bool has_colon) {
    if (!has_colon) return std::nullopt;
    const std::string device = upper_ascii(device_part);
    if (device == "SER") return 1;
    if (!starts_with(device, "COM")) return 1;
    const std::string_view digits = std::string_view(device).substr(3);
    if (digits.empty()) return 1;
    const auto number = decimal_number(digits, std::numeric_limits<unsigned long>::max() / 10);
    if (!number) return std::nullopt;
    return *number == 0 ? 1 : *number;
}

// An optional sign and digits, read as an unsigned 32-bit number; an empty field keeps 300.
bool read_speed(const std::string& field, SerialSettings& settings) {
    if (field.empty()) return true;
    std::string_view digits = field;
    bool negative = false;
    if (digits[0] == '+' || digits[0] == '-') {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    const auto value = decimal_number(digits, std::numeric_limits<std::uint32_t>::max());
    if (!value) return false;
    settings.speed = static_cast<std::uint32_t>(negative ? 0 - *value : *value);
    return true;
}

bool read_parity(const std::string& field, SerialSettings& settings) {
    if (field.empty() || field == "N") settings.parity = Parity::none;
    else if (field == "E") settings.parity = Parity::even;
    else if (field == "O") settings.parity = Parity::odd;
    else if (field == "M") settings.parity = Parity::mark;
    else if (field == "S") settings.parity = Parity::space;
    else return false;
    return true;
}

bool read_data_bits(const std::string& field, SerialSettings& settings) {
    if (field.empty()) return true;
    if (field.size() != 1 || field[0] < '5' || field[0] > '8') return false;
    settings.data_bits = field[0] - '0';
    return true;
}

bool read_stop_bits(const std::string& field, SerialSettings& settings) {
    if (field.empty()) return true;
    if (field != "1" && field != "1.5" && field != "2") return false;
    settings.stop_bits = field;
    return true;
}

// A word followed by an optional wait or size in digits ("CS0", "DS", "RB2048").
bool is_word_with_number(const std::string& field, std::string_view word) {
    if (!starts_with(field, word)) return false;
    const std::string_view rest = std::string_view(field).substr(word.size());
    return rest.empty() || decimal_number(rest, std::numeric_limits<std::uint32_t>::max()).has_value();
}

// Words that the line accepts and that change nothing on it.
bool is_accepted_word(const std::string& field) {
    for (std::string_view word : {"BIN", "ASC", "LF", "PE", "DT", "FE", "IR"})
        if (field == word) return true;
    for (std::string_view word : {"CS", "DS", "CD", "OP", "RB", "TB"})
        if (is_word_with_number(field, word)) return true;
    return false;
}

bool read_option(const std::string& field, SerialSettings& settings) {
    if (field == "RS") {
        settings.rts_off = true;
        return true;
    }
    return field.empty() || is_accepted_word(field);
}

}  // namespace

std::optional<SerialSettings> parse_serial_open_string(std::string_view open_string) {
    const auto colon = open_string.find(':');
    const auto port = port_number(open_string.substr(0, colon), colon != std::string_view::npos);
    if (!port) return std::nullopt;
    SerialSettings settings;
    settings.port = *port;
    const std::vector<std::string> fields = split_fields(open_string.substr(colon + 1));
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        const bool ok = i == 0   ? read_speed(field, settings)
                        : i == 1 ? read_parity(field, settings)
                        : i == 2 ? read_data_bits(field, settings)
                        : i == 3 ? read_stop_bits(field, settings)
                                 : read_option(field, settings);
        if (!ok) return std::nullopt;
    }
    return settings;
}

}  // namespace osa
