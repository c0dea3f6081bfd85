#pragma once

// The stage's short sound cues, made by the project (scripts/make-sounds) and built into the program.
// The draw asks for them here; the front end's player (StageSoundPlayer) plays them without blocking,
// tests install a double that records what was played, and without either they are silent.
class StageSounds {
public:
    enum class Cue { Start, Reveal, Fanfare };

    virtual ~StageSounds() = default;
    virtual void play(Cue cue) = 0;

    static StageSounds& instance();
    // Installs a double (tests); nullptr goes back to the front end's player. The caller keeps
    // ownership.
    static void install(StageSounds* sounds);
    // The front end's player.
    using Provider = StageSounds& (*)();
    static void setFrontEnd(Provider provider);
};
