#pragma once

#include <QFont>
#include <QPixmap>
#include <QPoint>
#include <QWidget>

// The strip across the top of the program's borderless windows and panels: the built-in dark red to
// gold band, optionally with the window's caption, and the handle by which the window is dragged.
class HeaderStrip : public QWidget {
    Q_OBJECT
public:
    explicit HeaderStrip(QWidget* parent, bool showCaption = false, bool dragsWindow = true);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPixmap m_band;
    bool m_showCaption;
    bool m_dragsWindow;
    bool m_dragging = false;
    QPoint m_offset;
};

// The built-in pictures live in the program's library, which registers them here (once).
void registerBuiltInPictures();

// A font of the family with the platform's Chinese faces behind it, so Chinese text renders crisply
// whatever the family.
QFont withCjkFallbacks(QFont font, const QString& family);
