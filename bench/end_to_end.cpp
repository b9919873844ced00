// End-to-end figures of the real executables on a pseudo-terminal: reply latency, CPU while the
// board is silent, long "position" lines and peak memory. Prints one line per figure.
#include "harness.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <thread>

namespace osatest {
namespace {

using Clock = std::chrono::steady_clock;
const std::string ack = std::string(">") + etb;

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }


long peak_resident_kib(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

// From the end-of-reply character reaching the pty to the UCI line it completes.
void reply_latency(const std::string& name) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted(name, board, dir);
    std::vector<double> samples;
    for (int i = 0; i < 1000; ++i) {
        program.send_line("board");
        board.next_command();
        const auto sent = Clock::now();
        board.send("listing" + ack);
        program.next_line();
        samples.push_back(microseconds(Clock::now() - sent));
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-9s reply latency over 1000 exchanges: median %.1f us, 99th percentile %.1f us\n", name.c_str(),
                samples[500], samples[990]);
}

void silent_board_cpu(const std::string& name) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_on_board(name, board, dir);
    board.next_command();
    board.next_command();  // "OPEN", never answered
    const auto before = cpu_time(program.pid());
    std::this_thread::sleep_for(std::chrono::seconds(10));
    std::printf("%-9s CPU while waiting 10 s on a silent board: %lld us\n", name.c_str(),
                static_cast<long long>((cpu_time(program.pid()) - before).count()));
}

void long_position_lines(const std::string& name) {
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program = start_greeted(name, board, dir);
    auto round_trip = [&](const std::string& lines) {
        const auto start = Clock::now();
        program.send_raw(lines + "isready\n");
        program.next_line(60s);
        return microseconds(Clock::now() - start);
    };
    double baseline = 1e9;
    for (int i = 0; i < 20; ++i) baseline = std::min(baseline, round_trip(""));
    for (int moves : {10000, 100000}) {
        std::string line = "position startpos moves";
        for (int i = 0; i < moves; ++i) line += i % 2 ? " g8f6" : " g1f3";
        // A line of the same length that matches no command costs the transfer through the pipe.
        const std::string ignored(line.size(), 'x');
        double best = 1e9;
        double transfer = 1e9;
        for (int i = 0; i < 5; ++i) {
            best = std::min(best, round_trip(line + "\n") - baseline);
            transfer = std::min(transfer, round_trip(ignored + "\n") - baseline);
        }
        std::printf("%-9s \"position startpos moves\" with %d moves: %.0f us, of which %.0f us pass the pipe\n",
                    name.c_str(), moves, best, transfer);
    }
    std::printf("%-9s peak resident memory after them: %ld KiB\n", name.c_str(), peak_resident_kib(program.pid()));
}

// With busy=answer, 100 times: from writing the GUI's bytes to the "readyok" they ask for; after
// each, what the board and the program still have to do.
void readyok_times(const std::string& name, RunningProgram& program, const std::string& bytes,
                   const std::function<void()>& after_each, const char* when) {
    std::vector<double> samples;
    for (int i = 0; i < 100; ++i) {
        const auto sent = Clock::now();
        program.send_raw(bytes);
        const std::string answer = program.next_line();
        samples.push_back(microseconds(Clock::now() - sent));
        if (answer != "readyok") std::printf("%-9s answered \"%s\" to isready %s\n", name.c_str(), answer.c_str(), when);
        after_each();
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-9s readyok %s (busy=answer), 100 times: median %.1f us, maximum %.1f us\n", name.c_str(), when,
                samples[50], samples[99]);
}

// While Dorvane waits for the board's search report.
void readyok_during_board_wait() {
    ScriptedBoard board;
    WorkDir dir;
    dir.write_file("osa.ini", "busy=answer\n");
    RunningProgram program = start_greeted("Dorvane", board, dir);
    program.send_line("go");
    board.expect("PLAY", ack);
    board.next_command();  // "SENDINFO", never answered
    readyok_times("Dorvane", program, "isready\n", [] {}, "during a board wait");
}

// "isready" in the same read as "go", while Quillrand waits for the board's answer to "ANALYSIS";
// the board answers only after it.
void readyok_behind_go() {
    ScriptedBoard board;
    WorkDir dir;
    dir.write_file("osa.ini", "busy=answer\n");
    RunningProgram program = start_greeted("Quillrand", board, dir);
    const auto board_moves = [&] {
        board.expect("ANALYSIS", ack + "e2-e4" + std::string(1, etb));
        program.next_line();  // bestmove
    };
    readyok_times("Quillrand", program, "go\nisready\n", board_moves, "for isready in the same read as go");
}

// With reconnect=on: the CPU that 10 s of a vanished board cost, and the time from the device's
// return to the line that says the board is back (the greeting, the mode commands and the position
// setup answered at once).
void reconnect_figures(const std::string& name) {
    ScriptedBoard board(ScriptedBoard::Path::link);
    WorkDir dir;
    dir.write_file("osa.ini", "reconnect=on\n");
    RunningProgram program = start_greeted(name, board, dir);
    program.send_line("position startpos moves e2e4 e7e5");
    program.send_line("go");
    while (board.next_command() != "MOVE e7-e5") board.send(ack);
    board.unplug();
    program.next_line();  // the line that says the board is lost
    const auto before = cpu_time(program.pid());
    std::this_thread::sleep_for(std::chrono::seconds(10));
    const auto outage_cpu = cpu_time(program.pid()) - before;
    board.plug_in();
    const auto returned = Clock::now();
    for (std::string line; !line.ends_with(" is back") && !line.ends_with("<eof>");) {
        const std::string command = board.next_command(20ms);
        if (command == "OPEN") board.send("Board" + std::string(1, etb));
        else if (command != "<timeout>" && command != "ENGLISH") board.send(ack);
        line = program.next_line(1ms);
    }
    std::printf("%-9s reconnect: CPU during a 10 s outage %lld us; from the device's return to the board-back line "
                "%.0f ms\n",
                name.c_str(), static_cast<long long>(outage_cpu.count()), microseconds(Clock::now() - returned) / 1000);
}

}  // namespace
}  // namespace osatest

int main() {
    osatest::readyok_during_board_wait();
    osatest::readyok_behind_go();
    for (const char* name : {"Quillrand", "Dorvane"}) {
        osatest::reply_latency(name);
        osatest::long_position_lines(name);
        osatest::silent_board_cpu(name);
        osatest::reconnect_figures(name);
    }
}
