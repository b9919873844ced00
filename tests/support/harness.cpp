#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace osatest {
namespace {

using Clock = std::chrono::steady_clock;

// Waits for bytes on fd and appends them; false on timeout, end of file or a read error.
bool read_available(int fd, std::string& into, std::chrono::milliseconds timeout, bool& ended) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
    if (ready <= 0) return false;
    char buffer[65536];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) {
        ended = true;
        return false;
    }
    into.append(buffer, static_cast<std::size_t>(got));
    return true;
}

std::chrono::milliseconds left_until(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? left : std::chrono::milliseconds(0);
}

std::string environment_value(const char* key) {
    const char* value = std::getenv(key);
    return value != nullptr ? value : "";
}

std::vector<std::string> words_of(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// The launcher named by the environment (see harness.h); no command words: programs run directly.
struct Launcher {
    std::vector<std::string> command;
    std::string exe_dir;
    std::string com_links;
};

const Launcher& launcher() {
    static const Launcher settings{words_of(environment_value("OSA_LAUNCHER")), environment_value("OSA_EXE_DIR"),
                                   environment_value("OSA_COM_LINKS")};
    return settings;
}

// Link comN follows the program's OSA_COMn; a port that the environment leaves out reaches no
// device, so that a test never talks to a real serial port.
void point_port_links(const std::map<std::string, std::string>& environment) {
    if (launcher().com_links.empty()) return;
    std::vector<std::filesystem::path> links;
    for (const auto& entry : std::filesystem::directory_iterator(launcher().com_links)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("com") && name.find('.') == std::string::npos) links.push_back(entry.path());
    }
    for (const auto& link : links) {
        const auto device = environment.find("OSA_COM" + link.filename().string().substr(3));
        osa::point_link(link, device != environment.end() ? device->second : "/nonexistent");
    }
}

// The launcher's own needs from the test's environment: Wine's settings, HOME and PATH.
std::map<std::string, std::string> with_launcher_environment(std::map<std::string, std::string> environment) {
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string key(text.substr(0, equals));
        if (key.starts_with("WINE") || key == "HOME" || key == "PATH")
            environment.emplace(key, std::string(text.substr(equals + 1)));
    }
    return environment;
}

// A program that has died must fail the test that writes to it, not end every test at once; the
// program itself keeps SIGPIPE at its default.
osa::board::Launch launch_of(const std::string& path, const std::vector<std::string>& arguments,
                             const std::map<std::string, std::string>& environment, const std::string& work_dir) {
    std::signal(SIGPIPE, SIG_IGN);
    // The path lookup finds a launcher given by its name; a program's own path is absolute.
    std::vector<std::string> words = launcher().command;
    words.push_back(path);
    words.insert(words.end(), arguments.begin(), arguments.end());
    if (under_launcher()) point_port_links(environment);
    return {.command = words,
            .environment = under_launcher() ? with_launcher_environment(environment) : environment,
            .inherit_environment = false,
            .work_dir = work_dir,
            .pipes = true,
            .default_sigpipe = true};
}

}  // namespace

bool under_launcher() { return !launcher().command.empty(); }

std::string executable(const std::string& name) {
    if (under_launcher()) return launcher().exe_dir + "/" + name + ".exe";
    return std::string(OSA_BUILD_DIR) + "/" + name;
}

void WorkDir::write_file(const std::string& name, std::string_view content) const {
    std::ofstream file(folder_.path() / name, std::ios::binary);
    file << content;
}

ScriptedBoard::ScriptedBoard(Path path) {
    open_pty();
    device_ = pty_path_;
    if (path == Path::pty) return;
    link_.emplace("osa-board");
    device_ = link_->path();
    link_->point_to(pty_path_);
}

void ScriptedBoard::open_pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
    pty_path_ = ::ptsname(master_);
    // Holding the slave open keeps the master readable before the program opens its end; raw mode
    // so that nothing is echoed before the program has configured the line.
    slave_ = ::open(pty_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    ::tcgetattr(slave_, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(slave_, TCSANOW, &raw);
}

ScriptedBoard::~ScriptedBoard() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
}

void ScriptedBoard::unplug() {
    hang_up();
    ::close(slave_);
    slave_ = -1;
    received_.clear();
    link_->remove();
}

void ScriptedBoard::plug_in() {
    open_pty();
    link_->point_to(pty_path_);
}

bool ScriptedBoard::fill(std::chrono::milliseconds timeout) {
    bool ended = false;
    return master_ >= 0 && read_available(master_, received_, timeout, ended);
}

std::string ScriptedBoard::next_command(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto end = received_.find("\r\n");
        if (end != std::string::npos) {
            std::string command = received_.substr(0, end);
            received_.erase(0, end + 2);
            return command;
        }
        if (!fill(left_until(deadline)) && Clock::now() >= deadline) return "<timeout>";
    }
}

bool ScriptedBoard::stays_silent(std::chrono::milliseconds time) { return received_.empty() && !fill(time); }

void ScriptedBoard::send(std::string_view bytes) {
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        ADD_FAILURE() << "short write to the pty";
}

void ScriptedBoard::expect(std::string_view command, std::string_view reply) {
    EXPECT_EQ(next_command(), command);
    send(reply);
}

void ScriptedBoard::send_unasked(std::string_view bytes) {
    send(bytes);
    const auto deadline = Clock::now() + 2s;
    int waiting = 0;
    while (::ioctl(slave_, FIONREAD, &waiting) == 0 && waiting < static_cast<int>(bytes.size())) {
        if (Clock::now() >= deadline) {
            ADD_FAILURE() << "the unasked bytes did not reach the program's end of the line";
            return;
        }
        ::usleep(1000);
    }
}

unsigned ScriptedBoard::line_speed() const {
    // Both ends of the slave share one set of terminal settings: the program's.
    termios settings{};
    if (::tcgetattr(slave_, &settings) != 0) return 0;
    const std::pair<speed_t, unsigned> speeds[] = {{B300, 300},     {B1200, 1200},   {B2400, 2400},
                                                   {B4800, 4800},   {B9600, 9600},   {B19200, 19200},
                                                   {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    for (const auto& [constant, bits_per_second] : speeds)
        if (::cfgetospeed(&settings) == constant) return bits_per_second;
    return 0;
}

void ScriptedBoard::hang_up() {
    ::close(master_);
    master_ = -1;
}

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment, const std::string& work_dir)
    : child_(launch_of(path, arguments, environment, work_dir)) {}

void RunningProgram::send_line(std::string_view text) { send_raw(std::string(text) + "\n"); }

void RunningProgram::send_raw(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(child_.input().get(), bytes.data(), bytes.size());
        if (put <= 0) {
            ADD_FAILURE() << "the program does not take its input";
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

bool RunningProgram::fill(std::chrono::milliseconds timeout) {
    const int output = child_.output().get();
    return output >= 0 && !output_ended_ && read_available(output, received_, timeout, output_ended_);
}

std::string RunningProgram::next_line(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto lf = received_.find('\n');
        if (lf != std::string::npos) {
            const bool crlf = lf > 0 && received_[lf - 1] == '\r';
            std::string line = received_.substr(0, crlf ? lf - 1 : lf);
            received_.erase(0, lf + 1);
            return crlf ? line : line + "<LF>";
        }
        if (!fill(left_until(deadline))) {
            if (output_ended_) return received_.empty() ? "<eof>" : std::exchange(received_, {}) + "<eof>";
            if (Clock::now() >= deadline) return "<timeout>";
        }
    }
}

std::string RunningProgram::rest_of_output(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (!output_ended_ && Clock::now() < deadline) fill(left_until(deadline));
    return std::exchange(received_, {});
}

bool RunningProgram::silent_for(std::chrono::milliseconds time) { return received_.empty() && !fill(time); }

RunningProgram start_on_board(const std::string& name, const ScriptedBoard& board, const WorkDir& dir,
                              const std::vector<std::string>& arguments,
                              const std::map<std::string, std::string>& extra_environment) {
    std::map<std::string, std::string> environment = extra_environment;
    environment["OSA_COM1"] = board.device();
    // Sanitizer builds need their options to reach the child too.
    for (const char* key : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "PATH"})
        if (const char* value = std::getenv(key)) environment[key] = value;
    return RunningProgram(executable(name), arguments, environment, dir.path());
}

RunningProgram start_greeted(const std::string& name, ScriptedBoard& board, const WorkDir& dir,
                             const std::string& identification) {
    RunningProgram program = start_on_board(name, board, dir);
    EXPECT_EQ(board.next_command(), "ENGLISH");
    board.expect("OPEN", identification + etb);
    EXPECT_EQ(program.next_line(), "info string " + identification);
    for (int mode_command = 0; mode_command < 2; ++mode_command) {
        (void)board.next_command();
        board.send(std::string(">") + etb);
    }
    return program;
}

std::chrono::microseconds cpu_time(pid_t pid) {
    // The scheduler's own count of time on a processor, in nanoseconds: finer than clock ticks. It
    // is kept per thread, and a launcher's process may run more than one.
    long long nanoseconds = 0;
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", ignored)) {
        std::ifstream stat(task.path() / "schedstat");
        long long thread_nanoseconds = 0;
        stat >> thread_nanoseconds;
        nanoseconds += thread_nanoseconds;
    }
    return std::chrono::microseconds(nanoseconds / 1000);
}

std::string command_line(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::replace(text.begin(), text.end(), '\0', ' ');
    // Wine pads the command line it rewrites with spaces.
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
}

}  // namespace osatest
