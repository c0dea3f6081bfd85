#pragma once

#include "presenterkeys.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>

// Puts the presenter's keys in front of every key press that reaches the windows it serves (whatever
// control has the focus there), and hands each action to the stage. Boxes, menus and drop-down lists
// are windows of their own and keep their keys.
class PresenterKeyFilter : public QObject {
public:
    // A widget laid over the stage that takes its own keys (the check-in screen) sets this property;
    // keys pressed in it, or in its children, are left to it.
    static constexpr const char* kOwnKeys = "presenterLeavesKeys";

    // What the stage does for each action. scroll returns false when the key should go on to the
    // focused control instead (the winners grid moves its current cell itself).
    struct Stage {
        std::function<bool()> rolling;
        std::function<void(bool clicker)> toggle; // clicker: the clicker's draw key, not Space / Enter
        std::function<void()> previousPrize;
        std::function<bool(int rows)> scroll;
        std::function<void()> close;
        std::function<void(PresenterKeys::Cover)> cover;
    };

    // Installed on the application; a deleted filter is taken off by Qt itself.
    PresenterKeyFilter(Stage stage, QObject* parent);

    // Key presses in this window (a stage or a console) go through the filter. While confirmToggles
    // says so, Space and Enter there work the draw toggle whatever has the focus.
    void serve(QWidget* window, std::function<bool()> confirmToggles = {});
    PresenterKeys::Cover cover() const { return m_keys.cover(); }
    // Takes the cover away (a click on it).
    void uncover();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Served {
        QPointer<QWidget> window;
        std::function<bool()> confirmToggles;
    };
    // The served window the receiver belongs to, or null.
    const Served* served(const QObject* watched) const;

    Stage m_stage;
    PresenterKeys m_keys;
    QList<Served> m_windows;
    // The last key released (its window-system time), to know the repeats of a key held down.
    struct Release {
        int key = 0;
        quint64 timestamp = 0;
    };
    Release m_lastRelease;
    bool m_repeating = false;
};
