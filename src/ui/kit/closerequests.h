#pragma once

#include <QAbstractNativeEventFilter>

class QWidget;

// The window system's close of a window (its ✕, Alt+F4, the window manager's close) while a modal
// window blocks it: Qt drops such a request, and the program would stay open behind a box the
// operator may not even see. The main window is watched here: its close request, seen before Qt drops
// it, closes the modal windows from the top down (a box gives its safe answer; a window with unsaved
// edits asks about them as on its own close) and then the window itself. A modal window that refuses
// to close (its 取消) keeps the program open, as the operator chose.
class CloseRequests final : public QAbstractNativeEventFilter {
public:
    // Watches window (one at a time: the program's main window) from now until it is destroyed.
    static void watch(QWidget* window);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // Closes the modal windows above window from the top down, then window; false when one of them
    // refused to close. What a close request of a blocked window runs (public for the tests).
    static bool closeThrough(QWidget* window);
};
