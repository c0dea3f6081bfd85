#pragma once

#include "stagesounds.h"

// The stage's cues on the computer's speakers (the program installs it at start).
namespace StageSoundPlayer {
StageSounds& system();
// Stops and frees the players; no cue plays afterwards. Called before the application object ends.
void release();
} // namespace StageSoundPlayer
