#pragma once

#include "stagesounds.h"

// The stage's cues on the computer's speakers (the program installs it at start).
namespace StageSoundPlayer {
StageSounds& system();
}
