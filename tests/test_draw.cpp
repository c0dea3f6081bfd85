// The draw from key press to disk: checks, roll, stop, winners panel, progress, music and exit record.
#include "configstore.h"
#include "drawengine.h"
#include "drive.h"
#include "mediaplayer.h"
#include "testenv.h"
#include "textcodec.h"
#include "textfiles.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {
QString numbered(int from, int to, const QString& prefix = QString()) {
    QString text;
    for (int i = from; i <= to; ++i)
        text += prefix + QString::number(i) + QStringLiteral("\r\n");
    return text;
}

void trigger(TForm1& form, const char* action) {
    child<QAction>(form, action)->trigger();
}

QStringList gridTexts(TForm1& form) {
    auto* grid = child<QTableWidget>(form, "Grid1");
    QStringList cells;
    for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
    return cells;
}

// A player whose position the test moves.
struct FakePlayer : MediaPlayer {
    FakePlayer() { last = this; }
    ~FakePlayer() override { last = nullptr; }
    // The media layer's late word that the file cannot play.
    void fail() { reportError(); }
    static inline FakePlayer* last = nullptr;
    static inline int opens = 0;
    static inline int plays = 0;
    static inline int stops = 0;
    static inline qint64 pos = 0;
    bool open(const QString&) override {
        ++opens;
        pos = 0;
        return true;
    }
    bool isOpen() const override { return true; }
    void play() override { ++plays; }
    void stop() override { ++stops; }
    void setPosition(qint64 ms) override { pos = ms; }
    qint64 length() const override { return 3000; }
    qint64 position() const override { return pos; }
};
} // namespace

class TestDraw : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void poolChecksAndExcess();
    void drawSizeAndFullPrize();
    void prizeChangedWhileRolling();
    void autoStopAndKeyRedirect();
    void winnersPanelLayoutAndCancel();
    void progressSurvivesRestart();
    void initialiseThenRestore();
    void historyAtExit();
    void exitAsksOnceThereAreWinners();
    void everyNumberWinsOnceAndPoolRunsOut();
    void everyLineEquallyLikely();
    void musicLoops();
    void nobodyWinsTwiceInOneDraw();
    void drawOfNothingRecordsNothing();
    void correctionsSurviveRestart();
};

void TestDraw::poolChecksAndExcess() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 9));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=30\r\nEvery1=2\r\n"));
    TForm1 form;
    form.show();
    press(form);
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("请导入抽奖名单资料!")});
    QVERIFY(!form.isRolling());

    // Ten lines draw; 30 places over 20 entrants allow repeats, with the notice once per run.
    env.dialogs.clear();
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 20, QStringLiteral("N")));
    QVERIFY(form.getdata());
    for (int i = 0; i < 3; ++i)
        draw(form);
    QCOMPARE(env.dialogs.count(QStringLiteral("奖品数超出抽奖人数，只能重复抽奖")), 1);
    QCOMPARE(env.dialogs.boxes.first().caption, QStringLiteral("消息"));
    QCOMPARE(form.model().slots[0].drawn, 6);
}

void TestDraw::drawSizeAndFullPrize() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 50, QStringLiteral("员工")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=特等奖\r\nNum1=1\r\nEvery1=1\r\n"
                                                            "Name2=一等奖\r\nNum2=5\r\nEvery2=3\r\n"));
    TForm1 form;
    form.show();
    QCOMPARE(form.currentPosition(), 1);
    form.model().slots[1].drawn = 4;
    draw(form);
    QCOMPARE(form.model().slots[1].drawn, 5);
    QCOMPARE(form.winnerLists().current().size(), 1);
    QCOMPARE(child<QLabel>(form, "Label1")->text(), QStringLiteral("恭喜以下1位幸运者中了一等奖"));
    QVERIFY(form.winnerLists().all().first().startsWith(
        QStringLiteral("      以下是：1 位 一等奖 2025-01-18 20:31:05")));
    QVERIFY(env.dialogs.boxes.isEmpty());

    // The full prize refuses with a beep (second position) and the warning, and changes nothing.
    press(form);
    QCOMPARE(env.dialogs.boxes.size(), 2);
    QCOMPARE(env.dialogs.boxes[0].kind, QStringLiteral("beep"));
    QCOMPARE(env.dialogs.boxes[1].caption, QStringLiteral("温馨提示"));
    QCOMPARE(env.dialogs.boxes[1].text, QStringLiteral("该奖项已抽完!"));
    QVERIFY(!form.isRolling());
    QCOMPARE(form.winnerLists().all().size(), 2);
}

void TestDraw::prizeChangedWhileRolling() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 40, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=2\r\nEvery1=2\r\n"
                                                            "Name2=B\r\nNum2=4\r\nEvery2=4\r\n"));
    TForm1 form;
    form.show();
    press(form);
    QVERIFY(form.isRolling());
    auto* memo = child<QTextEdit>(form, "Memo3");
    QVERIFY(memo->isVisible());
    QCOMPARE(memo->toPlainText().split(QLatin1Char('\n')).size(), 10);
    auto* combo = child<QComboBox>(form, "ComboBox1");
    combo->setCurrentIndex(0);
    Q_EMIT combo->activated(0);
    press(form);
    QCOMPARE(form.model().slots[0].drawn, 2);
    QCOMPARE(form.model().slots[1].drawn, 0);
    QVERIFY(form.winnerLists().all().first().contains(QStringLiteral("以下是：2 位 A ")));
    QVERIFY(!memo->isVisible());
    QVERIFY(child<QWidget>(form, "Panel2")->isVisible());
}

void TestDraw::autoStopAndKeyRedirect() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=1\r\n"
                                                            "[Setting]\r\nStoptime=3\r\n"));
    TForm1 form;
    form.show();
    press(form);
    auto* calc = child<QTimer>(form, "calc_time");
    QVERIFY(calc->isActive());
    QMetaObject::invokeMethod(calc, "timeout", Qt::DirectConnection);
    QMetaObject::invokeMethod(calc, "timeout", Qt::DirectConnection);
    QVERIFY(form.isRolling());
    QMetaObject::invokeMethod(calc, "timeout", Qt::DirectConnection);
    QVERIFY(!form.isRolling());
    QVERIFY(!calc->isActive());
    QCOMPARE(form.model().slots[0].drawn, 1);

    // Space on the grid starts a draw; a letter does nothing.
    auto* grid = child<QTableWidget>(form, "Grid1");
    QTest::keyClick(grid, Qt::Key_A);
    QVERIFY(!form.isRolling());
    QTest::keyClick(grid, Qt::Key_Space);
    QVERIFY(form.isRolling());
    QTest::keyClick(child<QTextEdit>(form, "Memo3"), Qt::Key_Return);
    QVERIFY(!form.isRolling());
    QCOMPARE(form.model().slots[0].drawn, 2);
    // Enter on the draw button works it like Space.
    QTest::keyClick(child<QPushButton>(form, "btn_prize"), Qt::Key_Return);
    QVERIFY(form.isRolling());
    QTest::keyClick(child<QPushButton>(form, "btn_prize"), Qt::Key_Enter);
    QCOMPARE(form.model().slots[0].drawn, 3);
}

void TestDraw::winnersPanelLayoutAndCancel() {
    {
        // Seven names in three columns: three rows sharing the panel's height, the last with one name.
        TestEnv env;
        env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 12, QStringLiteral("E")));
        env.writeGbk(QStringLiteral("prize.db"),
                     QStringLiteral("[JP]\r\nName1=A\r\nNum1=7\r\nEvery1=7\r\nCol1=3\r\n"));
        TForm1 form;
        form.resize(1280, 800);
        form.show();
        form.getscreensize();
        draw(form);
        auto* grid = child<QTableWidget>(form, "Grid1");
        QCOMPARE(grid->columnCount(), 3);
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->rowHeight(0), (grid->height() - 5) / 3);
        const QStringList cells = gridTexts(form);
        QCOMPARE(cells.mid(7), (QStringList{QString(), QString()}));
        QCOMPARE(cells.mid(0, 7), form.winnerLists().current());
        QCOMPARE(grid->columnWidth(0), qRound((grid->width() - 5) / 3.0));
    }
    TestEnv env;
    // 张三 is part of 张三丰: cancelling one must never mark the other's line.
    env.writeGbk(QStringLiteral("抽奖名单.txt"),
                 QStringLiteral("张三丰\r\n张三\r\n") + numbered(1, 8, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=A\r\nNum1=10\r\nEvery1=10\r\nCol1=2\r\n"));
    TForm1 form;
    form.resize(1280, 800);
    form.show();
    form.getscreensize();
    draw(form);
    auto* grid = child<QTableWidget>(form, "Grid1");
    QCOMPARE(grid->rowCount(), 5);
    QCOMPARE(grid->rowHeight(0), (grid->height() - 5) / 5);
    const QStringList cells = gridTexts(form);
    const int at = static_cast<int>(cells.indexOf(QStringLiteral("张三")));
    QVERIFY(at >= 0);
    grid->setCurrentCell(at / 2, at % 2);
    trigger(form, "N13");
    QCOMPARE(grid->currentItem()->text(), QStringLiteral("取消---张三"));
    QCOMPARE(form.winnerLists().all().filter(QStringLiteral("---取消")),
             QStringList{QStringLiteral("A: 张三---取消")});
    // A second cancel asks nothing and marks nothing more; restore clears the mark.
    env.dialogs.clear();
    trigger(form, "N13");
    QCOMPARE(env.dialogs.texts(), QStringList());
    QCOMPARE(grid->currentItem()->text(), QStringLiteral("取消---张三"));
    QCOMPARE(form.winnerLists().all().filter(QStringLiteral("---取消")).size(), 1);
    trigger(form, "N21");
    QCOMPARE(grid->currentItem()->text(), QStringLiteral("张三"));
    QVERIFY(form.winnerLists().all().filter(QStringLiteral("---取消")).isEmpty());
    // Restore on an unmarked cell only warns; No to a question changes nothing.
    env.dialogs.clear();
    trigger(form, "N21");
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("并未取消该中奖记录，不需恢复!")});
    env.dialogs.answers.enqueue(false);
    trigger(form, "N13");
    QCOMPARE(grid->currentItem()->text(), QStringLiteral("张三"));
    // The panel's close button hides it with the announcement; the main menu shows it again.
    QTest::mouseClick(child<QWidget>(form, "sb_close"), Qt::LeftButton);
    QVERIFY(!child<QWidget>(form, "Panel2")->isVisible());
    QVERIFY(!child<QLabel>(form, "Label1")->isVisible());
    trigger(form, "N4");
    QVERIFY(child<QWidget>(form, "Panel2")->isVisible());
    QVERIFY(!child<QLabel>(form, "Label1")->isVisible());
    QCOMPARE(gridTexts(form), cells);
    // Cancelling never touches the saved list or the counts.
    QVERIFY(form.winnerLists().saved().filter(QStringLiteral("取消")).isEmpty());
    QCOMPARE(form.model().slots[0].drawn, 10);
}

void TestDraw::progressSurvivesRestart() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 60, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=20\r\nEvery1=3\r\n"
                                                            "Name2=B\r\nNum2=5\r\nEvery2=2\r\n"));
    QStringList before;
    {
        TForm1 form;
        form.show();
        draw(form);
        draw(form);
        form.selectPosition(0);
        draw(form);
        QCOMPARE(form.model().slots[0].drawn, 3);
        QCOMPARE(form.model().slots[1].drawn, 4);
        before = form.winnerLists().saved();
        QCOMPARE(before.size(), 3 + 4 + 3);
        // The files match memory after every draw.
        QCOMPARE(env.readFile(QStringLiteral("中奖名单.txt")), TextFiles::joinCrLf(before));
        const ConfigStore store(env.path(QStringLiteral("prize.db")));
        QCOMPARE(store.readInteger(QStringLiteral("State"), QStringLiteral("have0"), -1), 3);
        QCOMPARE(store.readInteger(QStringLiteral("State"), QStringLiteral("have1"), -1), 4);
        QCOMPARE(store.readInteger(QStringLiteral("State"), QStringLiteral("have7"), -1), 0);
    } // power cut: no restore in the next run until asked

    TForm1 form;
    form.show();
    QCOMPARE(form.model().slots[1].drawn, 0);
    // A restore whose winners file is gone changes nothing, counts included.
    QFile::rename(env.path(QStringLiteral("中奖名单.txt")), env.path(QStringLiteral("saved.txt")));
    trigger(form, "N20");
    QVERIFY(env.dialogs.texts().last().contains(QStringLiteral("中奖名单.txt")));
    QCOMPARE(form.model().slots[1].drawn, 0);
    QFile::rename(env.path(QStringLiteral("saved.txt")), env.path(QStringLiteral("中奖名单.txt")));
    env.dialogs.clear();
    trigger(form, "N20");
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("抽奖信息读取成功!"));
    QCOMPARE(form.model().slots[1].drawn, 4);
    QCOMPARE(form.winnerLists().all(), before);
    QCOMPARE(child<QLabel>(form, "Label4")->text(), QStringLiteral("进度 4 / 5 (每次抽2个)"));
    // The fourth draw continues the event without a repeat and without losing the three blocks.
    draw(form);
    QCOMPARE(form.model().slots[1].drawn, 5);
    const QStringList after = TextFiles::loadWinners();
    QCOMPARE(after.mid(0, before.size()), before);
    QCOMPARE(after.size(), before.size() + 2);
    QStringList names;
    for (const QString& line : after)
        if (!WinnerLists::isHeaderLine(line))
            names << WinnerLists::winnerName(line);
    QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
}

void TestDraw::initialiseThenRestore() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=3\r\n"));
    TForm1 form;
    form.show();
    draw(form);
    const QByteArray winnersFile = env.readFile(QStringLiteral("中奖名单.txt"));
    env.dialogs.answers.enqueue(false);
    trigger(form, "N18");
    QCOMPARE(form.model().slots[0].drawn, 3);
    trigger(form, "N18");
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("抽奖信息初始化成功!"));
    QCOMPARE(form.model().slots[0].drawn, 0);
    QVERIFY(form.winnerLists().all().isEmpty() && form.winnerLists().saved().isEmpty());
    QVERIFY(env.exists(QStringLiteral("progress.txt")));
    QCOMPARE(env.readFile(QStringLiteral("progress.txt")), QByteArray());
    QCOMPARE(env.readFile(QStringLiteral("中奖名单.txt")), winnersFile);
    trigger(form, "N20");
    QCOMPARE(form.model().slots[0].drawn, 3);
    QCOMPARE(form.winnerLists().all().size(), 4);
}

void TestDraw::historyAtExit() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=2\r\n"));
    {
        // An empty event writes no history, but stores the selection mode.
        TForm1 form;
        form.show();
        QVERIFY(form.close());
        QVERIFY(!env.exists(QStringLiteral("history.txt")));
        QVERIFY(env.readFile(QStringLiteral("prize.db")).contains("automatic=0\r\n"));
    }
    QStringList first;
    {
        TForm1 form;
        form.show();
        draw(form);
        first = form.winnerLists().all();
        QVERIFY(form.close());
        QCOMPARE(env.readFile(QStringLiteral("history.txt")), TextFiles::joinCrLf(first));
    }
    {
        TForm1 form;
        form.show();
        env.clock.advance(60'000);
        draw(form);
        const QStringList second = form.winnerLists().all();
        QVERIFY(form.close());
        QCOMPARE(env.readFile(QStringLiteral("history.txt")), TextFiles::joinCrLf(first) +
                                                                  QByteArray(73, '*') + "\r\n" +
                                                                  TextFiles::joinCrLf(second) + "\r\n");
    }
    // A history that cannot be written (a full disk, a read-only file) is reported once and the
    // program still closes: the results are in their own files already.
    const QByteArray before = env.readFile(QStringLiteral("history.txt"));
    QFile::setPermissions(env.path(QStringLiteral("history.txt")), QFile::ReadOwner);
    TForm1 form;
    form.show();
    env.clock.advance(60'000);
    draw(form);
    env.dialogs.clear();
    QVERIFY(form.close());
    QCOMPARE(env.dialogs.texts().size(), 1);
    QVERIFY(env.dialogs.texts().constFirst().contains(QStringLiteral("history.txt")));
    QCOMPARE(env.readFile(QStringLiteral("history.txt")), before);
    QVERIFY(env.readFile(QStringLiteral("prize.db")).contains("automatic=0\r\n"));
}

void TestDraw::exitAsksOnceThereAreWinners() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=2\r\n"));
    {
        // No winners yet: 退出 closes at once.
        TForm1 form;
        form.show();
        trigger(form, "N2");
        QVERIFY(!form.isVisible());
        QVERIFY(env.dialogs.boxes.isEmpty());
    }
    TForm1 form;
    form.show();
    draw(form);
    env.dialogs.clear();
    // With winners it asks over the stage; 否 keeps the show, 是 ends it with its exit record.
    env.dialogs.answers << false << true;
    trigger(form, "N2");
    QVERIFY(form.isVisible());
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("确定要退出抽奖程序吗?")});
    trigger(form, "N2");
    QVERIFY(!form.isVisible());
    QCOMPARE(env.readFile(QStringLiteral("history.txt")), TextFiles::joinCrLf(form.winnerLists().all()));
}

void TestDraw::everyNumberWinsOnceAndPoolRunsOut() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 300) + QStringLiteral("  \r\n\r\n"));
    // 301 places for 302 lines (two blank): no repeats are forced.
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=301\r\nEvery1=7\r\n"));
    TForm1 form;
    form.show();
    for (int i = 0; i < 42; ++i)
        draw(form);
    QCOMPARE(form.model().slots[0].drawn, 294);
    // Six are left for a draw of seven: those six, the true count everywhere, then the notice.
    draw(form);
    QCOMPARE(form.model().slots[0].drawn, 300);
    QCOMPARE(form.winnerLists().current().size(), 6);
    QVERIFY(form.winnerLists().all().last(7).first().contains(QStringLiteral("以下是：6 位 A ")));
    QCOMPARE(child<QLabel>(form, "Label1")->text(), QStringLiteral("恭喜以下6位幸运者中了A"));
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("剩余可抽奖人数不足，本次只抽出 6 位"));
    QStringList names;
    for (const QString& line : form.winnerLists().all())
        if (!WinnerLists::isHeaderLine(line))
            names << WinnerLists::winnerName(line);
    names.sort();
    QStringList expected;
    for (int i = 1; i <= 300; ++i)
        expected << QString::number(i);
    expected.sort();
    QCOMPARE(names, expected);
    // Nobody left: nothing is recorded.
    const qsizetype lines = form.winnerLists().all().size();
    draw(form);
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("已没有可抽奖的人员!"));
    QCOMPARE(form.winnerLists().all().size(), lines);
    QCOMPARE(form.model().slots[0].drawn, 300);
    QVERIFY(!form.isRolling());
}

void TestDraw::everyLineEquallyLikely() {
    // 20 lines, one winner per draw, repeats allowed: each line's share over many stops.
    TestEnv env(777);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 20, QStringLiteral("L")));
    env.writeGbk(
        QStringLiteral("prize.db"),
        QStringLiteral("[JP]\r\nName1=A\r\nNum1=1000000\r\nEvery1=1\r\n[Setting]\r\nRepeated=1\r\n"));
    TForm1 form;
    form.show();
    QHash<QString, int> wins;
    const int draws = 8000;
    for (int i = 0; i < draws; ++i) {
        env.clock.setTickCount(env.clock.tickCount() + 7919); // the tick digits change between stops
        form.engine();
        const QStringList winners = form.engine().pickWinners(0, 1, true);
        ++wins[winners.first()];
    }
    QCOMPARE(wins.size(), 20);
    // Expected 400 each; a chi-square over 19 degrees of freedom stays far below 43.8 (p = 0.001).
    double chi = 0;
    for (auto it = wins.cbegin(); it != wins.cend(); ++it)
        chi += (it.value() - 400.0) * (it.value() - 400.0) / 400.0;
    QVERIFY2(chi < 43.8, qPrintable(QString::number(chi)));
    QVERIFY(wins.value(QStringLiteral("L1")) > 300 && wins.value(QStringLiteral("L20")) > 300);
    // The tick digits widen the range by two digits below 1000 lines and by three from 1000 on.
    QCOMPARE(DrawEngine::tickDigits(123456, 999), 56u);
    QCOMPARE(DrawEngine::tickDigits(123456, 1000), 456u);
    QCOMPARE(DrawEngine::tickDigits(7, 1000), 7u);
}

namespace {
QStringList drawnNames(TForm1& form) {
    return form.winnerLists().current();
}
int distinct(const QStringList& names) {
    return static_cast<int>(QSet<QString>(names.begin(), names.end()).size());
}
} // namespace

void TestDraw::nobodyWinsTwiceInOneDraw() {
    {
        // Setting/Repeated: 15 entrants for 15 places, so nothing forces repeats. Each draw names
        // distinct entrants; the second prize may go to first-prize winners again.
        TestEnv env;
        env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 15, QStringLiteral("郑")));
        env.writeGbk(QStringLiteral("prize.db"),
                     QStringLiteral("[JP]\r\nName1=A\r\nNum1=10\r\nEvery1=10\r\nName2=B\r\nNum2=5\r\n"
                                    "Every2=5\r\n[Setting]\r\nRepeated=1\r\n"));
        TForm1 form;
        form.show();
        form.selectPosition(0);
        draw(form);
        const QStringList first = drawnNames(form);
        QCOMPARE(distinct(first), 10);
        form.selectPosition(1);
        draw(form);
        const QStringList second = drawnNames(form);
        QCOMPARE(distinct(second), 5);
        QVERIFY(
            std::any_of(second.begin(), second.end(), [&](const QString& n) { return first.contains(n); }));
        QVERIFY(env.dialogs.boxes.isEmpty());
    }
    // 30 places for 10 entrants force repeats: the third draw of four still names four, distinct.
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 10, QStringLiteral("王")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=30\r\nEvery1=4\r\n"
                                                            "Name2=B\r\nNum2=12\r\nEvery2=12\r\n"));
    TForm1 form;
    form.show();
    form.selectPosition(0);
    for (int i = 0; i < 3; ++i) {
        draw(form);
        QCOMPARE(distinct(drawnNames(form)), 4);
    }
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("奖品数超出抽奖人数，只能重复抽奖")});
    // A draw larger than the pool: every entrant once, then the rest repeated.
    form.selectPosition(1);
    draw(form);
    QCOMPARE(drawnNames(form).size(), 12);
    QCOMPARE(distinct(drawnNames(form)), 10);
}

void TestDraw::drawOfNothingRecordsNothing() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=0\r\n"));
    {
        TForm1 form;
        form.show();
        draw(form);
        QVERIFY(!form.isRolling());
        QVERIFY(form.winnerLists().all().isEmpty() && form.winnerLists().saved().isEmpty());
        QVERIFY(form.close());
    }
    // No prize at all: the same.
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[Setting]\r\nshowhelp=0\r\n"));
    TForm1 form;
    form.show();
    QCOMPARE(form.currentSlot(), -1);
    draw(form);
    QVERIFY(form.winnerLists().all().isEmpty());
    QVERIFY(form.close());
    for (const QString& file : {AppPaths::kWinners, AppPaths::kAllWinners, AppPaths::kHistory})
        QVERIFY2(!env.exists(file), qPrintable(file));
    QVERIFY(env.dialogs.boxes.isEmpty());
}

void TestDraw::correctionsSurviveRestart() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=3\r\nCol1=3\r\n"));
    const auto onDisk = [&] { return env.restorableAllWinners(); };
    QStringList seen;
    {
        TForm1 form;
        form.show();
        draw(form);
        QCOMPARE(onDisk(), form.winnerLists().all());
        // Cancel a winner in the panel, then a supplementary draw whose winner is cancelled and
        // restored: every step is on disk at once.
        child<QTableWidget>(form, "Grid1")->setCurrentCell(0, 1);
        trigger(form, "N13");
        QCOMPARE(form.winnerLists().all().filter(WinnerLists::kCancelSuffix).size(), 1);
        QCOMPARE(onDisk(), form.winnerLists().all());
        trigger(form, "N10");
        QTest::mouseClick(child<QPushButton>(form, "btn_bu"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(form, "btn_bu"), Qt::LeftButton);
        QVERIFY(form.winnerLists().all().last().endsWith(WinnerLists::kSupplementaryMark));
        QCOMPARE(onDisk(), form.winnerLists().all());
        child<QTableWidget>(form, "Grid1")->setCurrentCell(0, 0);
        trigger(form, "N13");
        trigger(form, "N21");
        trigger(form, "N13");
        QVERIFY(form.winnerLists().all().last().endsWith(WinnerLists::kCancelSuffix));
        QCOMPARE(onDisk(), form.winnerLists().all());
        // 中奖名单.txt stays the main draws' list.
        QCOMPARE(TextFiles::loadWinners(), form.winnerLists().saved());
        seen = form.winnerLists().all();
    } // power cut
    TForm1 form;
    form.show();
    trigger(form, "N20");
    QCOMPARE(form.winnerLists().all(), seen);
    QCOMPARE(form.winnerLists().saved(), TextFiles::loadWinners());
    // The next draw keeps the corrections and adds its block to both files.
    draw(form);
    QCOMPARE(form.winnerLists().all().mid(0, seen.size()), seen);
    QCOMPARE(onDisk(), form.winnerLists().all());
    QCOMPARE(TextFiles::loadWinners().size(), 8);
    QVERIFY(QDir(env.dir.path())
                .entryList({QStringLiteral("*.2*.txt")})
                .isEmpty()); // no dated copy: all restored
}

void TestDraw::musicLoops() {
    MediaPlayer::installFactory([] { return std::make_unique<FakePlayer>(); });
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=1\r\n"));
    env.writeFile(QStringLiteral("bgmusic.mp3"), "ID3");
    TForm1 form;
    form.show();
    QVERIFY(form.model().musicAvailable);
    FakePlayer::plays = FakePlayer::stops = 0;
    press(form);
    QCOMPARE(FakePlayer::plays, 1);
    auto* cycle = child<QTimer>(form, "Cycle_timer");
    auto* end = child<QTimer>(form, "Timer5");
    QVERIFY(cycle->isActive() && end->isActive());
    // At the end of the music it starts again from the beginning while names roll.
    FakePlayer::pos = 3000;
    QMetaObject::invokeMethod(cycle, "timeout", Qt::DirectConnection);
    QMetaObject::invokeMethod(end, "timeout", Qt::DirectConnection);
    QCOMPARE(FakePlayer::plays, 2);
    QCOMPARE(FakePlayer::pos, 0);
    press(form);
    QCOMPARE(FakePlayer::stops, 1);
    QVERIFY(!cycle->isActive() && !end->isActive());
    // The media layer reports later that the file cannot play: music is off, no box, draws go on.
    press(form);
    QVERIFY(cycle->isActive());
    FakePlayer::last->fail();
    QVERIFY(!form.model().musicAvailable);
    QVERIFY(!cycle->isActive() && !end->isActive());
    press(form);
    const int plays = FakePlayer::plays;
    draw(form);
    QCOMPARE(FakePlayer::plays, plays);
    QVERIFY(env.dialogs.boxes.isEmpty());
    MediaPlayer::installFactory(nullptr);

    // Without the file no player exists, and draws go on silently.
    TestEnv silent;
    silent.writeGbk(QStringLiteral("抽奖名单.txt"), numbered(1, 30, QStringLiteral("E")));
    silent.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=1\r\n"));
    TForm1 quiet;
    quiet.show();
    draw(quiet);
    QVERIFY(!quiet.model().musicAvailable && quiet.musicPlayer() == nullptr);
    QVERIFY(silent.dialogs.boxes.isEmpty());
}

QTEST_MAIN(TestDraw)
#include "test_draw.moc"
