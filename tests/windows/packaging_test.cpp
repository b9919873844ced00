// The sample osa.ini of the Windows zip: the default port and speed, and the keys that owners get
// switched on; its notes match no key.
#include "converter_loop.h"
#include "player_loop.h"
#include "settings.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

TEST(SampleSettingsFile, SwitchesOnWhatOwnersNeedInBothPrograms) {
    for (const ProgramProfile& profile : {player_profile(), converter_profile()}) {
        Settings settings;
        settings.port_name = "unchanged";
        settings.baud_text = "unchanged";
        read_settings_file(settings, profile.own_keys, OSA_SAMPLE_INI);
        EXPECT_EQ(settings.port_name, "COM1:");
        EXPECT_EQ(settings.baud_text, "1200");
        EXPECT_EQ(settings.busy, BusyMode::answer);
        EXPECT_TRUE(settings.reconnect);
        EXPECT_EQ(flip_setting(settings), 0);
        EXPECT_EQ(converter_settings(settings).engine_name, "");
        EXPECT_EQ(converter_settings(settings).module_name, "");
        EXPECT_EQ(converter_settings(settings).level_text, "");
    }
    Settings dorvane;
    read_settings_file(dorvane, converter_profile().own_keys, OSA_SAMPLE_INI);
    EXPECT_TRUE(converter_settings(dorvane).uci_pv);
}

}  // namespace
}  // namespace osa
