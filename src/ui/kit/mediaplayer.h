#pragma once

#include <QString>
#include <functional>
#include <memory>

// The background music player: open a file, play from the beginning, stop, and tell the length and
// the current position in milliseconds. The real one wraps QMediaPlayer; tests install a fake.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    // Opens the file (closing what was open); false when the media layer cannot take it.
    virtual bool open(const QString& path) = 0;
    virtual bool isOpen() const = 0;
    // Plays from the current position; after the end, from the beginning.
    virtual void play() = 0;
    virtual void stop() = 0;
    virtual void setPosition(qint64 ms) = 0;
    virtual qint64 length() const = 0;
    // The playing position; equal to length() once the music has reached its end.
    virtual qint64 position() const = 0;

    // Called when the media layer reports that the music cannot play (it may do so long after
    // open() said yes, from the event loop).
    void onError(std::function<void()> handler) { m_errorHandler = std::move(handler); }

    using Factory = std::function<std::unique_ptr<MediaPlayer>()>;
    // Makes the player the program uses (QMediaPlayer unless a test installed another factory).
    static std::unique_ptr<MediaPlayer> create();
    static void installFactory(Factory factory);

protected:
    void reportError() {
        if (m_errorHandler)
            m_errorHandler();
    }

private:
    std::function<void()> m_errorHandler;
};
