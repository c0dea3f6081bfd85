#pragma once

#include "largetext.h"

#include <QList>
#include <QStringList>
#include <QTextEdit>

// The rolling display: the names of a tick, one a line, centred in a red band with gold edges. A
// read-only text box whose text is the lines shown, but drawn by itself, so that a tick repaints only
// the ink of the names that changed. Ten ticks a second then cost
// about the same on a 4K projector as on a 1080p one.
class RollingDisplay : public QTextEdit {
public:
    explicit RollingDisplay(QWidget* parent);

    // The lines of the next tick.
    void showLines(const QStringList& lines);
    // The gold edges' thickness in pixels.
    void setEdge(int pixels);
    // Pixels at the top that something drawn above the display covers (the prize's band): the names
    // are centred in the rest.
    void setReservedTop(int pixels);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct Line {
        QString text;     // as drawn (a line too wide for the stage ends with "…")
        QString source;   // as given
        QPointF baseline; // where the centred text starts
        QRect ink;        // what drawing it covers (and a change of it repaints)
    };
    Line placed(int index, const QString& text) const;
    void placeAll();

    QList<Line> m_lines;
    int m_edge = 2;
    int m_reservedTop = 0;
    LargeText m_largeText;
};
