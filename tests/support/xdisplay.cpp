#include "xdisplay.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
bool run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    return process.waitForFinished() && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}
} // namespace

XDisplay::XDisplay(QSize screen, const QList<Monitor>& monitors) {
    qunsetenv("XAUTHORITY");
    const QString display = startXvfb(screen);
    if (display.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        return;
    }
    qputenv("DISPLAY", display.toLatin1());
    for (const Monitor& m : monitors) {
        const QRect& r = m.geometry;
        // A nominal 300 x 200 mm, so that Qt sees a plausible physical size.
        const QString layout =
            QStringLiteral("%1/300x%2/200+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
        if (!run(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), m.name, layout, m.output}))
            qFatal("xrandr (package x11-xserver-utils) could not lay out the monitor %s", qPrintable(m.name));
    }
    m_wm = std::make_unique<QProcess>();
    m_wm->setStandardOutputFile(QProcess::nullDevice());
    m_wm->setStandardErrorFile(QProcess::nullDevice());
    m_wm->start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    if (!m_wm->waitForStarted(5000))
        qFatal("openbox (package openbox) could not be started");
    // The window manager is up once it has named itself on the root window.
    QElapsedTimer clock;
    clock.start();
    while (rootWindows("_NET_SUPPORTING_WM_CHECK").isEmpty()) {
        if (clock.elapsed() > 10000)
            qFatal("openbox did not come up");
        QThread::msleep(50);
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
}

XDisplay::~XDisplay() {
    stop();
}

QString XDisplay::startXvfb(QSize screen) {
    int fds[2];
    if (pipe(fds) != 0) {
        m_skipReason = QStringLiteral("no pipe");
        return {};
    }
    const QByteArray size =
        QByteArray::number(screen.width()) + 'x' + QByteArray::number(screen.height()) + "x24";
    m_xvfb = fork();
    if (m_xvfb == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlives the test
        close(fds[0]);
        if (fds[1] != 3) {
            dup2(fds[1], 3);
            close(fds[1]);
        }
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        // -noreset keeps the monitor layout when the last client goes.
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", size.constData(), "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (m_xvfb < 0) {
        close(fds[0]);
        m_skipReason = QStringLiteral("fork failed");
        return {};
    }
    QByteArray number;
    QElapsedTimer clock;
    clock.start();
    while (!number.endsWith('\n') && clock.elapsed() < 15000) {
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, 500) <= 0)
            continue;
        char c;
        if (read(fds[0], &c, 1) != 1)
            break;
        number.append(c);
    }
    close(fds[0]);
    if (!number.endsWith('\n')) {
        m_skipReason = QStringLiteral("Xvfb did not start (is the xvfb package installed?)");
        stop();
        return {};
    }
    return QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

void XDisplay::stop() {
    if (m_wm && m_wm->state() != QProcess::NotRunning) {
        m_wm->terminate();
        if (!m_wm->waitForFinished(3000))
            m_wm->kill();
    }
    m_wm.reset();
    if (m_xvfb > 0) {
        kill(m_xvfb, SIGTERM);
        waitpid(m_xvfb, nullptr, 0);
    }
    m_xvfb = -1;
}

QList<quint64> XDisplay::rootWindows(const char* property) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QLatin1String(property)});
    if (!xprop.waitForFinished(5000))
        return {};
    const QString out = QString::fromLatin1(xprop.readAllStandardOutput());
    QList<quint64> ids;
    const qsizetype hash = out.indexOf(QLatin1Char('#'));
    if (hash < 0)
        return ids;
    static const QRegularExpression hex(QStringLiteral("0x[0-9a-fA-F]+"));
    for (const QRegularExpressionMatch& m : hex.globalMatch(out.mid(hash)))
        ids << m.captured().toULongLong(nullptr, 16);
    return ids;
}

quint64 XDisplay::activeWindow() {
    const QList<quint64> ids = rootWindows("_NET_ACTIVE_WINDOW");
    return ids.isEmpty() ? 0 : ids.first();
}

void XDisplay::typeKey(const QString& key) {
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
}

void XDisplay::closeWindow(quint64 window) {
    QProcess::execute(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"),
                                                 QStringLiteral("0x%1").arg(window, 0, 16)});
}
