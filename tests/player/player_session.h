// Quillrand run as the GUI runs it, on a scripted board, past its opening dialogue.
#pragma once

#include "harness.h"

#include <string>
#include <string_view>
#include <vector>

namespace osatest {

const std::string eor(1, etb);

// The lines that answer "uci" before the board is asked for a new game.
const std::vector<std::string> identification = {
    "id name Quillrand V1.1", "id author Jorvik Tamsel", "option name OwnBook type check default true"};

struct PlayerSession {
    // The settings file holds the given text (none when it is empty).
    explicit PlayerSession(std::string_view settings = "");
    ScriptedBoard board;
    WorkDir dir;
    RunningProgram program;
};

// Each command in order, each answered with the end-of-reply character alone.
void expect_commands(ScriptedBoard& board, const std::vector<std::string>& commands);

// The hand-over of the GUI's move in board notation, plain or with flip.
void expect_hand_over(ScriptedBoard& board, const std::string& move);
void expect_hand_over_with_flip(ScriptedBoard& board, const std::string& move);

// Answers "ANALYSIS", sends the report bytes and returns the next line the program writes.
std::string human_plays(PlayerSession& session, std::string_view report);

}  // namespace osatest
