#pragma once

#include "dialogs.h"

#include <QColor>
#include <QDialog>
#include <QList>
#include <QStringList>
#include <optional>

class QAbstractButton;

// A box raised over the stage, for the hall to read: drawn in the stage's panel colours with a gold
// accent, its sizes designed for a 1080-line screen and scaled to the stage's, its caption inside the
// box (the window manager's title bar is small and grey on a projector), and answered from the
// keyboard and the presenter's clicker alike:
// - Tab / Shift+Tab and Left / Right move the focus between the buttons (drawn in gold, with a light
//   edge); Enter and Space answer the focused one, which is first the presenter's answer.
// - Y and N answer 是 and 否 where the box has them; Esc answers the escape answer.
// - The clicker's PageDown, PageUp and F5 answer the presenter's answer whatever has the focus (on a
//   box of one button, Left and Right do too: there is no focus to move).
// The press, its release and the repeats of a key held down never reach the window beneath, so a
// clicker that closes the box does not also start a draw. The mouse works as usual.
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
        int defaultIndex = 0;   // the button focused first
        int escapeIndex = 0;    // Esc and the close box
        int presenterIndex = 0; // the presenter's keys
        int yesIndex = -1;      // Y (-1: none)
        int noIndex = -1;       // N (-1: none)
    };

    // Shows the box modally over owner; the index of the button chosen.
    static int run(QWidget* owner, const Look& look, const Content& content);

    // Makes stage a window whose boxes are these, in its colours and at its screen's scale.
    static void setTheme(QWidget* stage, const QColor& back, const QColor& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    StageBox(QWidget* owner, const Look& look, const Content& content);
    void choose(int index);
    // The button focused and drawn so: the box keeps it itself, since the window system may leave the
    // box inactive under an always-on-top stage, where Qt's focus would show nothing.
    void setCurrent(int index);
    // What a key does here: moves the focus (step, wrapping round for Tab), or answers (the index),
    // or neither (nullopt: not the box's key).
    struct KeyAction {
        int step = 0;
        bool wrap = false;
        int answer = -1;
    };
    std::optional<KeyAction> actionOf(int key, Qt::KeyboardModifiers modifiers) const;

    Content m_content;
    QList<QAbstractButton*> m_buttons;
    int m_current = -1;
    int m_chosen = -1;
    int m_closingKey = 0;
};
