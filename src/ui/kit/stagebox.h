#pragma once

#include "dialogs.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QStringList>

class QAbstractButton;

// A box raised over the stage, for the hall to read: drawn in the stage's panel colours with a gold
// accent, its sizes designed for a 1080-line screen and scaled to the stage's, its caption inside the
// box (the window manager's title bar is small and grey on a projector), and answered by the
// presenter's keys. PageDown, Right, Space and Enter choose the presenter's answer; the press, its
// release and the repeats of a key held down never reach the window beneath, so a clicker that closes
// the box does not also start a draw. Esc chooses the escape answer; the mouse works as usual.
class StageBox : public QDialog {
    Q_OBJECT
public:
    struct Look {
        QColor back = Qt::red;
        QColor text = Qt::yellow;
        QColor accent = QColor(0xF5, 0xC8, 0x4C); // the gold of the header strips
        double scale = 1.0;                       // the stage's scale (1 on a 1080-line screen)
    };
    struct Content {
        Dialogs::Icon icon = Dialogs::Icon::Information;
        QString caption;
        QString text;
        QStringList buttons;    // left to right
        int defaultIndex = 0;   // the focused button, drawn in gold
        int escapeIndex = 0;    // Esc and the close box
        int presenterIndex = 0; // the presenter's keys
    };

    // Shows the box modally over owner; the index of the button chosen.
    static int run(QWidget* owner, const Look& look, const Content& content);

    // Makes stage a window whose boxes are these, in its colours and at its screen's scale.
    static void setTheme(QWidget* stage, const QColor& back, const QColor& text);

    // Whether the key (without Ctrl, Alt or Meta) is one the presenter answers a box with.
    static bool answersBox(int key, Qt::KeyboardModifiers modifiers);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StageBox(QWidget* owner, const Look& look, const Content& content);
    void choose(int index);

    Content m_content;
    QList<QAbstractButton*> m_buttons;
    int m_chosen = -1;
    int m_closingKey = 0;
};
