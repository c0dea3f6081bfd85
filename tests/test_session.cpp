// The live draw from every front end at once: the stage's keys (held down too) and menus, the console's
// buttons, the auto-stop and boxes answered late all drive one draw session; the stage and the console
// only show it. The last case drives random sequences of all of these, with kills and restarts.
#include "clock.h"
#include "consolewindow.h"
#include "drawsession.h"
#include "drive.h"
#include "resultsexport.h"
#include "scripteddialogs.h"
#include "testenv.h"
#include "textfiles.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QKeyEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSet>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

namespace {
// A double whose questions may be answered late: while one is open, whileAsking runs (an auto-stop,
// another front end's command), as it can inside a real box's event loop.
class LateDialogs : public ScriptedDialogs {
public:
    std::function<void()> whileAsking;
    bool question(const QString& caption, const QString& text) override {
        if (auto during = std::exchange(whileAsking, nullptr))
            during();
        return ScriptedDialogs::question(caption, text);
    }
};

// Three prizes; the last (the first drawn) takes ten a draw in five columns.
void writeEvent(const TestEnv& env, int stopSeconds) {
    QString entrants;
    for (int i = 1; i <= 60; ++i)
        entrants += QStringLiteral("员工%1\tA%2\r\n").arg(i).arg(i, 4, 10, QLatin1Char('0'));
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants);
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[Setting]\r\nshowhelp=0\r\nStoptime=%1\r\n"
                                "[JP]\r\nName1=一等奖\r\nNum1=2\r\nEvery1=1\r\n"
                                "Name2=二等奖\r\nNum2=10\r\nEvery2=5\r\nCol2=5\r\n"
                                "Name3=三等奖\r\nNum3=40\r\nEvery3=10\r\nCol3=5\r\n")
                     .arg(stopSeconds));
}

// A key held down: the press, its auto-repeats, the release.
void holdKey(QWidget* target, int key, int repeats) {
    for (int i = 0; i <= repeats; ++i) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), i > 0);
        QApplication::sendEvent(target, &press);
    }
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

// The same as X delivers it when Qt does not see the repeat coming: release and press pairs, each pair
// at one time of the window system, none marked as a repeat.
void holdKeyUnmarked(QWidget* target, int key, int repeats, quint64 start) {
    QKeyEvent first(QEvent::KeyPress, key, Qt::NoModifier);
    first.setTimestamp(start);
    QApplication::sendEvent(target, &first);
    for (int i = 1; i <= repeats + 1; ++i) {
        const quint64 at = start + 500 + 40 * static_cast<quint64>(i);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        release.setTimestamp(at);
        QApplication::sendEvent(target, &release);
        if (i > repeats)
            break;
        QKeyEvent again(QEvent::KeyPress, key, Qt::NoModifier);
        again.setTimestamp(at);
        QApplication::sendEvent(target, &again);
    }
}

int drawsOf(const TForm1& form) {
    int headers = 0;
    for (const QString& line : const_cast<TForm1&>(form).winnerLists().all())
        headers += WinnerLists::isHeaderLine(line) ? 1 : 0;
    return headers;
}

QPushButton* consoleRowButton(ConsoleWindow& console, int row, const char* name) {
    QWidget* cell = child<QTableWidget>(console, QStringLiteral("consoleWinners"))->cellWidget(row, 3);
    return cell ? cell->findChild<QPushButton*>(QLatin1String(name)) : nullptr;
}

// What the stage's winners panel shows, cell by cell, and the console's rows.
QStringList stageCells(TForm1& form) {
    QStringList cells;
    const auto* grid = child<QTableWidget>(form, QStringLiteral("Grid1"));
    for (int r = 0; r < grid->rowCount(); ++r)
        for (int c = 0; c < grid->columnCount(); ++c)
            if (const QTableWidgetItem* item = grid->item(r, c); item && !item->text().isEmpty())
                cells << item->text();
    return cells;
}

QStringList consoleRows(ConsoleWindow& console) {
    QStringList rows;
    for (const ConsoleState::Winner& winner : console.state().winners)
        rows << winner.text;
    const auto* table = child<QTableWidget>(console, QStringLiteral("consoleWinners"));
    if (table->rowCount() != rows.size())
        rows << QStringLiteral("(table rows differ)");
    return rows;
}
} // namespace

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lateAnswersNeverMarkAnotherDraw();
    void aHeldKeyIsOnePress();
    void supplementaryRollOwnsThePanel();
    void initialiseLeavesNoPutAsideResults();
    void randomSequencesFromEveryFrontEnd();
};

void TestSession::lateAnswersNeverMarkAnotherDraw() {
    TestEnv env;
    writeEvent(env, 2);
    LateDialogs dialogs;
    TForm1 form;
    ConsoleWindow console(form, nullptr);
    form.show();
    console.show();
    DrawSession& session = form.session();
    draw(form);
    QCOMPARE(session.results().size(), 10);

    // The console's 取消中奖 while the next roll runs; the auto-stop records that draw inside the box.
    press(form);
    dialogs.whileAsking = [&session] {
        session.autoStopTick();
        session.autoStopTick();
    };
    consoleRowButton(console, 0, "cancel")->click();
    QCOMPARE(drawsOf(form), 2);
    QVERIFY(form.winnerLists().all().filter(WinnerLists::kCancelSuffix).isEmpty());
    for (const DrawSession::Result& result : session.results())
        QVERIFY(!result.cancelled);

    // The stage's 恢复中奖 likewise: the answer comes after the next draw and restores nothing.
    QVERIFY(session.cancelResult(2).isEmpty());
    const int cancelledLine = session.results().at(2).line;
    press(form);
    dialogs.whileAsking = [&session] {
        session.autoStopTick();
        session.autoStopTick();
    };
    child<QTableWidget>(form, QStringLiteral("Grid1"))->setCurrentCell(0, 2);
    child<QAction>(form, QStringLiteral("N21"))->trigger();
    QCOMPARE(drawsOf(form), 3);
    QVERIFY(form.winnerLists().all().at(cancelledLine).endsWith(WinnerLists::kCancelSuffix));
    QCOMPARE(form.winnerLists().all().filter(WinnerLists::kCancelSuffix).size(), 1);
    // Every announced winner is on disk.
    QCOMPARE(env.readFile(QStringLiteral("中奖名单.txt")), TextFiles::joinCrLf(form.winnerLists().saved()));
    QCOMPARE(stageCells(form), consoleRows(console));
}

void TestSession::aHeldKeyIsOnePress() {
    TestEnv env;
    writeEvent(env, 0);
    TForm1 form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto* button = child<QPushButton>(form, QStringLiteral("btn_prize"));
    button->setFocus();
    // Enter held on the (auto-default) draw button: one start, one stop.
    holdKey(button, Qt::Key_Return, 8);
    QVERIFY(form.session().rolling());
    holdKey(button, Qt::Key_Return, 8);
    QVERIFY(!form.session().rolling());
    QCOMPARE(drawsOf(form), 1);
    // Space held there, and Space and Enter held on the winners grid (its key redirect).
    holdKey(button, Qt::Key_Space, 8);
    holdKey(button, Qt::Key_Space, 8);
    QCOMPARE(drawsOf(form), 2);
    auto* grid = child<QTableWidget>(form, QStringLiteral("Grid1"));
    grid->setFocus();
    holdKey(grid, Qt::Key_Enter, 8);
    QVERIFY(form.session().rolling());
    holdKey(QApplication::focusWidget(), Qt::Key_Space, 8);
    QCOMPARE(drawsOf(form), 3);
    QCOMPARE(form.model().slots[2].drawn, 30); // three draws of 10 and no more
    // Repeats that come unmarked, at the time of the release before them, are repeats all the same.
    button->setFocus();
    holdKeyUnmarked(button, Qt::Key_Return, 8, 10'000);
    QVERIFY(form.session().rolling());
    holdKeyUnmarked(button, Qt::Key_Space, 8, 20'000);
    QCOMPARE(drawsOf(form), 4);
    QVERIFY(!form.session().rolling());
}

void TestSession::supplementaryRollOwnsThePanel() {
    TestEnv env;
    writeEvent(env, 0);
    TForm1 form;
    form.show();
    draw(form);
    child<QAction>(form, QStringLiteral("N10"))->trigger();
    auto* start = child<QPushButton>(form, QStringLiteral("btn_bu"));
    start->click();
    QCOMPARE(form.session().phase(), DrawSession::Phase::SupplementaryRoll);
    // Its ✕, Esc and the console's close leave the panel open while its names roll.
    auto* close = child<QWidget>(form, QStringLiteral("SpeedButton1"));
    QVERIFY(!close->isEnabled());
    QMetaObject::invokeMethod(close, "clicked", Qt::DirectConnection);
    QVERIFY(!form.session().closeSupplementary().isEmpty());
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(form.supplementaryOpen());
    // The main draw cannot start meanwhile; the next Space gives the supplementary result.
    QVERIFY(!form.session().toggleDraw().isEmpty());
    QTest::keyClick(start, Qt::Key_Space);
    QCOMPARE(form.session().phase(), DrawSession::Phase::Idle);
    QCOMPARE(form.session().results().size(), 1);
    QVERIFY(form.session().results().first().supplementary);
    QCOMPARE(drawsOf(form), 1);
    // The export gives the supplementary winner the time of its draw, kept beside its line.
    const QList<ResultsExport::Row> rows = ResultsExport::rows(form.winnerLists(), {});
    QCOMPARE(rows.last().status, QStringLiteral("补抽"));
    QCOMPARE(rows.last().time, Clock::instance().now().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    QVERIFY(close->isEnabled());

    // A roll always stops, also when the selector was moved to a prize drawn in full meanwhile.
    form.SpeedButton1Click();
    form.selectPosition(0);
    draw(form);
    draw(form);
    QCOMPARE(form.model().slots[0].drawn, 2); // 一等奖 is full
    form.selectPosition(2);
    press(form);
    form.choosePrize(0);
    press(form);
    QVERIFY(!form.session().rolling());
    QCOMPARE(form.model().slots[0].drawn, 2);

    // The panel opens on the prize of the winner cancelled last, wherever the selectors were, in the
    // subtitles' place; once filled, on the prize on show.
    ScriptedDialogs dialogs;
    form.selectPosition(1);
    draw(form);
    form.selectPosition(2);
    QVERIFY(form.session().cancelResult(0).isEmpty());
    form.N10Click();
    QCOMPARE(form.supplementaryPosition(), 1);
    QVERIFY(child<QWidget>(form, QStringLiteral("Panel1"))->isVisible());
    QVERIFY(!child<QWidget>(form, QStringLiteral("title2"))->isVisible());
    QTest::keyClick(start, Qt::Key_Space);
    QTest::keyClick(start, Qt::Key_Space);
    form.SpeedButton1Click();
    QVERIFY(child<QWidget>(form, QStringLiteral("title2"))->isVisible());
    form.N10Click();
    QCOMPARE(form.supplementaryPosition(), 2);
}

void TestSession::initialiseLeavesNoPutAsideResults() {
    TestEnv env;
    writeEvent(env, 0);
    TForm1 form;
    ConsoleWindow console(form, nullptr);
    form.show();
    draw(form);
    QCOMPARE(stageCells(form).size(), 10);
    child<QAction>(form, QStringLiteral("N18"))->trigger();
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("抽奖信息初始化成功!"));
    QVERIFY(form.session().results().isEmpty());
    QCOMPARE(stageCells(form), QStringList());
    QCOMPARE(consoleRows(console), QStringList());
    // Nothing is there to cancel: no question, no mark anywhere.
    env.dialogs.clear();
    child<QAction>(form, QStringLiteral("N13"))->trigger();
    QCOMPARE(env.dialogs.texts(), QStringList());
    QVERIFY(form.winnerLists().all().isEmpty());
}

void TestSession::randomSequencesFromEveryFrontEnd() {
    const int sequences = qEnvironmentVariableIsSet("SESSION_SEQUENCES")
                              ? qEnvironmentVariableIntValue("SESSION_SEQUENCES")
                              : 12;
    constexpr int kSteps = 60;
    int kills = 0, lateAnswers = 0, draws = 0, takenBack = 0;
    for (int sequence = 0; sequence < sequences; ++sequence) {
        TestEnv env(1000 + static_cast<quint32>(sequence));
        writeEvent(env, sequence % 2 == 0 ? 2 : 0);
        LateDialogs dialogs;
        QRandomGenerator pick(static_cast<quint32>(sequence) * 7919u + 17u);
        auto form = std::make_unique<TForm1>();
        auto console = std::make_unique<ConsoleWindow>(*form, nullptr);
        form->show();
        console->show();
        QStringList trace;
        // A failing disk: prize.db turns read-only and back at random; a stop whose save fails is
        // taken back, so what the stage shows is always what the disk holds.
        const QString db = env.path(QStringLiteral("prize.db"));
        const QFileDevice::Permissions writable = QFile::permissions(db);
        bool failing = false;
        for (int step = 0; step < kSteps; ++step) {
            DrawSession& session = form->session();
            const int results = static_cast<int>(session.results().size());
            const int action = pick.bounded(17);
            trace << QString::number(action);
            switch (action) {
            case 0:
                holdKey(child<QPushButton>(*form, QStringLiteral("btn_prize")), Qt::Key_Return,
                        pick.bounded(4));
                break;
            case 1:
                form->presenterToggle();
                break;
            case 2:
                child<QPushButton>(*console, QStringLiteral("consoleDraw"))->click();
                break;
            case 3:
            case 4:
                if (results > 0) {
                    if (QPushButton* b = consoleRowButton(*console, pick.bounded(results),
                                                          action == 3 ? "cancel" : "restore"))
                        b->click();
                }
                break;
            case 5: {
                auto* grid = child<QTableWidget>(*form, QStringLiteral("Grid1"));
                grid->setCurrentCell(pick.bounded(std::max(1, grid->rowCount())),
                                     pick.bounded(std::max(1, grid->columnCount())));
                child<QAction>(*form, pick.bounded(2) ? QStringLiteral("N13") : QStringLiteral("N21"))
                    ->trigger();
                break;
            }
            case 6:
                if (pick.bounded(2))
                    child<QAction>(*form, QStringLiteral("N10"))->trigger();
                else
                    child<QPushButton>(*console, QStringLiteral("consoleOpenSupplementary"))->click();
                break;
            case 7:
                if (pick.bounded(2))
                    form->btn_buClick();
                else
                    child<QPushButton>(*console, QStringLiteral("consoleSupplementary"))->click();
                break;
            case 8:
                if (pick.bounded(2))
                    form->SpeedButton1Click();
                else
                    QTest::keyClick(form.get(), Qt::Key_Escape);
                break;
            case 9:
                form->choosePrize(pick.bounded(3));
                break;
            case 10:
                QTest::keyClick(form.get(), Qt::Key_PageUp);
                break;
            case 11:
            case 12:
                session.autoStopTick();
                break;
            case 13: {
                // A question answered after another front end acted.
                ++lateAnswers;
                dialogs.whileAsking = [&session, &pick] {
                    if (pick.bounded(2))
                        session.presenterToggle();
                    session.autoStopTick();
                    session.autoStopTick();
                };
                if (results > 0)
                    session.cancelResult(pick.bounded(results));
                else
                    child<QAction>(*form, QStringLiteral("N20"))->trigger();
                dialogs.whileAsking = nullptr;
                break;
            }
            case 14:
                child<QAction>(*form, QStringLiteral("N20"))->trigger();
                break;
            case 15: {
                // Killed and started again: no exit record; the start-up question brings it back.
                ++kills;
                console.reset();
                form->hide();
                form.reset();
                form = std::make_unique<TForm1>();
                console = std::make_unique<ConsoleWindow>(*form, nullptr);
                form->show();
                console->show();
                form->offerRestore();
                break;
            }
            case 16:
                failing = !failing;
                QFile::setPermissions(db, failing ? writable &
                                                        ~(QFileDevice::WriteOwner | QFileDevice::WriteUser |
                                                          QFileDevice::WriteGroup | QFileDevice::WriteOther)
                                                  : writable);
                break;
            }
            const QString where =
                QStringLiteral("sequence %1 step %2: %3").arg(sequence).arg(step).arg(trace.join(u' '));
            DrawSession& now = form->session();
            // The stage and the console show the same phase and results.
            QCOMPARE(child<QPushButton>(*console, QStringLiteral("consoleDraw"))->text(),
                     child<QPushButton>(*form, QStringLiteral("btn_prize"))->text());
            QVERIFY2(stageCells(*form) == consoleRows(*console), qPrintable(where));
            // Every announced winner is on disk; no prize has more winners than places.
            if (!form->winnerLists().saved().isEmpty())
                QVERIFY2(env.readFile(QStringLiteral("中奖名单.txt")) ==
                             TextFiles::joinCrLf(form->winnerLists().saved()),
                         qPrintable(where));
            for (const PrizeSlot& prize : form->model().slots)
                QVERIFY2(prize.drawn <= prize.quantity, qPrintable(where));
            // Nobody twice in one draw.
            QSet<QString> seen;
            for (const DrawSession::Result& result : now.results()) {
                QVERIFY2(!seen.contains(result.cell), qPrintable(where));
                seen.insert(result.cell);
            }
        }
        QFile::setPermissions(db, writable);
        for (const QString& text : dialogs.texts())
            takenBack += text.startsWith(DrawSession::kNotSaved) ? 1 : 0;
        draws += drawsOf(*form);
        QVERIFY(form->close());
    }
    qInfo("%d sequences of %d steps: %d kills, %d late answers, %d stops taken back, %d draws in the last "
          "states",
          sequences, kSteps, kills, lateAnswers, takenBack, draws);
    QVERIFY(takenBack > 0);
}

QTEST_MAIN(TestSession)
#include "test_session.moc"
