#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QTimer>

class QWidget;

// A small live picture of what the projector shows, for the operator's console: the stage as its
// window last painted it, scaled down. A picture is taken only after the stage has painted something
// new, and at most four times a second, and it repaints nothing: names rolling on a 4K projector cost
// the stage no more than without the console.
class StagePreview : public QObject {
    Q_OBJECT
public:
    // At most one picture in this many milliseconds.
    static constexpr int kInterval = 250;

    explicit StagePreview(QWidget* stage, QObject* parent = nullptr);

    // The largest picture wanted, in device pixels; the picture keeps the stage's proportions.
    void setSize(const QSize& pixels);
    // Pictures are taken only while active (the console is on screen).
    void setActive(bool active);
    bool isActive() const { return m_active; }

    const QImage& frame() const { return m_frame; }
    // Pictures taken so far.
    int framesTaken() const { return m_taken; }

    // Where the stage comes from: the pixels its window last painted (no repaint at all), or the stage
    // drawn again (where the window system keeps no picture of the window).
    enum class Source { Painted, Rendered };
    // The stage now, fitted into size.
    static QImage take(QWidget* stage, const QSize& size, Source source);
    // Whether the stage's painted pixels can be read here.
    static bool canReadPainted(QWidget* stage);

Q_SIGNALS:
    void frameChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void schedule();
    void takeNow();

    QPointer<QWidget> m_stage;
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    QSize m_size;
    QImage m_frame;
    bool m_active = false;
    int m_taken = 0;
};
