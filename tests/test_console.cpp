// The operator's console beside the stage, on two offscreen screens: every action goes through the
// draw screen's own code (the same files as the same actions on the stage), the stage without its
// controls and menus while the console is open, the keys on the console, and the live picture.
#include "allwinnersmodel.h"
#include "checkindesk.h"
#include "checkinservice.h"
#include "configstore.h"
#include "consolecenter.h"
#include "consolestate.h"
#include "consolewindow.h"
#include "drive.h"
#include "lotteryapp.h"
#include "stagepreview.h"
#include "testenv.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryFile>
#include <QTest>

namespace {
const QRect kLaptop(0, 0, 1280, 800);
const QRect kProjector(1280, 0, 1920, 1080);

QString entrants(int count) {
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("员工%1\tA%2\r\n").arg(i).arg(i, 4, 10, QLatin1Char('0'));
    return text;
}

// An event of two prizes, the stage on the projector, the console closed.
void writeEvent(const TestEnv& env) {
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(40));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[Setting]\r\nshowhelp=0\r\nScreen=PROJECTOR\r\nConsole=0\r\n"
                                "[JP]\r\nName1=一等奖\r\nNum1=2\r\nEvery1=1\r\n"
                                "Name2=三等奖\r\nNum2=6\r\nEvery2=5\r\nCol2=2\r\n"));
}

// Every file of the event folder, by name. The event's identity (a random number from the system,
// Setting/Event in prize.db) is written as EVENT, so two runs of one event compare byte for byte.
QMap<QString, QByteArray> eventFiles(const TestEnv& env) {
    const QByteArray event = ConfigStore(env.path(QStringLiteral("prize.db")))
                                 .readString(QStringLiteral("State"), QStringLiteral("Event"), QString())
                                 .toLatin1();
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(env.dir.path()).entryList(QDir::Files))
        files.insert(name, env.readFile(name).replace(event, "EVENT"));
    return files;
}

QString setting(const TestEnv& env, const QString& key) {
    return ConfigStore(env.path(QStringLiteral("prize.db")))
        .readString(QStringLiteral("Setting"), key, QString());
}

// The console's cancel or restore button of a winner's row.
QPushButton* rowButton(ConsoleWindow& console, int row, const char* name) {
    auto* table = child<QTableWidget>(console, QStringLiteral("consoleWinners"));
    QWidget* cell = table->cellWidget(row, 3);
    if (!cell)
        qFatal("no actions in row %d", row);
    return child<QPushButton>(*cell, QLatin1String(name));
}

void choose(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

void click(QWidget* widget) {
    QVERIFY2(widget->isEnabled() && widget->isVisible(), qPrintable(widget->objectName()));
    QTest::mouseClick(widget, Qt::LeftButton);
}

// A key into whatever has the focus in the window.
void key(QWidget& window, Qt::Key k) {
    QWidget* target = window.focusWidget();
    QTest::keyClick(target ? target : &window, k);
}
} // namespace

class TestConsole : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void onePathGivesTheSameFiles();
    void stageWithoutControlsWhileOpen();
    void keysOnTheConsole();
    void livePicture();
    void screenChoice();
};

void TestConsole::onePathGivesTheSameFiles() {
    // The same event run twice with the same random generator and clock: once from the stage's own
    // controls, once from the console. The files must not differ by a byte.
    QMap<QString, QByteArray> fromStage;
    {
        TestEnv env;
        writeEvent(env);
        LotteryApp app;
        app.start();
        TForm1& form = app.form1();
        auto* grid = child<QTableWidget>(form, QStringLiteral("Grid1"));
        draw(form); // five of 三等奖 in two columns
        grid->setCurrentCell(0, 1);
        child<QAction>(form, QStringLiteral("N13"))->trigger(); // cancel the second
        grid->setCurrentCell(1, 0);
        child<QAction>(form, QStringLiteral("N13"))->trigger(); // and the third
        grid->setCurrentCell(0, 1);
        child<QAction>(form, QStringLiteral("N21"))->trigger(); // the second comes back
        child<QAction>(form, QStringLiteral("N10"))->trigger(); // a supplementary draw for 一等奖
        choose(child<QComboBox>(form, QStringLiteral("ComboBox2")), 0);
        click(child<QPushButton>(form, QStringLiteral("btn_bu")));
        click(child<QPushButton>(form, QStringLiteral("btn_bu")));
        click(child<QWidget>(form, QStringLiteral("SpeedButton1")));
        choose(child<QComboBox>(form, QStringLiteral("ComboBox1")), 0);
        draw(form); // one of 一等奖
        QVERIFY(form.close());
        fromStage = eventFiles(env);
        QVERIFY(fromStage.value(QStringLiteral("中奖名单.txt")).contains(gbk(QStringLiteral("一等奖: "))));
    }
    TestEnv env;
    writeEvent(env);
    LotteryApp app;
    app.start();
    TForm1& form = app.form1();
    QVERIFY(app.console().open());
    ConsoleWindow& console = *app.console().window();
    QTRY_VERIFY(console.isVisible());
    auto* drawButton = child<QPushButton>(console, QStringLiteral("consoleDraw"));
    drawButton->setFocus();
    key(console, Qt::Key_Space); // Space starts the roll, the button stops it
    QVERIFY(form.isRolling());
    click(drawButton);
    QCOMPARE(drawButton->text(), QStringLiteral("抽奖"));
    QCOMPARE(console.state().winners.size(), 5);
    click(rowButton(console, 1, "cancel"));
    click(rowButton(console, 2, "cancel"));
    QVERIFY(!rowButton(console, 2, "cancel")->isEnabled());
    click(rowButton(console, 1, "restore"));
    click(child<QPushButton>(console, QStringLiteral("consoleOpenSupplementary")));
    QVERIFY(!drawButton->isEnabled());
    choose(child<QComboBox>(console, QStringLiteral("consoleSupplementaryPrize")), 0);
    click(child<QPushButton>(console, QStringLiteral("consoleSupplementary")));
    QVERIFY(!child<QPushButton>(console, QStringLiteral("consoleCloseSupplementary"))->isEnabled());
    click(child<QPushButton>(console, QStringLiteral("consoleSupplementary")));
    QCOMPARE(console.state().winners.size(), 1);
    QVERIFY(console.state().winners.first().supplementary);
    click(child<QPushButton>(console, QStringLiteral("consoleCloseSupplementary")));
    choose(child<QComboBox>(console, QStringLiteral("consolePrize")), 0);
    QCOMPARE(form.currentPosition(), 0);
    click(drawButton);
    click(drawButton);
    // The console shows what the stage holds: progress, the latest draw, the whole list.
    QCOMPARE(child<QLabel>(console, QStringLiteral("consoleProgress"))->text(),
             DrawModel::progressText(form.model().slots[0]));
    QCOMPARE(console.state().winners.size(), 1);
    auto* all = child<QListView>(console, QStringLiteral("consoleAllWinners"));
    QCOMPARE(all->model()->rowCount(), int(form.winnerLists().all().size()));
    const QModelIndex cancelled = all->model()->index(3, 0); // the third winner
    QVERIFY(cancelled.data().toString().endsWith(QStringLiteral("---取消")));
    QVERIFY(cancelled.data(Qt::FontRole).value<QFont>().strikeOut());
    child<QLineEdit>(console, QStringLiteral("consoleFilter"))->setText(QStringLiteral("补抽"));
    QCOMPARE(all->model()->rowCount(), 1);
    click(child<QPushButton>(console, QStringLiteral("consoleClose")));
    QVERIFY(form.close());
    QCOMPARE(eventFiles(env), fromStage);
}

void TestConsole::stageWithoutControlsWhileOpen() {
    TestEnv env;
    writeEvent(env);
    LotteryApp app;
    app.start();
    TForm1& form = app.form1();
    auto* bar = child<QWidget>(form, QStringLiteral("RzPanel1"));
    auto* menu = child<QMenu>(form, QStringLiteral("PopupMenu1"));
    auto* item = child<QAction>(form, QStringLiteral("console"));
    QVERIFY(bar->isVisible());
    QVERIFY(item->isEnabled());

    // Opened from the menu: on the laptop's screen, remembered, the stage without bar and menus.
    item->trigger();
    QVERIFY(app.console().isOpen());
    ConsoleWindow& console = *app.console().window();
    QTRY_VERIFY(console.isVisible());
    QCOMPARE(console.screen()->geometry(), kLaptop);
    QCOMPARE(form.screen()->geometry(), kProjector);
    QVERIFY(item->isChecked());
    QCOMPARE(setting(env, QStringLiteral("Console")), QStringLiteral("1"));
    QVERIFY(!bar->isVisible());
    QVERIFY(!child<QWidget>(form, QStringLiteral("sb_close"))->isVisible());
    QCOMPARE(Dialogs::parentWindow(), &console);
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(100, 100),
                                 form.mapToGlobal(QPoint(100, 100)));
    QApplication::sendEvent(&form, &rightClick);
    QVERIFY(!menu->isVisible());
    draw(form);
    // A result that is not there is left alone.
    const QStringList all = form.winnerLists().all();
    QVERIFY(!form.session().cancelResult(99).isEmpty());
    QCOMPARE(form.winnerLists().all(), all);
    auto* grid = child<QTableWidget>(form, QStringLiteral("Grid1"));
    Q_EMIT grid->customContextMenuRequested(QPoint(5, 5));
    QVERIFY(!child<QMenu>(form, QStringLiteral("PopupMenu2"))->isVisible());
    // The supplementary panel stays off the stage; the console has it.
    form.N10Click();
    QVERIFY(!child<QWidget>(form, QStringLiteral("Panel1"))->isVisible());
    QTRY_VERIFY(child<QWidget>(console, QStringLiteral("consoleSupplementary"))->isVisible());

    // Closed: the stage gets everything back, the supplementary panel still open included.
    click(child<QPushButton>(console, QStringLiteral("consoleClose")));
    QVERIFY(!console.isVisible());
    QVERIFY(bar->isVisible());
    QVERIFY(child<QWidget>(form, QStringLiteral("Panel1"))->isVisible());
    QVERIFY(!item->isChecked());
    QCOMPARE(setting(env, QStringLiteral("Console")), QStringLiteral("0"));
    QCOMPARE(Dialogs::parentWindow(), &form);
    QApplication::sendEvent(&form, &rightClick);
    QVERIFY(menu->isVisible());
    menu->hide();

    // Open when the program ends: it comes back at the next start.
    item->trigger();
    QVERIFY(form.close());
    QCOMPARE(setting(env, QStringLiteral("Console")), QStringLiteral("1"));
    LotteryApp again;
    again.start();
    QVERIFY(again.console().isOpen());
    QVERIFY(!child<QWidget>(again.form1(), QStringLiteral("RzPanel1"))->isVisible());
}

void TestConsole::keysOnTheConsole() {
    TestEnv env;
    writeEvent(env);
    LotteryApp app;
    app.start();
    TForm1& form = app.form1();
    QVERIFY(app.console().open());
    ConsoleWindow& console = *app.console().window();
    QSignalSpy settings(&form, &TForm1::settingsRequested);

    // Space on a focused button works the draw toggle, not the button.
    auto* settingsButton = child<QPushButton>(console, QStringLiteral("console_N1"));
    settingsButton->setFocus();
    key(console, Qt::Key_Space);
    QVERIFY(form.isRolling());
    QTRY_COMPARE(child<QPushButton>(console, QStringLiteral("consoleDraw"))->text(), QStringLiteral("停止"));
    key(console, Qt::Key_Return);
    QVERIFY(!form.isRolling());
    QCOMPARE(settings.count(), 0);
    QCOMPARE(form.model().slots[1].drawn, 5);

    // Never while the operator types.
    auto* filter = child<QLineEdit>(console, QStringLiteral("consoleFilter"));
    filter->setFocus();
    key(console, Qt::Key_Space);
    key(console, Qt::Key_B);
    key(console, Qt::Key_PageDown);
    QVERIFY(!form.isRolling());
    QCOMPARE(filter->text(), QStringLiteral(" b"));

    // The presenter's keys: the previous prize, the black screen over the stage, the draw.
    settingsButton->setFocus();
    key(console, Qt::Key_PageUp);
    QCOMPARE(form.currentPosition(), 0);
    key(console, Qt::Key_B);
    QVERIFY(child<QWidget>(form, QStringLiteral("stageCover"))->isVisible());
    key(console, Qt::Key_Space); // takes the cover away, nothing else
    QVERIFY(!child<QWidget>(form, QStringLiteral("stageCover"))->isVisible());
    QVERIFY(!form.isRolling());
    key(console, Qt::Key_PageDown);
    QVERIFY(form.isRolling());
    key(console, Qt::Key_Right);
    QCOMPARE(form.model().slots[0].drawn, 1);
    // Space on the stage works the draw too, though its button is hidden.
    QTest::keyClick(&form, Qt::Key_Space);
    QVERIFY(form.isRolling());
    QTest::keyClick(&form, Qt::Key_Space);
    QCOMPARE(form.model().slots[0].drawn, 2);
    QCOMPARE(settings.count(), 0);
}

void TestConsole::livePicture() {
    TestEnv env;
    writeEvent(env);
    LotteryApp app;
    app.start();
    TForm1& form = app.form1();
    QVERIFY(app.console().open());
    ConsoleWindow& console = *app.console().window();
    StagePreview& preview = console.preview();
    QTRY_VERIFY(!preview.frame().isNull());
    QVERIFY(qAbs(double(preview.frame().width()) / preview.frame().height() -
                 double(form.width()) / form.height()) < 0.01);

    // Names rolling: new pictures, at most four a second, showing the red band the stage shows.
    press(form);
    const int before = preview.framesTaken();
    QElapsedTimer clock;
    clock.start();
    QTRY_VERIFY(preview.framesTaken() >= before + 3);
    QVERIFY(clock.elapsed() >= 2 * StagePreview::kInterval - 60);
    const QImage frame = preview.frame();
    const QPoint middle(frame.width() / 2, frame.height() / 2 + frame.height() / 8);
    QVERIFY2(qRed(frame.pixel(middle)) > 120 && qGreen(frame.pixel(middle)) < 90,
             qPrintable(QColor(frame.pixel(middle)).name()));
    press(form);

    // The painted pixels and the stage drawn again agree (the second is where the first is missing).
    QVERIFY(StagePreview::canReadPainted(&form));
    QCoreApplication::processEvents(); // the stage paints what the stop changed
    const QSize size(480, 270);
    const QImage painted = StagePreview::take(&form, size, StagePreview::Source::Painted);
    const QImage rendered = StagePreview::take(&form, size, StagePreview::Source::Rendered);
    QCOMPARE(painted.size(), rendered.size());
    qint64 total = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x) {
            const QRgb p = painted.pixel(x, y);
            const QRgb r = rendered.pixel(x, y);
            total +=
                std::abs(qRed(p) - qRed(r)) + std::abs(qGreen(p) - qGreen(r)) + std::abs(qBlue(p) - qBlue(r));
        }
    QVERIFY2(total / (3.0 * painted.width() * painted.height()) < 2, qPrintable(QString::number(total)));

    // A hidden console takes no pictures.
    console.hide();
    QVERIFY(!preview.isActive());
}

void TestConsole::screenChoice() {
    QCOMPARE(pickConsoleScreen(1, 0, 0), -1);
    QCOMPARE(pickConsoleScreen(2, 1, 0), 0); // the laptop, the primary screen
    QCOMPARE(pickConsoleScreen(2, 0, 0), 1); // the stage is on the primary screen
    QCOMPARE(pickConsoleScreen(3, 0, 0), 1);
    QCOMPARE(pickConsoleScreen(3, 2, 1), 1);

    // The stage moved onto the console's screen: the console goes to the other one.
    TestEnv env;
    writeEvent(env);
    LotteryApp app;
    app.start();
    QVERIFY(app.console().open());
    ConsoleWindow& console = *app.console().window();
    QTRY_COMPARE(console.screen()->geometry(), kLaptop);
    QAction* laptop = nullptr;
    Q_EMIT child<QMenu>(app.form1(), QStringLiteral("N5"))->aboutToShow();
    for (QAction* action : child<QMenu>(app.form1(), QStringLiteral("screenMenu"))->actions())
        if (action->text().startsWith(QStringLiteral("LAPTOP")))
            laptop = action;
    QVERIFY(laptop);
    laptop->trigger();
    QTRY_COMPARE(app.form1().screen()->geometry(), kLaptop);
    QTRY_COMPARE(console.screen()->geometry(), kProjector);
}

int main(int argc, char* argv[]) {
    // Two offscreen screens: the laptop (primary) and the projector beside it.
    QTemporaryFile config(QDir::tempPath() + QStringLiteral("/console-screens-XXXXXX.json"));
    if (!config.open())
        qFatal("no temporary file");
    const auto screen = [](const char* name, const QRect& r) {
        return QStringLiteral(R"({"name": "%1", "x": %2, "y": %3, "width": %4, "height": %5,
                                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1})")
            .arg(QLatin1String(name))
            .arg(r.x())
            .arg(r.y())
            .arg(r.width())
            .arg(r.height());
    };
    config.write(QStringLiteral(R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": false,
                                    "screens": [%1, %2]})")
                     .arg(screen("LAPTOP", kLaptop), screen("PROJECTOR", kProjector))
                     .toUtf8());
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TestConsole test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_console.moc"
