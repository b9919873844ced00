#include "converter_loop.h"
#include "player_loop.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace osa {
namespace {

const OwnKeys player = player_profile().own_keys;
const OwnKeys converter = converter_profile().own_keys;

Settings from_lines(const OwnKeys& own_keys, const std::vector<const char*>& lines) {
    Settings settings;
    for (const char* line : lines) apply_settings_line(settings, own_keys, line);
    return settings;
}

TEST(SettingsFile, KeysAreCaseBlindValuesKeepTheirCaseAndSpacesVanish) {
    const Settings s = from_lines(converter, {"COM = com3:", "Baud= 9600", "name= My Board", "MODUL=Mod 2"});
    EXPECT_EQ(s.port_name, "com3:");
    EXPECT_EQ(s.baud_text, "9600");
    EXPECT_EQ(converter_settings(s).engine_name, "MyBoard");
    EXPECT_EQ(converter_settings(s).module_name, "Mod2");
}

TEST(SettingsFile, LinesThatMatchNoKeyChangeNothing) {
    const Settings s = from_lines(converter,
                                  {"comport=COM2:", "com\t=COM4:", "\xEF\xBB\xBF" "com=COM5:", "", "; comment", "flip=1"});
    EXPECT_EQ(s.port_name, "COM1:");
    EXPECT_EQ(s.baud_text, "1200");
    EXPECT_EQ(flip_setting(s), 0);
}

TEST(SettingsFile, TheLastLineWinsAndEmptyValuesAreTaken) {
    EXPECT_EQ(from_lines(player, {"com=COM2:", "com=COM3:"}).port_name, "COM3:");
    EXPECT_EQ(from_lines(player, {"com="}).port_name, "");
}

TEST(SettingsFile, EachProgramReadsOnlyItsOwnKeys) {
    const Settings player_settings = from_lines(player, {"name=X", "modul=Y", "level=05", "flip=1"});
    EXPECT_EQ(converter_settings(player_settings).engine_name, "");
    EXPECT_EQ(converter_settings(player_settings).level_text, "");
    EXPECT_EQ(flip_setting(player_settings), 1);
    const Settings converter_only = from_lines(converter, {"level=05", "flip=1"});
    EXPECT_EQ(converter_settings(converter_only).level_text, "05");
    EXPECT_EQ(flip_setting(converter_only), 0);
}

TEST(SettingsFile, PvNotationIsTheConvertersOwnOptIn) {
    EXPECT_FALSE(converter_settings(from_lines(converter, {})).uci_pv);
    EXPECT_TRUE(converter_settings(from_lines(converter, {"pv=uci"})).uci_pv);
    EXPECT_TRUE(converter_settings(from_lines(converter, {"PV = UCI"})).uci_pv);
    EXPECT_FALSE(converter_settings(from_lines(converter, {"pv=uci", "pv=board"})).uci_pv);
    EXPECT_FALSE(converter_settings(from_lines(converter, {"pv=ucix"})).uci_pv);
    EXPECT_FALSE(converter_settings(from_lines(player, {"pv=uci"})).uci_pv);
}

// The opt-in keys of both programs: each is on only with its one value, in any case.
TEST(SettingsFile, BusyAndReconnectAreOnOnlyWithTheirValue) {
    const struct {
        std::vector<const char*> lines;
        BusyMode busy;
        bool reconnect;
    } cases[] = {
        {{}, BusyMode::wait, false},
        {{"busy=answer", "reconnect=on"}, BusyMode::answer, true},
        {{" Busy = ANSWER ", " Reconnect = ON "}, BusyMode::answer, true},
        {{"busy=wait", "reconnect=off"}, BusyMode::wait, false},
        {{"busy=answers", "reconnect=onx"}, BusyMode::wait, false},
        {{"busy=yes", "reconnect=1"}, BusyMode::wait, false},
        {{"busy=", "busyanswer", "; reconnect=on"}, BusyMode::wait, false},
        {{"busy=answer", "busy=wait", "reconnect=on", "reconnect=off"}, BusyMode::wait, false},
    };
    for (const OwnKeys& own_keys : {player, converter})
        for (const auto& c : cases) {
            const Settings settings = from_lines(own_keys, c.lines);
            const char* last = c.lines.empty() ? "no line" : c.lines.back();
            EXPECT_EQ(settings.busy, c.busy) << last;
            EXPECT_EQ(settings.reconnect, c.reconnect) << last;
        }
}

TEST(SettingsFile, TracePathKeepsItsInnerSpacesInBothPrograms) {
    const std::pair<const char*, const char*> cases[] = {
        {"trace=/tmp/osa.trace", "/tmp/osa.trace"},
        {" TRACE = C:\\Users\\Ann Lee\\osa-trace.txt  ", "C:\\Users\\Ann Lee\\osa-trace.txt"},
        {"Tr ace=a=b c", "a=b c"},
        {"trace=", ""},
        {"trace =   ", ""},
    };
    for (const OwnKeys& own_keys : {player, converter})
        for (const auto& [line, path] : cases) EXPECT_EQ(from_lines(own_keys, {line}).trace_path, path) << line;
    EXPECT_EQ(from_lines(player, {}).trace_path, std::nullopt);
    EXPECT_EQ(from_lines(player, {"traces=x", "trace\t=x", "; trace=x"}).trace_path, std::nullopt);
    EXPECT_EQ(from_lines(player, {"trace=a", "trace=b"}).trace_path, "b");
    EXPECT_EQ(from_lines(player, {"trace=a", "trace=x", "com=COM2:"}).port_name, "COM2:");
}

TEST(SettingsFile, TheSettingsFileTraceWinsOverTheEnvironment) {
    struct Case {
        std::vector<const char*> lines;
        const char* osa_trace;
        const char* file;
    };
    const Case cases[] = {
        {{}, nullptr, ""},
        {{}, "", ""},
        {{}, "/tmp/env.trace", "/tmp/env.trace"},
        {{"trace=ini.trace"}, "/tmp/env.trace", "ini.trace"},
        {{"trace="}, "/tmp/env.trace", ""},  // the file says: no trace
        {{"trace=ini.trace"}, nullptr, "ini.trace"},
    };
    for (const Case& c : cases) {
        Settings settings;
        for (const char* line : c.lines) apply_settings_line(settings, converter, line);
        EXPECT_EQ(trace_file(settings, c.osa_trace), c.file) << (c.osa_trace ? c.osa_trace : "(unset)");
    }
}

TEST(SettingsFile, FlipNumbers) {
    const std::pair<const char*, int> cases[] = {
        {"1", 1},     {"yes", 0},   {"2", 2},      {"", 0},      {"&H1F", 31}, {"&hff", 255}, {"&O17", 15},
        {"&b101", 5}, {"&B", 0},    {"&X1", 0},    {"12abc", 12}, {"256", 0},  {"257", 1},    {"-1", 255},
        {"&H101", 1},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(flip_number(text), expected) << text;
    // A number too long for any integer still gives the low 8 bits of its value.
    std::uint64_t wrapped = 0;
    for (int i = 0; i < 23; ++i) wrapped = wrapped * 10 + 9;
    EXPECT_EQ(flip_number("99999999999999999999999"), static_cast<std::uint8_t>(wrapped));
}

TEST(SettingsFile, ReadFromDiskWithCrLfAndAnUnfinishedLastLine) {
    const auto path = std::filesystem::path(testing::TempDir()) / "osa-settings-test.ini";
    std::ofstream(path, std::ios::binary) << "com=COM2:\r\n\r\nbaud = 4800\r\nflip=&H01";
    Settings s;
    read_settings_file(s, player, path.string());
    std::filesystem::remove(path);
    EXPECT_EQ(s.port_name, "COM2:");
    EXPECT_EQ(s.baud_text, "4800");
    EXPECT_EQ(flip_setting(s), 1);
}

TEST(SettingsFile, AMissingFileLeavesTheDefaults) {
    Settings s;
    read_settings_file(s, converter, "/nonexistent/osa.ini");
    EXPECT_EQ(serial_open_string(s), "COM1:1200,N,8,1,CS0,DS0,CD0,RS,BIN");
}

TEST(Arguments, AreCountedUpToTheFirstEmptyOne) {
    const char* argv[] = {"prog", "com2:", "", "9600", nullptr};
    EXPECT_EQ(argument_list(4, argv), (std::vector<std::string>{"com2:"}));
    std::vector<const char*> many(400, "x");
    many[0] = "prog";
    EXPECT_EQ(argument_list(static_cast<int>(many.size()), many.data()).size(), 399U);
}

TEST(Arguments, OverrideTheFileUpperCasingOnlyThePortName) {
    Settings s = from_lines(player, {"com=COM3:", "baud=9600"});
    apply_arguments(s, {"com2:", "4800x", "ignored"});
    EXPECT_EQ(s.port_name, "COM2:");
    EXPECT_EQ(s.baud_text, "4800x");
    Settings joined;
    apply_arguments(joined, {"COM2"});
    EXPECT_EQ(serial_open_string(joined).substr(0, 9), "COM21200,");
}

TEST(Arguments, UsageIsAskedOnlyByTheFirstArgument) {
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{"/?"}, true}, {{"/h"}, true},      {{"/H"}, true},         {{"-h"}, false},
        {{"/help"}, false}, {{"COM1:", "/?"}, false}, {{}, false},
    };
    for (const auto& [arguments, expected] : cases) EXPECT_EQ(asks_for_usage(arguments), expected);
}

TEST(UsageScreen, ExamplesLineUpInOneColumn) {
    for (const ProgramProfile& profile : {player_profile(), converter_profile()}) {
        const auto lines = usage_screen(profile);
        ASSERT_EQ(lines.size(), 12U);
        EXPECT_EQ(lines[0], "");
        EXPECT_EQ(lines[3], "");
        EXPECT_EQ(lines[8], "");
        EXPECT_TRUE(lines[2].ends_with(profile.name == "Quillrand" ? ", Version 1.1" : ", Version 1.2"));
        const auto column = lines[9].find('(');
        EXPECT_EQ(lines[10].find('('), column);
        EXPECT_EQ(lines[11].find('('), column);
    }
}

}  // namespace
}  // namespace osa
