// The doctor's pure pieces: its command line, the port listing, the port names and the lines to
// use, the reading of the reply and the words for each finding.
#include "findings.h"
#include "listing.h"
#include "options.h"
#include "port_names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace osa::doctor {
namespace {

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

struct ArgumentCase {
    std::vector<std::string> arguments;
    Mode mode;
    std::string port;
    std::string baud;
    unsigned wait;
};

TEST(DoctorArguments, AcceptedCommandLines) {
    const ArgumentCase cases[] = {
        {{}, Mode::list, "", "1200", check_wait_ms},
        {{"/dev/ttyUSB0"}, Mode::check, "/dev/ttyUSB0", "1200", check_wait_ms},
        {{"COM3:", "9600"}, Mode::check, "COM3:", "9600", check_wait_ms},
        {{"--wait", "500", "COM1"}, Mode::check, "COM1", "1200", 500},
        {{"COM1", "--wait", "500"}, Mode::check, "COM1", "1200", 500},
        {{"--scan"}, Mode::scan, "", "1200", scan_wait_ms},
        {{"--scan", "--wait", "200"}, Mode::scan, "", "1200", 200},
        {{"--scan", "/dev/pts/4"}, Mode::scan, "/dev/pts/4", "1200", scan_wait_ms},
        {{"COM1:", "--help"}, Mode::help, "", "1200", check_wait_ms},
        {{"-h"}, Mode::help, "", "1200", check_wait_ms},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.arguments));
        const ParsedArguments parsed = parse_arguments(c.arguments);
        ASSERT_TRUE(parsed.options) << parsed.error;
        EXPECT_EQ(parsed.options->mode, c.mode);
        if (c.mode == Mode::help) continue;
        EXPECT_EQ(parsed.options->port, c.port);
        EXPECT_EQ(parsed.options->baud, c.baud);
        EXPECT_EQ(reply_wait_ms(*parsed.options), c.wait);
    }
}

TEST(DoctorArguments, RefusedCommandLinesSayWhy) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--wait"}, "--wait needs"},
        {{"--wait", "0", "COM1"}, "--wait takes"},
        {{"--wait", "600001"}, "--wait takes"},
        {{"--wait=500"}, "unknown option --wait=500"},
        {{"-hx", "--wait", "0"}, "unknown option -hx"},
        {{"COM1", "fast"}, "the speed is a number"},
        {{"COM1", "0"}, "the speed is a number"},
        {{"COM1", "1200", "x"}, "too many"},
        {{"--scan", "COM1", "9600"}, "--scan tries both"},
        {{""}, "empty"},
    };
    for (const auto& [arguments, why] : cases) {
        SCOPED_TRACE(joined(arguments));
        const ParsedArguments parsed = parse_arguments(arguments);
        EXPECT_FALSE(parsed.options);
        EXPECT_NE(parsed.error.find(why), std::string::npos) << parsed.error;
    }
}

TEST(DoctorPortNames, ComNumbers) {
    const std::pair<std::string, std::optional<unsigned long>> cases[] = {
        {"COM1:", 1},  {"com3", 3},      {"Com12:", 12},       {"COM0:", 1},  {"COM:", std::nullopt},
        {"COM", std::nullopt}, {"COMX:", std::nullopt}, {"COM1:x", std::nullopt}, {"/dev/ttyS0", std::nullopt},
        {"SER:", std::nullopt},
    };
    for (const auto& [name, number] : cases) EXPECT_EQ(com_number(name), number) << name;
    EXPECT_EQ(default_port_of("/dev/ttyS0"), 1u);
    EXPECT_EQ(default_port_of("/dev/ttyS3"), 4u);
    EXPECT_EQ(default_port_of("/dev/ttyS"), std::nullopt);
    EXPECT_EQ(default_port_of("/dev/ttyUSB0"), std::nullopt);
}

TEST(DoctorPortNames, TargetLines) {
    PortTarget named{"/dev/ttyUSB0", 1, true, "OSA_COM1", ""};
    EXPECT_EQ(target_line(named, true), "Port /dev/ttyUSB0 (COM1: maps to it through OSA_COM1)");
    PortTarget fallback{"/dev/ttyS2", 3, true, "", ""};
    EXPECT_EQ(target_line(fallback, true), "Port /dev/ttyS2 (COM3: maps to it while OSA_COM3 is not set)");
    PortTarget path{"/dev/ttyACM0", 1, false, "", ""};
    EXPECT_EQ(target_line(path, true), "Port /dev/ttyACM0");
    EXPECT_EQ(target_line(PortTarget{"COM4", 4, true, "", ""}, false), "Port COM4");
}

struct LinesCase {
    PortTarget target;
    std::string baud;
    bool posix;
    std::vector<std::string> expected_tail;  // the lines after com= and baud=
};

TEST(DoctorPortNames, LinesToUse) {
    const std::string by_id = "/dev/serial/by-id/usb-FTDI_FT232R_A1-if00-port0";
    const LinesCase cases[] = {
        // A stable name wins over the device it points to.
        {{"/dev/ttyUSB0", 1, false, "", by_id}, "1200", true,
         {"and in the environment of the GUI (or a wrapper script):", "  OSA_COM1=" + by_id}},
        // COM3: reaches /dev/ttyS2 by itself.
        {{"/dev/ttyS2", 3, true, "", ""}, "9600", true, {"COM3: opens /dev/ttyS2 by itself: no OSA_COM3 setting is needed."}},
        // A USB adapter without a stable name gets the warning about changing names.
        {{"/dev/ttyUSB1", 2, true, "OSA_COM2", ""}, "1200", true,
         {"and in the environment of the GUI (or a wrapper script):", "  OSA_COM2=/dev/ttyUSB1",
          "(/dev/ttyUSB1 has no stable name in /dev/serial/by-id; the name may change when adapters are plugged in "
          "another order: a udev rule gives it a fixed one)"}},
        {{"/dev/pts/3", 1, true, "OSA_COM1", ""}, "1200", true,
         {"and in the environment of the GUI (or a wrapper script):", "  OSA_COM1=/dev/pts/3"}},
        // Windows has no environment line.
        {{"COM4", 4, true, "", ""}, "9600", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.device);
        const auto lines = lines_to_use(c.target, c.baud, c.posix);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[1], "  com=COM" + std::to_string(c.target.com) + ":");
        EXPECT_EQ(lines[2], "  baud=" + c.baud);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end()), c.expected_tail);
    }
}

TEST(DoctorListing, OrderAndFilterOfLinuxPorts) {
    DeviceFacts facts;
    facts.dev_names = {"ttyS1", "ttyUSB10", "tty0", "ttyACM0", "ttyS0", "ttyUSB2", "ttyUSB", "ttyUSB1x",
                       "ttyS10", "ttyprintk", "ttyS3", "ttyUSB0"};
    facts.real_uarts = {"ttyS0", "ttyS10"};
    facts.stable_names = {{"/dev/serial/by-id/usb-b", "/dev/ttyUSB2"}, {"/dev/serial/by-id/usb-a", "/dev/ttyUSB0"}};
    facts.details = {{"ttyUSB0", "ftdi_sio, FTDI FT232R [0403:6001]"}, {"ttyS0", "serial8250"}};
    const auto ports = linux_ports(facts);
    std::vector<std::string> paths;
    for (const auto& port : ports) paths.push_back(port.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/dev/serial/by-id/usb-a", "/dev/serial/by-id/usb-b", "/dev/ttyUSB0",
                                               "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0", "/dev/ttyS0",
                                               "/dev/ttyS10"}));
    EXPECT_EQ(ports[0].device, "/dev/ttyUSB0");
    EXPECT_EQ(ports[0].details, "ftdi_sio, FTDI FT232R [0403:6001]");
    EXPECT_EQ(ports[2].device, "");
    EXPECT_EQ(stable_name_for("/dev/ttyUSB2", ports), "/dev/serial/by-id/usb-b");
    EXPECT_EQ(stable_name_for("/dev/ttyUSB10", ports), std::nullopt);

    EXPECT_EQ(ports_to_scan(ports),
              (std::vector<std::string>{"/dev/serial/by-id/usb-a", "/dev/serial/by-id/usb-b", "/dev/ttyUSB10",
                                        "/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS10"}));

    const std::string text = joined(listing_lines(ports, true));
    EXPECT_NE(text.find("  /dev/serial/by-id/usb-a -> /dev/ttyUSB0  (ftdi_sio, FTDI FT232R [0403:6001])\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  /dev/ttyS0  (serial8250)\n"), std::string::npos) << text;
}

TEST(DoctorListing, WindowsPortsByNumber) {
    const auto ports = windows_ports({{"\\Device\\Serial0", "COM1"}, {"\\Device\\VCP0", "COM10"}, {"\\Device\\Serial1", "COM2"}});
    std::vector<std::string> paths;
    for (const auto& port : ports) paths.push_back(port.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"COM1", "COM2", "COM10"}));
    EXPECT_EQ(ports[2].details, "\\Device\\VCP0");
}

TEST(DoctorListing, NothingFoundSaysWhatToCheck) {
    EXPECT_NE(joined(listing_lines({}, true)).find("dmesg"), std::string::npos);
    EXPECT_NE(joined(listing_lines({}, false)).find("CH340"), std::string::npos);
}

TEST(DoctorReply, ReadUpToTheEndOfReply) {
    const std::tuple<std::string, std::size_t, std::string> cases[] = {
        {"OSA board v2.0\r\n>\x17", 18, "OSA board v2.0"},
        {">\x17", 2, ""},
        {"  Id \x01\x02\x17more\x17", 8, "Id"},
        {"no end\r\n>", std::string::npos, "no end"},
        {"", std::string::npos, ""},
        {"\xC4t\x17", 3, "\xC4t"},
    };
    for (const auto& [bytes, end, identification] : cases) {
        EXPECT_EQ(reply_end(bytes), end) << bytes;
        EXPECT_EQ(identification_of(bytes), identification) << bytes;
    }
}

SerialSettings line(std::uint32_t speed) {
    SerialSettings settings;
    settings.speed = speed;
    settings.rts_off = true;
    return settings;
}

TEST(DoctorFindings, LineDescription) {
    EXPECT_EQ(line_description(line(1200)), "1200 baud, 8 data bits, no parity, 1 stop bit, RTS off, no flow control");
    SerialSettings odd;
    odd.speed = 9600;
    odd.parity = Parity::odd;
    odd.data_bits = 7;
    odd.stop_bits = "2";
    EXPECT_EQ(line_description(odd), "9600 baud, 7 data bits, odd parity, 2 stop bits, no flow control");
}

struct FindingCase {
    const char* name;
    PortCheck check;
    PortTarget target;
    bool posix;
    std::vector<std::string> wanted;    // parts of the text
    std::vector<std::string> unwanted;  // parts it must not hold
};

TEST(DoctorFindings, EachFindingSaysWhatToDo) {
    const PortTarget usb{"/dev/ttyUSB0", 1, false, "", ""};
    const PortTarget com2{"/dev/ttyS1", 2, true, "", ""};
    PortCheck answered{Outcome::answered, "", "", false, {}, {}, "OSA board v2.0\r\n>\x17", true};
    PortCheck silent{Outcome::silent, "", "", false, {}, {}, "", true};
    PortCheck garbled{Outcome::incomplete, "", "", false, {}, {}, std::string("\xF0\x00\xFE", 3), true};
    PortCheck denied{Outcome::permission_denied, "Permission denied", "dialout", false, {}, {}, "", false};
    PortCheck denied_member{Outcome::permission_denied, "Permission denied", "dialout", true, {}, {}, "", false};
    PortCheck denied_root{Outcome::permission_denied, "Permission denied", "root", false, {}, {}, "", false};
    PortCheck busy{Outcome::busy, "", "", false, {}, {{812, "ModemManager"}, {4711, "Dorvane"}}, "", false};
    PortCheck locked{Outcome::busy, "", "", false, {{4711, "Dorvane"}}, {{812, "ModemManager"}}, "", false};
    PortCheck busy_unknown{Outcome::busy, "", "", false, {}, {}, "", false};
    PortCheck missing{Outcome::missing, "No such file or directory", "", false, {}, {}, "", false};
    PortCheck refused{Outcome::settings_refused, "Invalid argument", "", false, {}, {}, "", false};
    PortCheck not_serial{Outcome::not_serial, "Inappropriate ioctl for device", "", false, {}, {}, "", false};
    const FindingCase cases[] = {
        {"answered", answered, usb, true,
         {"Opened.\n", "Line set to 1200 baud", "Received 18 bytes: OSA board v2.0\\r\\n>\\x17\n", "Sent CLOSE.\n",
          "The board answered: OSA board v2.0\n"},
         {"other speed"}},
        {"silent", silent, usb, true,
         {"Received nothing.\n", "No answer within 3000 ms.", "osa-doctor /dev/ttyUSB0 9600", "--scan /dev/ttyUSB0"},
         {"answered"}},
        {"garbled", garbled, com2, true,
         {"Received 3 bytes: \\xF0\\x00\\xFE\n", "another speed", "osa-doctor COM2: 9600"}, {"answered"}},
        {"denied", denied, usb, true,
         {"Permission denied", "group dialout, and you are not in that group", "sudo usermod -aG dialout $USER",
          "log out and in again"},
         {"Opened."}},
        {"denied member", denied_member, usb, true, {"you are in that group", "MODE=\"0660\""}, {"usermod"}},
        {"denied root", denied_root, usb, true,
         {"group root: only root", "GROUP=\"dialout\", MODE=\"0660\"", "sudo usermod -aG dialout $USER"},
         {"usermod -aG root"}},
        {"busy", busy, usb, true,
         {"in use by process 812 (ModemManager), process 4711 (Dorvane).", "ModemManager", "brltty"}, {"Opened."}},
        {"locked", locked, usb, true,
         {"is locked by process 4711 (Dorvane).\nIt is also open in process 812 (ModemManager).\n"}, {"in use by"}},
        {"busy unknown", busy_unknown, usb, true, {"sudo fuser -v /dev/ttyUSB0"}, {}},
        {"busy on Windows", busy_unknown, PortTarget{"COM3", 3, true, "", ""}, false, {"in use by another program."},
         {"fuser", "brltty"}},
        {"missing", missing, com2, true, {"/dev/ttyS1 does not exist", "OSA_COM2=/dev/ttyUSB0", "dmesg"}, {"Opened."}},
        {"missing on Windows", missing, PortTarget{"COM3", 3, true, "", ""}, false, {"Device Manager"}, {"OSA_COM3"}},
        {"refused", refused, usb, true, {"The line settings (1200 baud, 8 data bits", "were refused (Invalid argument)"}, {}},
        {"not serial", not_serial, usb, true, {"no serial line (Inappropriate ioctl for device)"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = joined(check_lines(c.target, line(1200), 3000, c.check, c.posix));
        for (const auto& part : c.wanted) EXPECT_NE(text.find(part), std::string::npos) << part << "\nin:\n" << text;
        for (const auto& part : c.unwanted) EXPECT_EQ(text.find(part), std::string::npos) << part << "\nin:\n" << text;
    }
}

TEST(DoctorFindings, TheOtherSpeedFrom9600Is1200) {
    const PortCheck silent{Outcome::silent, "", "", false, {}, {}, "", true};
    const std::string text = joined(check_lines({"/dev/ttyUSB0", 1, false, "", ""}, line(9600), 1500, silent, true));
    EXPECT_NE(text.find("osa-doctor /dev/ttyUSB0 1200"), std::string::npos) << text;
}

TEST(DoctorFindings, ScanSummaries) {
    const std::pair<PortCheck, std::string> cases[] = {
        {{Outcome::answered, "", "", false, {}, {}, "Board\x17", true}, "answered: Board"},
        {{Outcome::silent, "", "", false, {}, {}, "", true}, "no answer"},
        {{Outcome::incomplete, "", "", false, {}, {}, "\x01", true}, "garbled bytes, no end of reply: \\x01"},
        {{Outcome::busy, "", "", false, {}, {{9, "brltty"}}, "", false}, "in use by process 9 (brltty)"},
        {{Outcome::busy, "", "", false, {{5, "Quillrand"}}, {{9, "brltty"}}, "", false}, "locked by process 5 (Quillrand)"},
        {{Outcome::permission_denied, "", "uucp", false, {}, {}, "", false}, "permission denied (group uucp)"},
        {{Outcome::open_failed, "I/O error", "", false, {}, {}, "", false}, "cannot open: I/O error"},
    };
    for (const auto& [check, summary] : cases) EXPECT_EQ(scan_summary(check), summary);
}

}  // namespace
}  // namespace osa::doctor
