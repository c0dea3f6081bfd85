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
#include "winnerlists.h"
#include "xdisplay.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>

namespace {

QString g_skipReason;

// Whether the window is the window manager's active window and Qt's; waits for it a while.
bool becomesActive(QWidget* window) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (XDisplay::activeWindow() == window->winId() && QApplication::activeWindow() == window)
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
        const QList<quint64> stacking = XDisplay::rootWindows("_NET_CLIENT_LIST_STACKING");
        const qsizetype b = stacking.indexOf(box->winId());
        const qsizetype o = stacking.indexOf(owner->winId());
        seen.above = b >= 0 && o >= 0 && b > o;
        seen.focused = XDisplay::activeWindow() == box->winId() && QApplication::activeWindow() == box;
        seen.stacking = QStringLiteral("box at %1, owner at %2 of %3").arg(b).arg(o).arg(stacking.size());
        if ((seen.above && seen.focused) || clock.elapsed() > 5000) {
            XDisplay::typeKey(QStringLiteral("Escape"));
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
    void closeUnderABox();
    void cleanupTestCase();

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<LotteryApp> m_app;
};

void TestDesktop::initTestCase() {
    if (!g_skipReason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no X server can start here: ") + g_skipReason));
    m_env = std::make_unique<TestEnv>();
    Dialogs::install(nullptr); // the real boxes
    QStringList entrants;
    for (int i = 1; i <= 30; ++i)
        entrants << QStringLiteral("员工%1").arg(i);
    m_env->writeGbk(QStringLiteral("抽奖名单.txt"), entrants.join(QStringLiteral("\r\n")));
    m_env->writeGbk(QStringLiteral("prize.db"), QStringLiteral("[Stage]\r\nSound=1\r\n"));
    m_app = std::make_unique<LotteryApp>();
    m_app->start();
    QVERIFY(QTest::qWaitForWindowExposed(&m_app->form1()));
}

void TestDesktop::cleanupTestCase() {
    m_app.reset();
    m_env.reset();
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
    XDisplay::typeKey(QStringLiteral("Escape"));
    QTRY_VERIFY(!tips.isVisible());
}

void TestDesktop::allWinnersWindow() {
    Tfallprize& all = m_app->allprize();
    m_app->form1().findChild<QAction*>("N9")->trigger();
    QVERIFY(becomesActive(&all));

    // The window is the hall's: its boxes are the stage's.
    BoxSeen seen = probeBox(&all, [&] { all.findNext(QStringLiteral("没有这个人"), false, false); });
    CHECK_BOX(seen, "StageBox");
    QVERIFY(becomesActive(&all));

    seen = probeBox(&all, [&] { all.findChild<QAction*>("N7")->trigger(); });
    CHECK_BOX(seen, "QColorDialog");
    QVERIFY(becomesActive(&all));

    // The export's save dialog belongs to the window too: under the always-on-top list it would be
    // hidden, and the program would look frozen.
    WinnerLists& lists = m_app->form1().winnerLists();
    lists.appendAll(WinnerLists::headerLine(1, QStringLiteral("一等奖"), QDateTime::currentDateTime()));
    lists.appendAll(WinnerLists::winnerLine(QStringLiteral("一等奖"), QStringLiteral("员工1")));
    seen = probeBox(&all, [&] { all.findChild<QAction*>("exportResults")->trigger(); });
    CHECK_BOX(seen, "QFileDialog");
    QVERIFY(becomesActive(&all));

    // The keys reach the window again: Esc hides it.
    XDisplay::typeKey(QStringLiteral("Escape"));
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
                 {"btn_insheet", "QFileDialog"},
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
    XDisplay::typeKey(QStringLiteral("x"));
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
    QVERIFY(m_env->readFile(QStringLiteral("prize.db")).contains("PwdHash=pbkdf2-sha256$"));

    // A save that worked closes the dialog, and the settings beneath have the focus again.
    QTRY_VERIFY(!change.isVisible());
    QVERIFY(becomesActive(&settings));

    // The title typed above is not saved: closing asks first, in a box above the settings; Esc is
    // 取消 and the settings stay open with the typing.
    seen = probeBox(&settings, [&] { settings.close(); });
    CHECK_BOX(seen, "QMessageBox");
    QVERIFY(settings.isVisible());
    settings.hide();
}

// Last: the program ends here. A draw with its sounds first, so that the players exist when it ends.
void TestDesktop::closeUnderABox() {
    TForm1& stage = m_app->form1();
    QVERIFY(becomesActive(&stage));
    XDisplay::typeKey(QStringLiteral("space"));
    QTRY_VERIFY(stage.isRolling());
    XDisplay::typeKey(QStringLiteral("space"));
    QTRY_VERIFY(!stage.isRolling());
    // The window manager's close while a question is open over the stage: the question gives its safe
    // answer and the stage closes, its exit record written.
    bool answer = true;
    QTimer::singleShot(0, &stage, [&] {
        QTimer::singleShot(300, &stage, [&stage] { XDisplay::closeWindow(stage.winId()); });
        answer = Dialogs::instance().question(QStringLiteral("确认"), QStringLiteral("真的要取消中奖?"));
    });
    QTRY_VERIFY_WITH_TIMEOUT(!stage.isVisible(), 10000);
    QVERIFY(!answer);
    QVERIFY(m_env->readFile(QStringLiteral("history.txt")).contains(gbk(QStringLiteral("员工"))));
}

int main(int argc, char* argv[]) {
    XDisplay display(QSize(1920, 1080));
    g_skipReason = display.skipReason();
    QApplication app(argc, argv);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_desktop.moc"
