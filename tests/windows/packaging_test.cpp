// The sample osa.ini of the Windows zip: its notes match no key, so it gives the defaults.
#include "settings.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

TEST(SampleSettingsFile, GivesTheDefaultsInBothPrograms) {
    for (const Program program : {Program::player, Program::converter}) {
        Settings settings;
        settings.port_name = "unchanged";
        settings.baud_text = "unchanged";
        read_settings_file(settings, program, OSA_SAMPLE_INI);
        EXPECT_EQ(settings.port_name, "COM1:");
        EXPECT_EQ(settings.baud_text, "1200");
        EXPECT_EQ(settings.flip, 0);
        EXPECT_EQ(settings.engine_name, "");
        EXPECT_EQ(settings.module_name, "");
        EXPECT_EQ(settings.level_text, "");
    }
}

}  // namespace
}  // namespace osa
