// Any settings file: every line is applied, nothing may crash or read out of bounds.
#include "converter_loop.h"
#include "player_loop.h"
#include "settings.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const osa::ProgramProfile& profile : {osa::player_profile(), osa::converter_profile()}) {
        osa::Settings settings;
        std::string_view rest = text;
        while (!rest.empty()) {
            const auto lf = rest.find('\n');
            osa::apply_settings_line(settings, profile.own_keys, rest.substr(0, lf));
            rest = lf == std::string_view::npos ? std::string_view() : rest.substr(lf + 1);
        }
        (void)osa::serial_open_string(settings);
        (void)osa::flip_setting(settings);
        (void)osa::converter_settings(settings);
    }
    return 0;
}
