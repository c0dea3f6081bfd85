#include "stagesoundplayer.h"

#include <QFile>
#include <QString>

#ifdef Q_OS_WIN
#include <QByteArray>
#include <array>
#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>
#else
#include <QSoundEffect>
#include <QUrl>
#include <array>
#include <memory>
#endif

// The cues are in the program's resources (a static library's, initialised on first use).
static void initResources() {
    Q_INIT_RESOURCE(resources);
}

namespace {
const char* resourceOf(StageSounds::Cue cue) {
    switch (cue) {
    case StageSounds::Cue::Start:
        return ":/sounds/start.wav";
    case StageSounds::Cue::Reveal:
        return ":/sounds/reveal.wav";
    case StageSounds::Cue::Fanfare:
        return ":/sounds/fanfare.wav";
    }
    return ":/sounds/start.wav";
}

#ifdef Q_OS_WIN
// The system's wave player plays a sound held in memory, asynchronously; a new cue replaces the last.
class SystemSounds final : public StageSounds {
public:
    void play(Cue cue) override {
        QByteArray& data = m_data[static_cast<int>(cue)];
        if (data.isEmpty()) {
            QFile file(QString::fromLatin1(resourceOf(cue)));
            if (!file.open(QIODevice::ReadOnly))
                return;
            data = file.readAll();
        }
        PlaySoundW(reinterpret_cast<LPCWSTR>(data.constData()), nullptr,
                   SND_MEMORY | SND_ASYNC | SND_NODEFAULT);
    }

    // A cue still playing reads its sound from memory: it is stopped before the memory goes.
    void release() {
        PlaySoundW(nullptr, nullptr, 0);
        m_data = {};
    }

private:
    std::array<QByteArray, 3> m_data;
};
#else
// Qt Multimedia's low-latency player for short uncompressed sounds; each cue is loaded once, on its
// first use, so that a run without sound never opens the sound system.
class SystemSounds final : public StageSounds {
public:
    void play(Cue cue) override {
        if (m_released)
            return;
        std::unique_ptr<QSoundEffect>& effect = m_effects[static_cast<int>(cue)];
        if (!effect) {
            effect = std::make_unique<QSoundEffect>();
            effect->setSource(QUrl(QStringLiteral("qrc") + QString::fromLatin1(resourceOf(cue))));
            effect->setVolume(0.8f);
        }
        effect->play();
    }

    // Qt Multimedia's players must go while the application object is there: their sample cache posts
    // an event when a player is deleted, which after the application's end corrupts the heap.
    void release() {
        m_released = true;
        m_effects = {};
    }

private:
    std::array<std::unique_ptr<QSoundEffect>, 3> m_effects;
    bool m_released = false;
};
#endif

} // namespace

namespace {
SystemSounds& sounds() {
    static const bool initialised = (initResources(), true);
    (void)initialised;
    static SystemSounds real;
    return real;
}
} // namespace

StageSounds& StageSoundPlayer::system() {
    return sounds();
}

void StageSoundPlayer::release() {
    sounds().release();
}
