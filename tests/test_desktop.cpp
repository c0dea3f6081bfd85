// The windows on a real desktop: a private X server (Xvfb) with a window manager (openbox). A box
// raised from each always-on-top window must be stacked above that window, hold the keyboard focus,
// and give the focus back when it closes, so that the keys work on the window again. Keys are typed
// through the X server (xdotool), so they go where the window manager's focus really is.
#include "allprize.h"
#include "changepassword.h"
#include "dialogs.h"
#include "lotteryapp.h"
#include "mainhelp.h"
#include "password.h"
#include "setting.h"
#include "testenv.h"
#include "unit1.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Xvfb on a display number it chooses itself (-displayfd), so test runs side by side never meet.
class VirtualDisplay {
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay() { stop(); }

    // The display's name (":N"), or an empty text with the reason in why.
    QString start(QString& why) {
        int fds[2];
        if (pipe(fds) != 0) {
            why = QStringLiteral("no pipe");
            return {};
        }
        m_pid = fork();
        if (m_pid == 0) {
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
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1920x1080x24", "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (m_pid < 0) {
            close(fds[0]);
            why = QStringLiteral("fork failed");
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
            why = QStringLiteral("Xvfb did not start (is the xvfb package installed?)");
            stop();
            return {};
        }
        return QLatin1Char(':') + QString::fromLatin1(number.trimmed());
    }

    void stop() {
        if (m_pid > 0) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

QString g_skipReason;

// Window ids of a root window property such as _NET_CLIENT_LIST_STACKING (bottom to top).
QList<quint64> rootWindows(const char* property) {
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

quint64 activeX11Window() {
    const QList<quint64> ids = rootWindows("_NET_ACTIVE_WINDOW");
    return ids.isEmpty() ? 0 : ids.first();
}

// Presses a key through the X server, into whichever window has the focus.
void typeKey(const QString& key) {
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), key});
}

// Whether the window is the window manager's active window and Qt's; waits for it a while.
bool becomesActive(QWidget* window) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (activeX11Window() == window->winId() && QApplication::activeWindow() == window)
            return true;
        QTest::qWait(50);
    }
    return false;
}

// What a box showed while it was open.
struct BoxSeen {
    QString kind;       // the box's class, "" when none appeared
    bool owned = false; // a child of its owner window
    bool above = false; // stacked above its owner
    bool focused = false;
    bool escClosed = false; // Esc typed into the X server closed it
    QString stacking;       // for the failure message
};

// Runs raise(), which opens one modal box from owner, and looks at the box while it is open: once it
// is above its owner and active (or after 5 s) Esc is typed; a box still open 3 s later is closed by
// the test, so nothing ever waits for good.
BoxSeen probeBox(QWidget* owner, const std::function<void()>& raise) {
    BoxSeen seen;
    QPointer<QWidget> box;
    QElapsedTimer clock;
    QElapsedTimer sinceEsc;
    bool forced = false;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!box && modal && modal != owner && modal->isVisible()) {
            box = modal;
            seen.kind = QString::fromLatin1(modal->metaObject()->className());
            seen.owned = modal->parentWidget() == owner;
        }
        if (!box)
            return;
        if (sinceEsc.isValid()) {
            if (box->isVisible() && sinceEsc.elapsed() > 3000) {
                forced = true;
                poll.stop();
                box->close();
            }
            return;
        }
        const QList<quint64> stacking = rootWindows("_NET_CLIENT_LIST_STACKING");
        const qsizetype b = stacking.indexOf(box->winId());
        const qsizetype o = stacking.indexOf(owner->winId());
        seen.above = b >= 0 && o >= 0 && b > o;
        seen.focused = activeX11Window() == box->winId() && QApplication::activeWindow() == box;
        seen.stacking = QStringLiteral("box at %1, owner at %2 of %3").arg(b).arg(o).arg(stacking.size());
        if ((seen.above && seen.focused) || clock.elapsed() > 5000) {
            typeKey(QStringLiteral("Escape"));
            sinceEsc.start();
        }
    });
    clock.start();
    poll.start();
    raise();
    poll.stop();
    seen.escClosed = sinceEsc.isValid() && !forced;
    return seen;
}

#define CHECK_BOX(seen, expectedKind)                                                                        \
    do {                                                                                                     \
        QCOMPARE((seen).kind, QString::fromLatin1(expectedKind));                                            \
        QVERIFY2((seen).above, qPrintable((seen).stacking));                                                 \
        QVERIFY((seen).focused);                                                                             \
        QVERIFY((seen).owned);                                                                               \
        QVERIFY((seen).escClosed);                                                                           \
    } while (false)

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void tipsWindow();
    void allWinnersWindow();
    void settingsDialog();
    void changePasswordDialog();
    void cleanupTestCase();

private:
    QProcess m_openbox;
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<LotteryApp> m_app;
};

void TestDesktop::initTestCase() {
    if (!g_skipReason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no X server can start here: ") + g_skipReason));
    m_openbox.setStandardOutputFile(QProcess::nullDevice());
    m_openbox.setStandardErrorFile(QProcess::nullDevice());
    m_openbox.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    QVERIFY2(m_openbox.waitForStarted(5000), "openbox (package openbox) must be installed");
    QTRY_VERIFY_WITH_TIMEOUT(!rootWindows("_NET_SUPPORTING_WM_CHECK").isEmpty(), 10000);

    m_env = std::make_unique<TestEnv>();
    Dialogs::install(nullptr); // the real boxes
    QStringList entrants;
    for (int i = 1; i <= 30; ++i)
        entrants << QStringLiteral("员工%1").arg(i);
    m_env->writeGbk(QStringLiteral("抽奖名单.txt"), entrants.join(QStringLiteral("\r\n")));
    m_app = std::make_unique<LotteryApp>();
    m_app->start();
    QVERIFY(QTest::qWaitForWindowExposed(&m_app->form1()));
}

void TestDesktop::cleanupTestCase() {
    m_app.reset();
    m_env.reset();
    if (m_openbox.state() != QProcess::NotRunning) {
        m_openbox.terminate();
        if (!m_openbox.waitForFinished(3000))
            m_openbox.kill();
    }
}

void TestDesktop::tipsWindow() {
    TFmainhelp& tips = m_app->mainhelp();
    QTRY_VERIFY(tips.isVisible());
    QVERIFY(becomesActive(&tips));

    // prize.db as a folder: the tick box's write fails and its error box opens over the tips.
    const QString db = m_env->path(QStringLiteral("prize.db"));
    QFile::remove(db);
    QVERIFY(QDir().mkdir(db));
    const BoxSeen seen =
        probeBox(&tips, [&] { QTest::mouseClick(tips.findChild<QCheckBox*>("CheckBox1"), Qt::LeftButton); });
    QVERIFY(QDir().rmdir(db));
    CHECK_BOX(seen, "QMessageBox");

    QVERIFY(becomesActive(&tips));
    typeKey(QStringLiteral("Escape"));
    QTRY_VERIFY(!tips.isVisible());
}

void TestDesktop::allWinnersWindow() {
    Tfallprize& all = m_app->allprize();
    m_app->form1().findChild<QAction*>("N9")->trigger();
    QVERIFY(becomesActive(&all));

    BoxSeen seen = probeBox(&all, [&] { all.findNext(QStringLiteral("没有这个人"), false, false); });
    CHECK_BOX(seen, "QMessageBox");
    QVERIFY(becomesActive(&all));

    seen = probeBox(&all, [&] { all.findChild<QAction*>("N7")->trigger(); });
    CHECK_BOX(seen, "QColorDialog");
    QVERIFY(becomesActive(&all));

    // The keys reach the window again: Esc hides it.
    typeKey(QStringLiteral("Escape"));
    QTRY_VERIFY(!all.isVisible());
}

void TestDesktop::settingsDialog() {
    Tfsetting& settings = m_app->setting();
    m_app->form1().findChild<QAction*>("N1")->trigger(); // no password: straight through
    QTRY_VERIFY(settings.isVisible());
    QVERIFY(becomesActive(&settings));

    const struct {
        const char* button;
        const char* kind;
    } boxes[] = {{"SpeedButton3", "QColorDialog"},
                 {"SpeedButton2", "QFontDialog"},
                 {"sb1", "QFileDialog"},
                 {"btn_indata", "QMessageBox"}};
    for (const auto& box : boxes) {
        auto* button = settings.findChild<QAbstractButton*>(QLatin1String(box.button));
        QVERIFY(button);
        const BoxSeen seen = probeBox(&settings, [&] { button->click(); });
        CHECK_BOX(seen, box.kind);
        QVERIFY2(becomesActive(&settings), box.button);
    }

    // Typing reaches the field that had the focus before the box.
    settings.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(1);
    auto* title = settings.findChild<QLineEdit*>("edt_title1");
    title->setFocus();
    QVERIFY(title->hasFocus());
    title->setText(QStringLiteral("年会"));
    const BoxSeen seen =
        probeBox(&settings, [&] { settings.findChild<QAbstractButton*>("SpeedButton3")->click(); });
    CHECK_BOX(seen, "QColorDialog");
    QVERIFY(becomesActive(&settings));
    QTRY_VERIFY(title->hasFocus());
    typeKey(QStringLiteral("x"));
    QTRY_COMPARE(title->text(), QStringLiteral("年会x"));
}

void TestDesktop::changePasswordDialog() {
    Tfsetting& settings = m_app->setting();
    QVERIFY(settings.isVisible());
    TFchangepassword& change = m_app->changepassword();
    settings.findChild<QPushButton*>("btn_password")->click();
    QTRY_VERIFY(change.isVisible());
    QVERIFY(becomesActive(&change));

    auto* first = change.findChild<QLineEdit*>("Edit1");
    auto* second = change.findChild<QLineEdit*>("Edit2");
    auto* save = change.findChild<QPushButton*>("Button1");
    first->setText(QStringLiteral("a"));
    second->setText(QStringLiteral("b"));
    BoxSeen seen = probeBox(&change, [&] { save->click(); });
    CHECK_BOX(seen, "QMessageBox");
    QVERIFY(becomesActive(&change));

    second->setText(QStringLiteral("a"));
    seen = probeBox(&change, [&] { save->click(); });
    CHECK_BOX(seen, "QMessageBox");
    QVERIFY(m_env->readFile(QStringLiteral("prize.db")).contains("Pwd=a\r\n"));
    QVERIFY(becomesActive(&change));

    // Esc closes the dialog, and the settings beneath have the focus again.
    typeKey(QStringLiteral("Escape"));
    QTRY_VERIFY(!change.isVisible());
    QVERIFY(becomesActive(&settings));
    settings.close();
}

int main(int argc, char* argv[]) {
    VirtualDisplay display;
    const QString name = display.start(g_skipReason);
    if (!name.isEmpty()) {
        qputenv("DISPLAY", name.toLatin1());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qunsetenv("XAUTHORITY");
    int result = 0;
    {
        QApplication app(argc, argv);
        TestDesktop test;
        result = QTest::qExec(&test, argc, argv);
    }
    display.stop();
    return result;
}

#include "test_desktop.moc"
