#pragma once

#include <QObject>
#include <QPointer>

class CheckinService;
class ConsoleHost;
class ConsoleWindow;
class QScreen;

// The operator's console as the draw screen has it: opened from the draw screen's menu (or at start
// when it was open at the last end and the screens allow), on a screen other than the stage's, and
// kept there; the stage hides its controls while it is open. Remembered in prize.db
// (Setting/Console). While it is open, boxes and the operator's windows come up on its screen.
class ConsoleCenter : public QObject {
    Q_OBJECT
public:
    // checkin may be null.
    ConsoleCenter(ConsoleHost& host, CheckinService* checkin);
    ~ConsoleCenter() override;

    // Two screens or more: one for the stage, another for the console.
    static bool screensAllow();
    bool isOpen() const;
    // Opens the console beside the stage and remembers it; false (nothing changes) with one screen.
    bool open();
    // Closes it and gives the stage its controls back; remembered unless the program is ending.
    void close();
    // At start-up: opens the console when it was open at the last end and the screens allow.
    void openIfRemembered();
    // The operator asked the stage for the console (true) or to close it.
    void requested(bool open);
    // The program ends: the console goes with the stage and is opened again at the next start.
    void programEnding();

    ConsoleWindow* window() const;
    // Where the operator works: the console while it is open, else the draw screen.
    QWidget* operatorWindow() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void shut(bool remember);
    void remember(bool open);
    // On a screen other than the stage's (again after the stage or the screens moved).
    void keepApart();
    QScreen* consoleScreen() const;

    ConsoleHost& m_host;
    QWidget* m_stage;
    CheckinService* m_checkin;
    QPointer<ConsoleWindow> m_window;
    QPointer<QWidget> m_formerDialogParent;
    bool m_ending = false;
};
