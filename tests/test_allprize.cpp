// The all-winners window: live view of the list, auto-scroll, cancel and restore with the winners
// panel, find, appearance and export.
#include "allprize.h"
#include "configstore.h"
#include "drawengine.h"
#include "drawmodel.h"
#include "drawsession.h"
#include "drive.h"
#include "event.h"
#include "eventresults.h"
#include "testenv.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace {
QTextEdit* memoOf(Tfallprize& w) {
    return w.findChild<QTextEdit*>(QStringLiteral("memo1"));
}

QStringList shownLines(Tfallprize& w) {
    return memoOf(w)->toPlainText().split(QLatin1Char('\n'));
}

void putCaret(Tfallprize& w, int line) {
    memoOf(w)->setTextCursor(QTextCursor(memoOf(w)->document()->findBlockByNumber(line)));
}

// What the window works over, wired as the program wires it (nothing read from the folder).
struct Wired {
    ::Event event;
    DrawSession session{event};
};
struct Parts {
    DrawModel& model;
    WinnerLists& lists;
    EventResults& results;
    DrawEngine& engine;
    DrawSession& session;
};
Parts parts(Wired& wired) {
    return {wired.event.model(), wired.event.lists(), wired.event.results(), wired.event.engine(),
            wired.session};
}

void trigger(Tfallprize& w, const char* action) {
    QAction* found = w.findChild<QAction*>(QLatin1String(action));
    QVERIFY(found);
    found->trigger();
}
} // namespace

class TestAllPrize : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showScrollAndEsc();
    void followsTheLists();
    void cancelAndRestoreMarkExactNames();
    void appearanceAndStore();
    void menuShowAndFontDialog();
    void find();
    void exportWritesTheWholeList();
    void panelAndListFollowOneRule();
    void drawnForTheHall();
};

void TestAllPrize::showScrollAndEsc() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    Tfallprize w(session);
    w.showFor(1000);
    QCOMPARE(w.width(), 990);
    QCOMPARE(w.findChild<QWidget*>(QStringLiteral("sb_close"))->x(), 962);
    QVERIFY(!w.autoScrolling()); // an empty list does not scroll
    w.hide();
    lists.appendAll(QStringLiteral("一等奖: 张三"));
    w.showFor(1000);
    QVERIFY(w.autoScrolling());

    for (int i = 0; i < 100; ++i)
        lists.appendAll(QStringLiteral("三等奖: 员工%1").arg(i));
    QScrollBar* bar = memoOf(w)->verticalScrollBar();
    QTRY_VERIFY(bar->value() > 3);
    bar->setValue(bar->maximum());
    QTest::qWait(50);
    QCOMPARE(bar->value(), bar->maximum()); // rests at the end

    QTest::keyClick(memoOf(w), Qt::Key_Escape);
    QVERIFY(w.isHidden());
    QVERIFY(!w.autoScrolling());
}

void TestAllPrize::followsTheLists() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    lists.appendAll(QStringLiteral("已有的一行"));
    Tfallprize w(session);
    QCOMPARE(shownLines(w), lists.all());
    lists.appendAll(QStringLiteral("一等奖: 张三"));
    putCaret(w, 1);
    memoOf(w)->moveCursor(QTextCursor::EndOfBlock); // a caret at the very end stays on its line
    lists.appendAll(QStringLiteral("一等奖: 带\n换行\r的名字"));
    QCOMPARE(shownLines(w), (QStringList{QStringLiteral("已有的一行"), QStringLiteral("一等奖: 张三"),
                                         QStringLiteral("一等奖: 带 换行 的名字")}));
    QCOMPARE(w.caretLine(), 1);
    lists.setAllLine(1, QStringLiteral("一等奖: 李四"));
    QCOMPARE(shownLines(w).at(1), QStringLiteral("一等奖: 李四"));
    lists.setAll({QStringLiteral("甲"), QStringLiteral("乙")});
    QCOMPARE(shownLines(w), lists.all());
    lists.setAll({});
    QCOMPARE(memoOf(w)->toPlainText(), QString());
    QCOMPARE(w.caretLine(), -1);
}

void TestAllPrize::cancelAndRestoreMarkExactNames() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    Tfallprize w(session);
    lists.setAll({WinnerLists::headerLine(2, QStringLiteral("一等奖"), env.clock.now()),
                  QStringLiteral("一等奖: 张三"), QStringLiteral("一等奖: 张三丰"),
                  QStringLiteral("二等奖: 李四---补抽奖"), QString()});
    // The latest draw as the panel shows it: each result linked to its line; 王五 to none.
    for (const QString& cell : {QStringLiteral("张三"), QStringLiteral("张三丰"),
                                QStringLiteral("二等奖：李四---补抽奖"), QStringLiteral("王五")})
        lists.appendCurrent(cell);
    lists.linkCurrent({1, 2, 3, -1});
    const auto cell = [&session](int i) { return session.results().at(i).shown(); };

    putCaret(w, 1);
    trigger(w, "N1");
    trigger(w, "N1"); // a line already cancelled is not cancelled again
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("真的要取消 一等奖: 张三 中奖?")});
    QCOMPARE(lists.all().at(1), QStringLiteral("一等奖: 张三---取消"));
    QCOMPARE(cell(0), QStringLiteral("取消---张三"));
    QCOMPARE(cell(1), QStringLiteral("张三丰"));
    trigger(w, "N11");
    QCOMPARE(lists.all().at(1), QStringLiteral("一等奖: 张三"));
    QCOMPARE(cell(0), QStringLiteral("张三"));
    env.dialogs.clear();
    trigger(w, "N11");
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("并未取消该中奖记录，不需恢复!")});

    putCaret(w, 2); // the line of 张三丰 marks its own result, not the 张三 before it
    trigger(w, "N1");
    QCOMPARE(cell(0), QStringLiteral("张三"));
    QCOMPARE(cell(1), QStringLiteral("取消---张三丰"));

    putCaret(w, 3);
    env.dialogs.answers.enqueue(false);
    trigger(w, "N1");
    QCOMPARE(lists.all().at(3), QStringLiteral("二等奖: 李四---补抽奖")); // No changes nothing
    trigger(w, "N1");
    QCOMPARE(cell(2), QStringLiteral("取消---二等奖：李四---补抽奖"));

    // A header line and a blank line name no winner: nothing is asked, nothing marked.
    env.dialogs.clear();
    for (int line : {0, 4}) {
        putCaret(w, line);
        trigger(w, "N1");
    }
    QCOMPARE(env.dialogs.texts(), QStringList());
    QVERIFY(!lists.all().at(0).contains(WinnerLists::kCancelSuffix));
    QCOMPARE(lists.all().at(4), QString());
    QCOMPARE(cell(3), QStringLiteral("王五"));
    // The panel's cancel of a result without a line marks nothing and says nothing.
    QVERIFY(!session.cancelResult(3).isEmpty());
    QCOMPARE(env.dialogs.texts(), QStringList());
}

void TestAllPrize::appearanceAndStore() {
    TestEnv env;
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[PrizeMemo]\r\nFontStyle=[fsBold,fsUnderline]\r\nfontcolor=clLime\r\n"
                                "memocolor=burgundy\r\n"));
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    Tfallprize w(session);
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("'burgundy' is not a valid integer value")});
    QVERIFY(memoOf(w)->font().bold());
    QVERIFY(!memoOf(w)->font().underline());
    QCOMPARE(w.listFontColor(), QColor(Qt::green));
    QCOMPARE(w.listBackground(), QColor(Qt::red));

    env.dialogs.colors.enqueue(QColor(Qt::blue));
    trigger(w, "N7");
    trigger(w, "N8"); // cancelled: the keys are written all the same
    ConfigStore store(env.path(QStringLiteral("prize.db")));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("memocolor"), {}),
             QStringLiteral("clBlue"));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("fontcolor"), {}),
             QStringLiteral("clLime"));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("FontStyle"), {}),
             QStringLiteral("[fsBold]"));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("fontname"), {}),
             QStringLiteral("Arial"));

    // A store that cannot be written is reported, and the window goes on.
    QFile::remove(env.path(QStringLiteral("prize.db")));
    QVERIFY(QDir(env.dir.path()).mkdir(QStringLiteral("prize.db")));
    env.dialogs.clear();
    trigger(w, "N8");
    QCOMPARE(env.dialogs.texts().size(), 1);
    QVERIFY(env.dialogs.texts().at(0).startsWith(QStringLiteral("Unable to write to")));

    // No stored style: the list keeps its bold design font.
    TestEnv fresh;
    Tfallprize plain(session);
    QVERIFY(memoOf(plain)->font().bold());
}

void TestAllPrize::menuShowAndFontDialog() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    Tfallprize w(session);
    for (const char* name : {"N9", "N6"}) {
        auto* separator = w.findChild<QAction*>(QLatin1String(name));
        QVERIFY(separator->isSeparator() && separator->text().isEmpty());
    }

    // Shown again while showing: brought to the front where the operator dragged it.
    w.showFor(1000);
    w.move(37, 41);
    w.showFor(1200);
    QCOMPARE(w.pos(), QPoint(37, 41));
    QCOMPARE(w.width(), 990);

    // OK on the font dialog as it opened changes nothing; the colour is asked for after it.
    const QFont design = memoOf(w)->font();
    QFont preset(QFontInfo(design).family());
    preset.setPointSize(qRound(35 * 72.0 / memoOf(w)->logicalDpiY()));
    preset.setBold(true);
    env.dialogs.fonts.enqueue(preset);
    env.dialogs.colors.enqueue(QColor(Qt::cyan));
    trigger(w, "N8");
    QCOMPARE(env.dialogs.boxes.at(0).text, preset.family()); // opened on the face really used
    QCOMPARE(memoOf(w)->font(), design);
    QCOMPARE(w.listFontColor(), QColor(Qt::cyan));
    ConfigStore store(env.path(QStringLiteral("prize.db")));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("fontname"), {}),
             QStringLiteral("Arial"));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("FontStyle"), {}),
             QStringLiteral("[fsBold]"));
    QCOMPARE(store.readString(QStringLiteral("PrizeMemo"), QStringLiteral("fontcolor"), {}),
             QStringLiteral("clAqua"));

    // A real change: italic, not bold; a cancelled colour keeps the colour.
    QFont italic = preset;
    italic.setBold(false);
    italic.setItalic(true);
    env.dialogs.fonts.enqueue(italic);
    trigger(w, "N8");
    QVERIFY(memoOf(w)->font().italic() && !memoOf(w)->font().bold());
    QCOMPARE(w.listFontColor(), QColor(Qt::cyan));
    QCOMPARE(ConfigStore(env.path(QStringLiteral("prize.db")))
                 .readString(QStringLiteral("PrizeMemo"), QStringLiteral("FontStyle"), {}),
             QStringLiteral("[fsItalic]"));
}

void TestAllPrize::find() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    lists.setAll({QStringLiteral("一等奖: alpha"), QStringLiteral("二等奖: ALPHA"),
                  QStringLiteral("三等奖: alphabet")});
    Tfallprize w(session);
    const auto selected = [&w] { return memoOf(w)->textCursor().selectedText(); };
    QVERIFY(w.findNext(QStringLiteral("ALPHA"), true, false));
    QCOMPARE(w.caretLine(), 1);
    QVERIFY(!w.findNext(QStringLiteral("ALPHA"), true, false));
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("找不到相关字串!")});
    QCOMPARE(w.caretLine(), 1); // the selection stays
    QCOMPARE(selected(), QStringLiteral("ALPHA"));

    putCaret(w, 0);
    QStringList lines;
    while (w.findNext(QStringLiteral("alpha"), false, false))
        lines << QString::number(w.caretLine());
    QCOMPARE(lines.join(u','), QStringLiteral("0,1,2"));
    putCaret(w, 0);
    lines.clear();
    while (w.findNext(QStringLiteral("alpha"), false, true))
        lines << QString::number(w.caretLine());
    QCOMPARE(lines.join(u','), QStringLiteral("0,1"));

    // The find window searches the same way, case-insensitive unless asked.
    putCaret(w, 0);
    trigger(w, "N3");
    auto* window = w.findChild<QWidget*>(QStringLiteral("FindDialog1"));
    QVERIFY(window->isVisible());
    QTest::keyClicks(window->findChild<QLineEdit*>(QStringLiteral("findText")), QStringLiteral("Alphabet"));
    QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("findNext")), Qt::LeftButton);
    QCOMPARE(w.caretLine(), 2);
}

void TestAllPrize::exportWritesTheWholeList() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    lists.setSaved({QStringLiteral("旧的一行")});
    const QStringList all = {WinnerLists::headerLine(1, QStringLiteral("一等奖"), env.clock.now()),
                             QStringLiteral("一等奖: 张三---取消"), QStringLiteral("二等奖: 李四---补抽奖")};
    lists.setAll(all);
    Tfallprize w(session);
    trigger(w, "N2");
    QCOMPARE(env.readFile(QStringLiteral("中奖名单.txt")),
             gbk(all.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    QCOMPARE(lists.saved(), all);
    QCOMPARE(env.dialogs.texts(),
             QStringList{QStringLiteral("已保存在：") + env.path(QStringLiteral("中奖名单.txt"))});

    // The spreadsheet export's boxes belong to this always-on-top window even when the window
    // system has handed the activation to another window meanwhile (the main window, after the save
    // dialog closed): under it they would be hidden and the program would look frozen.
    QWidget other;
    other.show();
    w.show();
    QApplication::setActiveWindow(&other);
    env.dialogs.clear();
    env.dialogs.saveFiles.enqueue(env.path(QStringLiteral("结果.csv")));
    trigger(w, "exportResults");
    QCOMPARE(env.dialogs.boxes.constLast().kind, QStringLiteral("message"));
    QVERIFY(env.dialogs.boxes.constLast().text.startsWith(QStringLiteral("已导出 2 条中奖记录")));
    QCOMPARE(env.dialogs.boxes.constLast().owner, &w);
    w.hide();

    // A winners file that cannot be written: the error box, and the saved list stays as it was.
    TestEnv locked;
    QVERIFY(QDir(locked.dir.path()).mkdir(QStringLiteral("中奖名单.txt")));
    lists.setSaved({});
    trigger(w, "N2");
    QCOMPARE(locked.dialogs.boxes.size(), 1);
    QCOMPARE(locked.dialogs.boxes[0].icon, Dialogs::Icon::Critical);
    QVERIFY(lists.saved().isEmpty());
}

void TestAllPrize::panelAndListFollowOneRule() {
    // Repeats allowed: ten entrants, ten places a draw, so everybody wins in both draws. The panel
    // shows the second draw.
    TestEnv env;
    QString entrants;
    for (int i = 1; i <= 10; ++i)
        entrants += QStringLiteral("员工%1\r\n").arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants);
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=A\r\nNum1=20\r\nEvery1=10\r\nCol1=5\r\n"
                                "[Setting]\r\nRepeated=1\r\n"));
    TForm1 form;
    form.show();
    draw(form);
    env.clock.advance(60'000);
    draw(form);
    const QStringList& all = form.winnerLists().all();
    QTableWidget* grid = form.winnersGrid();
    const QString name = grid->item(1, 0)->text(); // the sixth name of the second draw
    const int first = static_cast<int>(all.indexOf(QStringLiteral("A: ") + name));
    const int second = static_cast<int>(all.lastIndexOf(QStringLiteral("A: ") + name));
    QVERIFY(first > 0 && first < 11 && second > 11);

    // The window's cancel of the first draw's line leaves the panel (the second draw) alone.
    Tfallprize w(form.session());
    putCaret(w, first);
    trigger(w, "N1");
    QVERIFY(all.at(first).endsWith(WinnerLists::kCancelSuffix));
    QCOMPARE(grid->item(1, 0)->text(), name);
    // The panel's cancel and restore act on the second draw's line, which the window follows.
    grid->setCurrentCell(1, 0);
    form.findChild<QAction*>(QStringLiteral("N13"))->trigger();
    QCOMPARE(grid->item(1, 0)->text(), WinnerLists::cancelCell(name));
    QVERIFY(all.at(second).endsWith(WinnerLists::kCancelSuffix));
    form.findChild<QAction*>(QStringLiteral("N21"))->trigger();
    QVERIFY(!all.at(second).contains(WinnerLists::kCancelSuffix));
    QVERIFY(all.at(first).endsWith(WinnerLists::kCancelSuffix));
    putCaret(w, second);
    trigger(w, "N1");
    QCOMPARE(grid->item(1, 0)->text(), WinnerLists::cancelCell(name));
    putCaret(w, first);
    trigger(w, "N11");
    QCOMPARE(grid->item(1, 0)->text(), WinnerLists::cancelCell(name));
    QVERIFY(!all.at(first).contains(WinnerLists::kCancelSuffix));
    QCOMPARE(env.restorableAllWinners(), all);
}

void TestAllPrize::drawnForTheHall() {
    TestEnv env;
    Wired event;
    auto [model, lists, results, engine, session] = parts(event);
    const QStringList lines = {QStringLiteral("      以下是：2 位 一等奖 2025-01-18 20:31:05"),
                               QStringLiteral("一等奖: 张三\tA001"), QStringLiteral("一等奖: 欧阳娜娜\tA002"),
                               QStringLiteral("二等奖: 李四---补抽奖"),
                               QStringLiteral("一等奖: 王五---取消")};
    for (const QString& line : lines)
        lists.appendAll(line);
    Tfallprize w(session);
    w.showFor(1000);
    lists.appendAll(QStringLiteral("一等奖: 赵六\tA003"));
    // Only the look changes: the text is the list's, with no path, no caret.
    QCOMPARE(memoOf(w)->toPlainText(),
             (lines + QStringList{QStringLiteral("一等奖: 赵六\tA003")}).join(u'\n'));
    auto* label = w.findChild<QLabel*>(QStringLiteral("Label1"));
    QVERIFY(!label->text().contains(AppPaths::file(AppPaths::kWinners)));
    QVERIFY(!memoOf(w)->textInteractionFlags().testFlag(Qt::TextSelectableByKeyboard));
    QCOMPARE(memoOf(w)->cursorWidth(), 0);

    const auto block = [&w](int line) { return memoOf(w)->document()->findBlockByNumber(line); };
    const auto colorAt = [&block](int line, int column) {
        QTextCursor cursor(block(line));
        cursor.setPosition(block(line).position() + column + 1);
        return cursor.charFormat().foreground().color();
    };
    QCOMPARE(block(0).blockFormat().alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QVERIFY(colorAt(0, 8) != w.listFontColor()); // the heading in gold
    QCOMPARE(colorAt(1, 6), w.listFontColor());  // the name in the list's colour
    QTextCursor cancelled(block(4));
    cancelled.setPosition(block(4).position() + 5);
    QVERIFY(cancelled.charFormat().fontStrikeOut());
    // The fields stand in columns, the line appended later too: the same stops, the same start.
    for (const int line : {2, 5}) {
        QCOMPARE(block(line).blockFormat().tabPositions(), block(1).blockFormat().tabPositions());
        QCOMPARE(block(line).blockFormat().leftMargin() + block(line).blockFormat().textIndent(),
                 block(1).blockFormat().leftMargin() + block(1).blockFormat().textIndent());
    }
    QVERIFY(block(1).blockFormat().leftMargin() > 0); // centred as a whole
}

QTEST_MAIN(TestAllPrize)
#include "test_allprize.moc"
