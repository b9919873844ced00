// Opening the serial line on Windows where no board is needed: the statuses of a failed open.
#include "serial_line.h"

#include <gtest/gtest.h>

namespace osa {
namespace {

TEST(Win32SerialLine, FailedOpensGiveTheirStatus) {
    const struct {
        const char* open_string;
        int status;
    } cases[] = {
        {"COM29600,N,8,1,CS0,DS0,CD0,RS,BIN", open_bad_settings},    // port name without its ":"
        {"COM1:12OO,N,8,1,CS0,DS0,CD0,RS,BIN", open_bad_settings},   // checked before the device is opened
        {"COM249:1200,N,8,1,CS0,DS0,CD0,RS,BIN", open_no_device},    // no such port
        {"COM8:1200,N,8,1,CS0,DS0,CD0,RS,BIN", open_no_device},      // a plain name, not the namespace
    };
    for (const auto& c : cases) {
        SerialLine line;
        EXPECT_EQ(line.open(c.open_string).status, c.status) << c.open_string;
    }
}

// The reason travels with the status, for the run trace and osa-doctor.
TEST(Win32SerialLine, AMissingPortGivesTheSystemsReason) {
    SerialLine line;
    const OpenResult opened = line.open("COM249:1200,N,8,1,CS0,DS0,CD0,RS,BIN");
    EXPECT_EQ(opened.status, open_no_device);
    EXPECT_EQ(opened.system_code, 2);  // ERROR_FILE_NOT_FOUND
    EXPECT_FALSE(opened.system_text.empty());
}

}  // namespace
}  // namespace osa
