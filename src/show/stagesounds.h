#pragma once

// The stage's short sound cues, made by the project (scripts/make-sounds) and built into the program.
// The real player plays them without blocking (Qt Multimedia's sound effect; on Windows the system's
// own wave player); tests install a double that records what was played.
class StageSounds {
public:
    enum class Cue { Start, Reveal, Fanfare };

    virtual ~StageSounds() = default;
    virtual void play(Cue cue) = 0;

    static StageSounds& instance();
    // Installs a double (tests); nullptr goes back to the real player. The caller keeps ownership.
    static void install(StageSounds* sounds);
};
