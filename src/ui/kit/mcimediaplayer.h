#pragma once

#include "mediaplayer.h"

#ifdef Q_OS_WIN
// The background music through Windows' media control interface (winmm's mciSendString), which
// plays MP3 files with the system's own decoders: Windows builds need no Qt Multimedia.
class MciMediaPlayer : public MediaPlayer {
public:
    MciMediaPlayer() = default;
    MciMediaPlayer(const MciMediaPlayer&) = delete;
    MciMediaPlayer& operator=(const MciMediaPlayer&) = delete;
    ~MciMediaPlayer() override;

    bool open(const QString& path) override;
    bool isOpen() const override { return m_open; }
    void play() override;
    void stop() override;
    void setPosition(qint64 ms) override;
    qint64 length() const override;
    qint64 position() const override;

private:
    void close();
    bool m_open = false;
    bool m_playing = false;
};
#endif
