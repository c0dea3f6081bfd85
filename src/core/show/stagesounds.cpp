#include "stagesounds.h"

namespace {
// Without a front end's player the cues are silent.
class Silence final : public StageSounds {
public:
    void play(Cue) override {}
};

StageSounds* g_installed = nullptr;
StageSounds::Provider g_frontEnd = nullptr;
} // namespace

StageSounds& StageSounds::instance() {
    if (g_installed)
        return *g_installed;
    if (g_frontEnd)
        return g_frontEnd();
    static Silence silence;
    return silence;
}

void StageSounds::install(StageSounds* sounds) {
    g_installed = sounds;
}

void StageSounds::setFrontEnd(Provider provider) {
    g_frontEnd = provider;
}
