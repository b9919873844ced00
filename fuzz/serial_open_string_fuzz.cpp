// Any serial open string: parsed, mapped to a device and to terminal settings without a fault.
#include "serial_settings.h"
#include "serial_termios.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto settings = osa::parse_serial_open_string(text)) {
        (void)osa::device_path_for_port(settings->port, [](const std::string&) { return std::nullopt; });
        termios line{};
        (void)osa::configure_termios(line, *settings);
    }
    return 0;
}
