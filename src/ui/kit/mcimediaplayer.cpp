#include "mcimediaplayer.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <mmsystem.h>

namespace {
const QString kAlias = QStringLiteral("orvanta_music");

// Sends one command; the answer's text goes to reply when asked for.
bool send(const QString& command, QString* reply = nullptr) {
    wchar_t buffer[128] = {};
    const MCIERROR error = mciSendStringW(reinterpret_cast<const wchar_t*>(command.utf16()), buffer,
                                          sizeof buffer / sizeof buffer[0], nullptr);
    if (reply)
        *reply = QString::fromWCharArray(buffer);
    return error == 0;
}

qint64 number(const QString& command) {
    QString reply;
    if (!send(command, &reply))
        return 0;
    return reply.trimmed().toLongLong();
}
} // namespace

MciMediaPlayer::~MciMediaPlayer() {
    close();
}

void MciMediaPlayer::close() {
    if (m_open)
        send(QStringLiteral("close ") + kAlias);
    m_open = false;
    m_playing = false;
}

bool MciMediaPlayer::open(const QString& path) {
    close();
    if (!QFileInfo(path).isFile())
        return false;
    m_open = send(QStringLiteral("open \"%1\" type mpegvideo alias %2")
                      .arg(QDir::toNativeSeparators(path), kAlias)) &&
             send(QStringLiteral("set %1 time format milliseconds").arg(kAlias));
    if (!m_open)
        send(QStringLiteral("close ") + kAlias);
    return m_open;
}

void MciMediaPlayer::play() {
    if (!m_open)
        return;
    const qint64 end = length();
    const bool atEnd = end > 0 && position() >= end;
    m_playing = send(atEnd ? QStringLiteral("play %1 from 0").arg(kAlias) : QStringLiteral("play ") + kAlias);
    if (!m_playing)
        reportError();
}

void MciMediaPlayer::stop() {
    // As QMediaPlayer stops: the next play starts from the beginning.
    if (m_open) {
        send(QStringLiteral("stop ") + kAlias);
        send(QStringLiteral("seek %1 to start").arg(kAlias));
    }
    m_playing = false;
}

void MciMediaPlayer::setPosition(qint64 ms) {
    if (!m_open)
        return;
    // A seek stops the music: playing music goes on from there.
    if (m_playing)
        send(QStringLiteral("play %1 from %2").arg(kAlias).arg(ms));
    else
        send(QStringLiteral("seek %1 to %2").arg(kAlias).arg(ms));
}

qint64 MciMediaPlayer::length() const {
    return m_open ? number(QStringLiteral("status %1 length").arg(kAlias)) : 0;
}

qint64 MciMediaPlayer::position() const {
    return m_open ? number(QStringLiteral("status %1 position").arg(kAlias)) : 0;
}
#endif
