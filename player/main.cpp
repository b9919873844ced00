// Quillrand: a human plays on the board inside a UCI GUI.
#include "player_loop.h"
#include "startup.h"

int main(int argc, char** argv) { return osa::run_program(osa::player_profile(), argc, argv, osa::run_player); }
