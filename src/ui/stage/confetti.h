#pragma once

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRect>
#include <QTimer>
#include <QWidget>

// A grand prize's confetti: gold, red and white flakes burst from the top of the stage and flutter
// down over the winners for as long as it runs, those that reach the bottom coming in again at the
// top; in its last kFadeMs no more come in and all of them fade out. Each frame repaints only where
// flakes were and are, so the winners' cards beneath are redrawn in small pieces; nothing runs before
// start() or after the end.
class Confetti : public QWidget {
public:
    static constexpr int kFadeMs = 1500;

    explicit Confetti(QWidget* parent);

    // Runs for the given time (ms) from now.
    void start(int milliseconds);
    // Ends at once and clears the flakes away.
    void stop();
    bool animating() const { return m_timer->isActive(); }
    // How strongly the flakes are painted now: 1 until the fade, then down to 0 at the end.
    double opacity() const;
    // How many flakes are within the widget now.
    int flakesInView() const;
    // Frames painted since the last start (a measure for tests and benchmarks).
    int frames() const { return m_frames; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Flake {
        QPointF at;
        QPointF velocity; // pixels per frame
        double angle = 0; // degrees
        double spin = 0;  // degrees per frame
        double size = 0;
        QColor colour;
        QRect drawn; // where it was last painted
    };
    void step();
    QRect boundsOf(const Flake& flake) const;
    quint32 next(); // a small generator of its own: the flakes are no part of any draw

    QList<Flake> m_flakes;
    QTimer* m_timer = nullptr; // a frame each tick ("confetti_frames")
    qint64 m_endFrame = 0;
    qint64 m_frame = 0;
    int m_frames = 0;
    quint32 m_state = 0x9E3779B9u;
};
