// The serial open string, e.g. "COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN", read into line settings.
//
// Device part: "SER:" or "COMn:" (any case; n = 0 or no digits means port 1); any other text
// before a ":" also means port 1. Fields after the ":" are split at commas, trimmed of spaces and
// tabs and matched in any case: speed, parity, data bits, stop bits, then option words.
// Binary mode ("BIN", or its opposite "ASC") is accepted and has no effect: the line never
// translates a byte on any platform.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace osa {

enum class Parity { none, even, odd, mark, space };

struct SerialSettings {
    unsigned long port = 1;
    std::uint32_t speed = 300;
    Parity parity = Parity::none;
    int data_bits = 8;
    std::string stop_bits = "1";  // "1", "1.5" or "2"
    bool rts_off = false;         // "RS": RTS held off while the line is open
};

// The settings, or nothing when the string breaks the grammar (the open then fails with status 1).
std::optional<SerialSettings> parse_serial_open_string(std::string_view open_string);

}  // namespace osa
