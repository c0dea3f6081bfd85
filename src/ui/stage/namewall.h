#pragma once

#include "largetext.h"

#include <QCache>
#include <QColor>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

// The name wall: the hall's drawable names on a sphere that turns, seen in perspective (nearer names
// larger and brighter). While the names roll the sphere spins and the names of each tick light up
// wherever they are; at the reveal it slows to a halt, the winners fly out of it to the front as cards
// and the rest dims. It only shows: who wins is decided and saved elsewhere, and the cards show
// exactly the lines they are given.
//
// A frame is cheap: every name is rendered once per size into an image and copied from there, the
// background is one cached picture, frames come 25 times a second and repaint only the
// sphere's square (the cards' area too during a reveal). Idle, nothing runs and nothing repaints.
class NameWall : public QWidget {
    Q_OBJECT
public:
    // At most this many names are on the sphere at once. A longer list shows a sample that changes
    // as the sphere turns: a name turning out of sight makes room for the next of the list in a
    // shuffled order that visits every line, so every name comes round.
    static constexpr int kMaxSlots = 220;

    explicit NameWall(QWidget* parent = nullptr);

    // Every drawable entrant line; the wall shows each line's first field (the name).
    void setNames(const QStringList& lines);
    void setColors(const QColor& background, const QColor& text, const QColor& accent);
    // What the hall sees of a line (the names and cards show that; the lines given stay what is
    // matched); without it the lines as they are.
    void setHallText(std::function<QString(const QString&)> hallText) { m_hallText = std::move(hallText); }

    // The sphere starts turning.
    void startRoll();
    // The lines of this tick glow and grow for a moment; a line not on the sphere is first put in the
    // place of a name on its visible side.
    void light(const QStringList& lines);
    // The roll ends: the sphere slows to a halt within about a second, the winners come to the front
    // and the rest dims.
    void reveal(const QStringList& winners);
    // Ends any animation at once: after a reveal its end state, during a roll a still sphere.
    void finish();
    // Back to a still sphere without winners.
    void stop();
    bool animating() const { return m_timer.isActive(); }

    // What the wall shows, for the stage and its tests: the names on the sphere, and the winner cards
    // (the name, the rest of the line, and where the card ends up).
    struct Card {
        QString line;
        QString name;
        QString rest;
        QRect rect;
    };
    QStringList sphereNames() const;
    QList<Card> cards() const { return m_cards; }

Q_SIGNALS:
    // The reveal's animation came to its end by itself (not through finish() or stop()).
    void revealFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    enum class Phase { Idle, Rolling, Revealing, Revealed };
    struct Slot {
        float x = 0, y = 0, z = 0; // place on the unit sphere
        QString line;
        QString name;
        double litAt = -100; // when it was last lit (seconds on m_clock)
        bool hidden = false; // flew out as a winner card
    };
    struct Projected {
        QPointF centre;
        double scale; // of the name's size, 1 at the sphere's centre depth
        double depth; // -1 at the back to 1 at the front
    };

    void frame();
    double now() const;
    double revealProgress() const;
    Projected project(const Slot& slot, double angle) const;
    void put(int slot, const QString& line);
    bool putNext(int slot);
    void layoutCards();
    void renderCards();
    void renderBackground();
    const QImage& nameImage(const QString& name, int bucket, bool lit);
    QRect sphereRect() const;
    QPointF sphereCentre() const;
    double radius() const;
    double unit() const; // one design pixel at this height (the stage is designed for 1080 lines)

    QString hallText(const QString& line) const { return m_hallText ? m_hallText(line) : line; }

    std::function<QString(const QString&)> m_hallText;
    QStringList m_lines;
    // The shuffled order: line m_cursor comes next, then m_cursor + m_stride (modulo the count); the
    // stride is prime to the count, so the walk visits every line.
    qsizetype m_cursor = 0;
    qsizetype m_stride = 1;
    QList<Slot> m_slots;
    QHash<QString, int> m_slotOfLine;

    QColor m_background{0x8E, 0x0B, 0x16};
    QColor m_text{255, 255, 0};
    QColor m_accent{0xD4, 0xA0, 0x17};

    Phase m_phase = Phase::Idle;
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_lastFrame = 0;
    double m_angle = 0;
    double m_speed = 0; // radians a second
    double m_phaseStart = 0;
    double m_speedAtReveal = 0;

    QList<Card> m_cards;
    QList<QImage> m_cardImages;
    QList<QRectF> m_cardFrom; // where each card starts its flight
    QRect m_cardsArea;

    QImage m_backgroundImage;
    QCache<QString, QImage> m_images{160 * 1024 * 1024};
    LargeText m_largeText;
};
