#include "mediaplayer.h"

#ifdef Q_OS_WIN
#include "mcimediaplayer.h"
#else
#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>
#endif

namespace {
#ifndef Q_OS_WIN
// QMediaPlayer behind the seam. Media errors (no sound device, an undecodable file) are never shown:
// the draw goes on silently.
class QtMediaPlayer : public MediaPlayer {
public:
    QtMediaPlayer() {
        m_player.setAudioOutput(&m_output);
        QObject::connect(&m_player, &QMediaPlayer::errorOccurred, &m_player,
                         [this](QMediaPlayer::Error, const QString&) {
                             m_failed = true;
                             reportError();
                         });
    }
    bool open(const QString& path) override {
        m_failed = false;
        m_player.stop();
        m_path = path;
        m_player.setSource(QUrl::fromLocalFile(path));
        return !m_failed && m_player.mediaStatus() != QMediaPlayer::InvalidMedia && QFileInfo::exists(path);
    }
    bool isOpen() const override { return !m_path.isEmpty() && !m_failed; }
    void play() override {
        if (!m_failed)
            m_player.play();
    }
    void stop() override { m_player.stop(); }
    void setPosition(qint64 ms) override { m_player.setPosition(ms); }
    qint64 length() const override { return m_player.duration(); }
    qint64 position() const override {
        if (m_player.mediaStatus() == QMediaPlayer::EndOfMedia)
            return m_player.duration();
        return m_player.position();
    }

private:
    QMediaPlayer m_player;
    QAudioOutput m_output;
    QString m_path;
    bool m_failed = false;
};
using SystemMediaPlayer = QtMediaPlayer;
#else
using SystemMediaPlayer = MciMediaPlayer;
#endif

MediaPlayer::Factory& factorySlot() {
    static MediaPlayer::Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<MediaPlayer> MediaPlayer::create() {
    if (factorySlot())
        return factorySlot()();
    return std::make_unique<SystemMediaPlayer>();
}

void MediaPlayer::installFactory(Factory factory) {
    factorySlot() = std::move(factory);
}
