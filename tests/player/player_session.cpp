#include "player_session.h"

#include <gtest/gtest.h>

namespace osatest {
namespace {

RunningProgram opened_player(ScriptedBoard& board, const WorkDir& dir, std::string_view settings) {
    if (!settings.empty()) dir.write_file("osa.ini", settings);
    RunningProgram program = start_on_board("Quillrand", board, dir);
    EXPECT_EQ(board.next_command(), "ENGLISH");
    board.expect("OPEN", "Board" + eor);
    EXPECT_EQ(program.next_line(), "info string Board");
    expect_commands(board, {"SENDINFO OFF", "BOARD ON"});
    return program;
}

}  // namespace

PlayerSession::PlayerSession(std::string_view settings) : program(opened_player(board, dir, settings)) {}

void expect_commands(ScriptedBoard& board, const std::vector<std::string>& commands) {
    for (const std::string& command : commands) board.expect(command);
}

void expect_hand_over(ScriptedBoard& board, const std::string& move) {
    expect_commands(board, {"BOARD OFF", "MOVE " + move, "BOARD ON", "NORMAL"});
}

void expect_hand_over_with_flip(ScriptedBoard& board, const std::string& move) {
    expect_commands(board, {"PLAY", "BOARD OFF", "TAKEBACK", "MOVE " + move, "BOARD ON", "NORMAL"});
}

std::string human_plays(PlayerSession& session, std::string_view report) {
    session.board.expect("ANALYSIS");
    session.board.send(report);
    return session.program.next_line();
}

}  // namespace osatest
