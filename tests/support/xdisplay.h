#pragma once

#include <QList>
#include <QProcess>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>

#include <sys/types.h>

// A private X desktop for the tests that need what offscreen cannot show (stacking, focus, screens):
// Xvfb on a display number it picks itself (-displayfd, so runs side by side never meet), optional
// RandR monitors laid over its screen, and openbox as the window manager. Made in main() before the
// QApplication: it points DISPLAY and QT_QPA_PLATFORM (xcb) at itself, or, when no X server can start
// here, sets the offscreen platform and says why in skipReason(). Stopped (openbox, then Xvfb) when
// destroyed; Xvfb never outlives the test process.
class XDisplay {
public:
    struct Monitor {
        QString name;   // as Qt reports the screen's name
        QRect geometry; // on the X screen
        QString output; // the RandR output it stands for ("screen" for the first, "none" for more)
    };

    explicit XDisplay(QSize screen, const QList<Monitor>& monitors = {});
    ~XDisplay();
    XDisplay(const XDisplay&) = delete;
    XDisplay& operator=(const XDisplay&) = delete;

    bool isUp() const { return m_skipReason.isEmpty(); }
    // Why there is no display (Xvfb missing or not starting); empty when it is up.
    QString skipReason() const { return m_skipReason; }

    // Window ids of a root window property such as _NET_CLIENT_LIST_STACKING (bottom to top).
    static QList<quint64> rootWindows(const char* property);
    // The window manager's active window, 0 when none.
    static quint64 activeWindow();
    // Presses a key (an xdotool key name) through the X server, into whichever window has the focus.
    static void typeKey(const QString& key);
    // Asks the window manager to close the window, as its title bar's close does (WM_DELETE_WINDOW).
    static void closeWindow(quint64 window);

private:
    QString startXvfb(QSize screen);
    void stop();

    pid_t m_xvfb = -1;
    std::unique_ptr<QProcess> m_wm;
    QString m_skipReason;
};
