// The built osa-doctor against a scripted board on a pseudo-terminal that answers only at its own
// speed, against devices it cannot use (missing, held by another process, forbidden), and against
// the emulated board, whose printed lines must then make Dorvane reach the board.
#include "harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <regex>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace osatest;
using Clock = std::chrono::steady_clock;

const std::string identification = "OSA board v2.0";
const std::string reply = identification + "\r\n>" + etb;

struct Outcome {
    std::string output;
    std::optional<int> status;
    std::chrono::milliseconds took{};
};

class Doctor {
public:
    // A launcher (setpriv and its options) may run the doctor under another user.
    Doctor(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& environment = {},
           const std::vector<std::string>& launcher = {})
        : started_(Clock::now()), program_(start(arguments, environment, launcher)) {}

    Outcome finish(std::chrono::milliseconds timeout = 15s) {
        Outcome run;
        run.output = program_.rest_of_output(timeout);
        run.status = program_.wait_exit(timeout);
        run.took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started_);
        return run;
    }

private:
    static RunningProgram start(const std::vector<std::string>& arguments,
                                const std::map<std::string, std::string>& environment,
                                const std::vector<std::string>& launcher) {
        if (launcher.empty()) return RunningProgram(executable("osa-doctor"), arguments, environment, dir().path());
        std::vector<std::string> words(launcher.begin() + 1, launcher.end());
        words.push_back(executable("osa-doctor"));
        words.insert(words.end(), arguments.begin(), arguments.end());
        return RunningProgram(launcher.front(), words, environment, dir().path());
    }
    static const WorkDir& dir() {
        static const WorkDir shared;
        return shared;
    }
    Clock::time_point started_;
    RunningProgram program_;
};

// Plays one opening dialogue: a reply only while the line is set to the board's speed.
void serve_dialogue(ScriptedBoard& board, unsigned speed, bool answers = true) {
    EXPECT_EQ(board.next_command(), "ENGLISH");
    EXPECT_EQ(board.next_command(), "OPEN");
    if (answers && board.line_speed() == speed) board.send(reply);
    EXPECT_EQ(board.next_command(10s), "CLOSE");
}

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class DoctorRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (under_launcher()) GTEST_SKIP() << "the doctor's pty checks run on Linux only";
    }
};

TEST_F(DoctorRun, BoardFoundAndAnswers) {
    for (const bool as_com : {false, true}) {
        SCOPED_TRACE(as_com ? "COM1:" : "device path");
        ScriptedBoard board;
        Doctor doctor(as_com ? std::vector<std::string>{"COM1:"} : std::vector<std::string>{board.device()},
                      {{"OSA_COM1", board.device()}});
        serve_dialogue(board, 1200);
        const Outcome run = doctor.finish();
        EXPECT_EQ(run.status, 0) << run.output;
        const std::string port_line = as_com ? "Port " + board.device() + " (COM1: maps to it through OSA_COM1)\n"
                                             : "Port " + board.device() + "\n";
        EXPECT_TRUE(run.output.starts_with(port_line)) << run.output;
        for (const std::string part :
             {"Opened.\n", "Line set to 1200 baud, 8 data bits, no parity, 1 stop bit, RTS off",
              "Received 18 bytes: OSA board v2.0\\r\\n>\\x17\n", "Sent CLOSE.\n", "The board answered: OSA board v2.0\n",
              "  com=COM1:\n  baud=1200\n"})
            EXPECT_TRUE(has(run.output, part)) << part << "\nin:\n" << run.output;
        EXPECT_TRUE(has(run.output, "  OSA_COM1=" + board.device() + "\n")) << run.output;
    }
}

TEST_F(DoctorRun, BoardAtTheOtherSpeedIsNotHeardButNamed) {
    ScriptedBoard board;
    Doctor doctor({"--wait", "500", board.device()});
    serve_dialogue(board, 9600);
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "Received nothing.\nSent CLOSE.\nNo answer within 500 ms.\n")) << run.output;
    EXPECT_TRUE(has(run.output, "osa-doctor " + board.device() + " 9600")) << run.output;
    EXPECT_TRUE(has(run.output, "osa-doctor --scan " + board.device())) << run.output;
    EXPECT_FALSE(has(run.output, "com=")) << run.output;
}

TEST_F(DoctorRun, ScanFindsTheBoardsSpeed) {
    ScriptedBoard board;
    Doctor doctor({"--scan", "--wait", "400", board.device()});
    serve_dialogue(board, 9600);
    serve_dialogue(board, 9600);
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has(run.output, "  " + board.device() + " at 1200 baud: no answer\n")) << run.output;
    EXPECT_TRUE(has(run.output, "  " + board.device() + " at 9600 baud: answered: OSA board v2.0\n")) << run.output;
    EXPECT_TRUE(has(run.output, "  com=COM1:\n  baud=9600\n")) << run.output;
}

TEST_F(DoctorRun, SilentBoardEndsAfterTheWait) {
    ScriptedBoard board;
    Doctor doctor({"--wait", "700", board.device()});
    serve_dialogue(board, 1200, false);
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "No answer within 700 ms.\n")) << run.output;
    EXPECT_TRUE(has(run.output, "switched on")) << run.output;
    // 250 ms between the two commands, the wait, and a generous margin for a loaded machine.
    EXPECT_GE(run.took, 950ms);
    EXPECT_LT(run.took, 2500ms);
}

// A process that holds the device with the programs' exclusive lock, under the name "sleep": flock
// takes the lock at once (-x -n) and becomes sleep in the same process (-F), which keeps the locked
// descriptor.
class LockHolder {
public:
    explicit LockHolder(const std::string& device)
        : child_({.command = {"flock", "-x", "-n", "-F", device, "sleep", "30"}}) {
        // The name in /proc changes with the exec; wait until it reads "sleep", or flock has given up.
        for (int i = 0; i < 200 && command_line(pid()) != "sleep 30" && !child_.wait_for(0); ++i) ::usleep(5000);
        locked_ = command_line(pid()) == "sleep 30";
    }
    ~LockHolder() { child_.wait_or_kill(0); }
    bool locked() const { return locked_; }
    pid_t pid() const { return child_.pid(); }

private:
    osa::board::Child child_;
    bool locked_ = false;
};

TEST_F(DoctorRun, BusyDeviceNamesTheHolder) {
    ScriptedBoard board;
    const LockHolder holder(board.device());
    ASSERT_TRUE(holder.locked());
    Doctor doctor({board.device()});
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "is locked by process " + std::to_string(holder.pid()) + " (sleep).\n")) << run.output;
    // The test itself holds the slave open, as the emulator does.
    EXPECT_TRUE(has(run.output, "It is also open in process " + std::to_string(::getpid()))) << run.output;
    EXPECT_TRUE(has(run.output, "ModemManager")) << run.output;
    EXPECT_TRUE(has(run.output, "brltty")) << run.output;
    EXPECT_TRUE(board.stays_silent(200ms)) << "the doctor talked on a device another process holds";
}

// The doctor opens the port with the programs' own line, so the lock of a running program keeps it
// off the port and names that program.
TEST_F(DoctorRun, PortThatDorvaneHoldsIsLockedByIt) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram dorvane = start_on_board("Dorvane", board, dir);
    ASSERT_EQ(board.next_command(), "ENGLISH");
    Doctor doctor({board.device()});
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "is locked by process " + std::to_string(dorvane.pid()) + " (Dorvane).\n")) << run.output;
    // Dorvane's own "OPEN" follows its pause whenever the doctor ends; nothing may come after it.
    EXPECT_EQ(board.next_command(), "OPEN") << "the doctor talked on a port that Dorvane holds";
    EXPECT_TRUE(board.stays_silent(200ms)) << "the doctor talked on a port that Dorvane holds";
}

TEST_F(DoctorRun, MissingDevice) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"/dev/osa-no-such-device"}, "The device /dev/osa-no-such-device does not exist."},
        {{"COM5:"}, "The device /dev/osa-gone does not exist."},
    };
    for (const auto& [arguments, words] : cases) {
        Doctor doctor(arguments, {{"OSA_COM5", "/dev/osa-gone"}});
        const Outcome run = doctor.finish();
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_TRUE(has(run.output, words)) << run.output;
        EXPECT_TRUE(has(run.output, "osa-doctor without arguments lists")) << run.output;
    }
}

std::string group_of(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "";
    const group* entry = ::getgrgid(info.st_gid);
    return entry != nullptr ? entry->gr_name : std::to_string(info.st_gid);
}

// The user nobody may not open the device, whose group gives that group read and write access.
void expect_permission_denied_as_nobody(const std::string& device) {
    SCOPED_TRACE(device);
    const std::string group = group_of(device);
    Doctor doctor({device}, {}, {"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "Permission denied: you may not open " + device + ".")) << run.output;
    if (group == "root") {
        EXPECT_TRUE(has(run.output, "It belongs to group root: only root may use it.")) << run.output;
        EXPECT_TRUE(has(run.output, "sudo usermod -aG dialout $USER")) << run.output;
    } else {
        EXPECT_TRUE(has(run.output, "It belongs to group " + group + ", and you are not in that group.")) << run.output;
        EXPECT_TRUE(has(run.output, "sudo usermod -aG " + group + " $USER")) << run.output;
    }
}

// As root the doctor runs as user nobody against the pty slave (root's, mode 620, group tty or
// root by how /dev/pts is mounted) and against a file of group tty with mode 660; as any other
// user against a file it may not open.
TEST_F(DoctorRun, NoPermissionNamesTheGroup) {
    ScriptedBoard board;
    WorkDir files;
    if (::geteuid() == 0) {
        if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv (util-linux) is missing";
        const group* tty = ::getgrnam("tty");
        ASSERT_NE(tty, nullptr);
        const std::string device = files.path() + "/ttyUSB9";
        files.write_file("ttyUSB9", "");
        ASSERT_EQ(::chmod(files.path().c_str(), 0755), 0);
        ASSERT_EQ(::chown(device.c_str(), 0, tty->gr_gid), 0);
        ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
        expect_permission_denied_as_nobody(device);
        expect_permission_denied_as_nobody(board.device());
        return;
    }
    files.write_file("forbidden", "");
    const std::string device = files.path() + "/forbidden";
    ::chmod(device.c_str(), 0);
    Doctor doctor({device});
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_TRUE(has(run.output, "Permission denied: you may not open " + device + ".")) << run.output;
    EXPECT_TRUE(has(run.output, "It belongs to group " + group_of(device) + ",")) << run.output;
}

TEST_F(DoctorRun, RefusedSettingsAndNoSerialLine) {
    ScriptedBoard board;
    WorkDir files;
    files.write_file("plain", "");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{board.device(), "1234"}, "The line settings (1234 baud, 8 data bits, no parity, 1 stop bit, RTS off, no flow control) were refused"},
        {{files.path() + "/plain"}, "opened, but it is no serial line"},
    };
    for (const auto& [arguments, words] : cases) {
        Doctor doctor(arguments);
        const Outcome run = doctor.finish();
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_TRUE(has(run.output, words)) << run.output;
    }
}

// What the machine has differs; the listing's form and its status agree whatever it is.
TEST_F(DoctorRun, ListingStatusFollowsWhatWasFound) {
    Doctor doctor({});
    const Outcome run = doctor.finish();
    if (run.output.starts_with("Serial ports found:\n")) {
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_TRUE(has(run.output, "\n  /dev/")) << run.output;
    } else {
        EXPECT_TRUE(run.output.starts_with("No serial port found.\n")) << run.output;
        EXPECT_EQ(run.status, 1) << run.output;
    }
}

TEST_F(DoctorRun, BadArgumentsEndWithStatus2) {
    Doctor doctor({"--wait"});
    const Outcome run = doctor.finish();
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.output, "");
}

// The value after "  NAME=" in the doctor's output.
std::string printed_value(const std::string& output, const std::string& name) {
    std::smatch match;
    if (!std::regex_search(output, match, std::regex("\n  " + name + "=([^\n]*)\n"))) return "";
    return match[1];
}

TEST_F(DoctorRun, PrintedLinesMakeDorvaneReachTheEmulatedBoard) {
    RunningProgram emulator(executable("osa-emulator"), {}, {}, "/");
    // The emulator ends its one line with LF alone.
    std::string device = emulator.next_line();
    if (device.ends_with("<LF>")) device.resize(device.size() - 4);
    ASSERT_TRUE(device.starts_with("/dev/")) << device;

    Doctor doctor({"COM1:"}, {{"OSA_COM1", device}});
    const Outcome run = doctor.finish();
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(has(run.output, "The board answered: OSA emulated board v1\n")) << run.output;

    // Exactly the printed lines: osa.ini in the program's folder, the setting in its environment.
    const auto com = printed_value(run.output, "com");
    const auto baud = printed_value(run.output, "baud");
    const auto path = printed_value(run.output, "OSA_COM1");
    EXPECT_EQ(com, "COM1:");
    EXPECT_EQ(path, device);
    WorkDir dir;
    dir.write_file("osa.ini", "com=" + com + "\r\nbaud=" + baud + "\r\n");
    RunningProgram dorvane(executable("Dorvane"), {}, {{"OSA_COM1", path}}, dir.path());
    EXPECT_EQ(dorvane.next_line(), "info string OSA emulated board v1");
    dorvane.close_input();
    EXPECT_EQ(dorvane.wait_exit(), 0);
}

}  // namespace
