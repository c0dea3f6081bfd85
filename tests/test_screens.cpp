// The draw screen on the projector: a laptop and a projector side by side on a virtual X display of
// its own (Xvfb with two RandR monitors, openbox as the window manager, Qt's xcb platform).
#include "allprize.h"
#include "configstore.h"
#include "consolecenter.h"
#include "consolewindow.h"
#include "drive.h"
#include "lotteryapp.h"
#include "mainhelp.h"
#include "password.h"
#include "screengeometry.h"
#include "testenv.h"
#include "unit1.h"
#include "xdisplay.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMenu>
#include <QScreen>
#include <QTest>

namespace {
// The two monitors: the laptop on the left is the primary one, the projector stands to its right.
const QRect kLaptop(0, 0, 1280, 1024);
const QRect kProjector(1280, 0, 1920, 1080);

bool g_haveDisplay = false;

QString setting(const TestEnv& env, const QString& key) {
    return ConfigStore(env.path(QStringLiteral("prize.db")))
        .readString(QStringLiteral("Setting"), key, QString());
}

void writeSettings(const TestEnv& env, const QString& lines) {
    const QString tips =
        lines.contains(QStringLiteral("showhelp")) ? QString() : QStringLiteral("showhelp=0\r\n");
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[Setting]\r\n") + tips + lines);
}

// The draw screen is borderless and maximised on the monitor and laid out for that monitor's size.
void checkOnMonitor(TForm1& form, const QRect& monitor) {
    QTRY_COMPARE(form.frameGeometry(), monitor);
    const StageScale scale = StageScale::forHeight(monitor.height());
    QTRY_COMPARE(form.geometryPass().bar,
                 QRect(0, monitor.height() - scale.px(61) - scale.px(48), monitor.width() - 3, scale.px(61)));
    QCOMPARE(form.screen()->geometry(), monitor);
}

// The screen items as the operator sees them when "窗口模式" opens.
QAction* screenItem(TForm1& form, const QString& text) {
    Q_EMIT child<QMenu>(form, QStringLiteral("N5"))->aboutToShow();
    for (QAction* action : child<QMenu>(form, QStringLiteral("screenMenu"))->actions())
        if (action->text() == text)
            return action;
    qFatal("no screen item %s", qPrintable(text));
}
} // namespace

class TestScreens : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void pickOrder();
    void chosenScreenAtStartAndAtOnce();
    void lastScreenElsePrimary();
    void otherWindowsOnTheDrawScreen();
    void consoleOnTheOtherScreen();
};

void TestScreens::init() {
    if (!g_haveDisplay && QString(QTest::currentTestFunction()) != QLatin1String("pickOrder"))
        QSKIP("no X server could be started (Xvfb)");
}

void TestScreens::pickOrder() {
    const QStringList names{QStringLiteral("eDP-1"), QStringLiteral("HDMI-1")};
    QCOMPARE(pickDrawScreen(names, QStringLiteral("HDMI-1"), QStringLiteral("eDP-1"), 0), 1);
    // A projector that is not plugged in: the screen the window was last on, else the primary.
    QCOMPARE(pickDrawScreen(names, QStringLiteral("DP-2"), QStringLiteral("HDMI-1"), 0), 1);
    QCOMPARE(pickDrawScreen(names, QStringLiteral("DP-2"), QStringLiteral("DP-3"), 0), 0);
    QCOMPARE(pickDrawScreen(names, QString(), QString(), 1), 1);
    QCOMPARE(pickDrawScreen({QString(), QStringLiteral("HDMI-1")}, QString(), QString(), 1), 1);
}

void TestScreens::chosenScreenAtStartAndAtOnce() {
    QCOMPARE(QGuiApplication::screens().size(), 2);
    TestEnv env;
    writeSettings(env, QStringLiteral("Screen=HDMI-1\r\nLastScreen=LAPTOP\r\n"));
    TForm1 form;
    form.show();
    checkOnMonitor(form, kProjector);

    // The menu lists both screens by name and size, the one the window is on ticked.
    auto* menu = child<QMenu>(form, QStringLiteral("screenMenu"));
    QCOMPARE(menu->actions().size(), 2);
    QVERIFY(menu->isEnabled());
    QVERIFY(screenItem(form, QStringLiteral("HDMI-1 1920×1080"))->isChecked());
    QAction* laptop = screenItem(form, QStringLiteral("LAPTOP 1280×1024"));
    QVERIFY(!laptop->isChecked());

    // Chosen from the menu: stored and moved there at once, laid out for the laptop's size.
    env.dialogs.clear(); // the missing entrant list's box at start-up
    laptop->trigger();
    QCOMPARE(setting(env, QStringLiteral("Screen")), QStringLiteral("LAPTOP"));
    checkOnMonitor(form, kLaptop);
    QVERIFY(env.dialogs.texts().isEmpty());

    // Framed mode on the projector: still maximised there.
    screenItem(form, QStringLiteral("HDMI-1 1920×1080"))->trigger();
    QTRY_COMPARE(form.screen()->geometry(), kProjector);
    child<QAction>(form, QStringLiteral("N7"))->trigger();
    QTRY_VERIFY(!(form.windowFlags() & Qt::FramelessWindowHint));
    QTRY_VERIFY(form.frameGeometry().width() >= kProjector.width() - 1);
    QVERIFY(kProjector.intersects(form.frameGeometry()));
    QVERIFY(!kLaptop.intersects(form.geometry()));

    // The window was last on the projector: stored when the program ends.
    QVERIFY(form.close());
    QCOMPARE(setting(env, QStringLiteral("LastScreen")), QStringLiteral("HDMI-1"));
}

void TestScreens::lastScreenElsePrimary() {
    TestEnv env;
    // A chosen projector that is not plugged in: the screen the window was last on.
    writeSettings(env, QStringLiteral("Screen=DP-7\r\nLastScreen=HDMI-1\r\n"));
    {
        TForm1 form;
        form.show();
        checkOnMonitor(form, kProjector);
    }
    // Nothing known: the primary screen, whatever screen the pointer is on.
    writeSettings(env, QString());
    QCursor::setPos(kProjector.center());
    TForm1 form;
    form.show();
    checkOnMonitor(form, kLaptop);
}

void TestScreens::otherWindowsOnTheDrawScreen() {
    TestEnv env;
    writeSettings(env, QStringLiteral("Screen=HDMI-1\r\nshowhelp=1\r\n"));
    LotteryApp app;
    app.start();
    checkOnMonitor(app.form1(), kProjector);
    const auto centredOnProjector = [](QWidget& window) {
        QTRY_VERIFY(window.isVisible());
        QTRY_VERIFY2(kProjector.contains(window.frameGeometry().center()),
                     qPrintable(QStringLiteral("%1 at %2,%3")
                                    .arg(window.objectName())
                                    .arg(window.frameGeometry().center().x())
                                    .arg(window.frameGeometry().center().y())));
        QVERIFY(qAbs(window.geometry().center().x() - kProjector.center().x()) < 40);
    };
    centredOnProjector(app.mainhelp());
    app.mainhelp().hide();
    Q_EMIT app.form1().allWinnersRequested();
    centredOnProjector(app.allprize());
    app.allprize().hide();
    Q_EMIT app.form1().settingsRequested();
    centredOnProjector(app.password());
    app.password().reject();
}

void TestScreens::consoleOnTheOtherScreen() {
    TestEnv env;
    writeSettings(env, QStringLiteral("Screen=HDMI-1\r\n[JP]\r\nName1=A\r\nNum1=5\r\nEvery1=1\r\n"));
    QString entrants;
    for (int i = 1; i <= 20; ++i)
        entrants += QStringLiteral("员工%1\r\n").arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants);
    LotteryApp app;
    app.start();
    TForm1& form = app.form1();
    checkOnMonitor(form, kProjector);
    auto* bar = child<QWidget>(form, QStringLiteral("RzPanel1"));
    QTRY_VERIFY(bar->isVisible());

    // Opened from the stage's menu: maximised on the laptop, the stage left without its bar.
    child<QAction>(form, QStringLiteral("console"))->trigger();
    ConsoleWindow* console = app.console().window();
    QVERIFY(console);
    QTRY_VERIFY(console->isVisible());
    QTRY_VERIFY2(kLaptop.contains(console->frameGeometry()),
                 qPrintable(QStringLiteral("console at %1,%2 %3x%4")
                                .arg(console->frameGeometry().x())
                                .arg(console->frameGeometry().y())
                                .arg(console->frameGeometry().width())
                                .arg(console->frameGeometry().height())));
    QTRY_VERIFY(console->width() > kLaptop.width() * 9 / 10);
    QCOMPARE(console->screen()->name(), QStringLiteral("LAPTOP"));
    QVERIFY(!bar->isVisible());
    checkOnMonitor(form, kProjector);
    // The operator's windows come up where the console is.
    Q_EMIT form.settingsRequested();
    QTRY_VERIFY(app.password().isVisible());
    QTRY_VERIFY(kLaptop.contains(app.password().frameGeometry().center()));
    app.password().reject();

    // A presenter key pressed through the X server into the console works the stage.
    console->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), console);
    XDisplay::typeKey(QStringLiteral("Next"));
    QTRY_VERIFY(form.isRolling());
    XDisplay::typeKey(QStringLiteral("space"));
    QTRY_VERIFY(!form.isRolling());

    // Closed: the stage has its bar again.
    console->close();
    QTRY_VERIFY(!console->isVisible());
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(setting(env, QStringLiteral("Console")), QStringLiteral("0"));
}

int main(int argc, char* argv[]) {
    // The laptop is the first RandR output's monitor, the projector a second one beside it.
    XDisplay display(QSize(kLaptop.width() + kProjector.width(), kProjector.height()),
                     {{QStringLiteral("LAPTOP"), kLaptop, QStringLiteral("screen")},
                      {QStringLiteral("HDMI-1"), kProjector, QStringLiteral("none")}});
    g_haveDisplay = display.isUp();
    QApplication app(argc, argv);
    TestScreens test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_screens.moc"
