// Start-up of the draw screen: the prize table, titles, progress text, selection modes and the tips.
#include "allprize.h"
#include "configstore.h"
#include "drawsession.h"
#include "drive.h"
#include "eventstore.h"
#include "lotteryapp.h"
#include "mainhelp.h"
#include "prizebanner.h"
#include "setting.h"
#include "systemreason.h"
#include "testenv.h"
#include "textfiles.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <sys/mount.h>

namespace {
QString entrants(int count) {
    QString text;
    for (int i = 1; i <= count; ++i)
        text += QStringLiteral("员工%1\r\n").arg(i);
    return text;
}

// Notes whether the tips window, which stays on top of every window, was up while a question was asked.
class TipsWatchingDialogs : public ScriptedDialogs {
public:
    bool question(const QString& caption, const QString& text) override {
        if (tips && tips->isVisible())
            askedUnderTips = true;
        return ScriptedDialogs::question(caption, text);
    }
    QWidget* tips = nullptr;
    bool askedUnderTips = false;
};

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void firstStartWithoutAnyFile();
    void prizeTableWithGapMapsPositionsToSlots();
    void subtitleAndSummary();
    void badValuesInPrizeDb();
    void automaticSelection();
    void hostileEntrantLists();
    void tipsWindow();
    void windowsWiredTogether();
    void startOffersToRestoreAndKeepsWhatItReplaces();
    void restoreQuestionComesBeforeTheTips();
    void restoreBringsBackTheLastSavedState();
    void unwritableFolderIsSaidBeforeAnyDraw();
};

void TestStartup::firstStartWithoutAnyFile() {
    TestEnv env;
    TForm1 form;
    // The missing entrant list is reported with its path, and start-up goes on.
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QVERIFY(env.dialogs.boxes[0].text.contains(env.path(QStringLiteral("抽奖名单.txt"))));
    QCOMPARE(form.model().pool.count(), 0);
    QVERIFY(form.showHelpAtStart());
    QVERIFY(form.model().fullScreen);
    QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    QCOMPARE(child<QLabel>(form, "title1")->text(), QStringLiteral("某某公司现场抽奖仪式"));
    QCOMPARE(child<QLabel>(form, "title2")->text(), QString());
    form.show();
    QCOMPARE(child<QComboBox>(form, "ComboBox1")->count(), 0);
    QCOMPARE(form.currentPosition(), -1);
    QCOMPARE(child<QLabel>(form, "Label4")->text(), QString());
    QVERIFY(!child<QWidget>(form, "Panel2")->isVisible());
    QVERIFY(!child<QWidget>(form, "Memo3")->isVisible());
    QVERIFY(!env.exists(QStringLiteral("prize.db"))); // reading never creates the store
}

void TestStartup::prizeTableWithGapMapsPositionsToSlots() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(20));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=2\r\nEvery1=1\r\n"
                                "Name2=二等奖\r\nNum2=0\r\nName3=三等奖\r\nNum3=5\r\n"
                                "Every3=2\r\nCol3=3\r\nCol1=9\r\n"));
    TForm1 form;
    QVERIFY(env.dialogs.boxes.isEmpty());
    QCOMPARE(form.model().pool.count(), 20);
    auto* combo = child<QComboBox>(form, "ComboBox1");
    QCOMPARE(combo->count(), 2);
    QCOMPARE(combo->itemText(1), QStringLiteral("三等奖"));
    form.show();
    // First show selects the last listed prize; its counts come from its own slot, not slot 1.
    QCOMPARE(form.currentPosition(), 1);
    QCOMPARE(form.currentSlot(), 2);
    QCOMPARE(child<QLabel>(form, "Label4")->text(), QStringLiteral("进度 0 / 5 (每次抽2个)"));
    QCOMPARE(form.model().currentColumns, 3);
    // Choosing the first prize by hand refreshes the progress; Col1=9 is clamped to 6 columns.
    combo->setCurrentIndex(0);
    Q_EMIT combo->activated(0);
    QCOMPARE(child<QLabel>(form, "Label4")->text(), QStringLiteral("进度 0 / 2 (每次抽1个)"));
    QCOMPARE(form.model().currentColumns, 6);

    // Prize auto-select: the last prize with places left; with every prize full the selection stays.
    form.model().slots[2].drawn = 5;
    form.autoselect();
    QCOMPARE(form.currentPosition(), 0);
    form.model().slots[0].drawn = 2;
    form.selectPosition(1);
    form.autoselect();
    QCOMPARE(form.currentPosition(), 1);
}

void TestStartup::subtitleAndSummary() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(10));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nNum1=1\r\nNum2=3\r\nprizename1=汽车\r\nprizename2=电脑\r\n"
                                "prizename3=手机\r\nNum3=4\r\n[Show]\r\nShow1=0\r\nShow2=1\r\nShow3=1\r\n"
                                "[Setting]\r\nTitle1=\r\nTitle2=年会\r\n"));
    TForm1 form;
    auto* title1 = child<QLabel>(form, "title1");
    auto* title2 = child<QLabel>(form, "title2");
    QCOMPARE(title1->text(), QString()); // present and empty is not the default
    QCOMPARE(title2->text(), QStringLiteral("年会\n电脑(3),手机(4)"));

    ConfigStore store(env.path(QStringLiteral("prize.db")));
    store.writeString(QStringLiteral("Setting"), QStringLiteral("Title2"), QString());
    form.readjp();
    QCOMPARE(title2->text(), QStringLiteral("电脑(3),手机(4)"));
    store.writeBool(QStringLiteral("Show"), QStringLiteral("Show2"), false);
    store.writeBool(QStringLiteral("Show"), QStringLiteral("Show3"), false);
    form.readjp();
    QCOMPARE(title2->text(), QString());
    // A reload leaves the selector without a selection and keeps the drawn counts.
    form.model().slots[1].drawn = 2;
    form.readjp();
    QCOMPARE(form.currentPosition(), -1);
    QCOMPARE(form.model().slots[1].drawn, 2);
}

void TestStartup::badValuesInPrizeDb() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(12));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[Setting]\r\nGrid_color=burgundy\r\nStoptime=7\r\nTitle1_font=1000\r\n"
                                "Title2_font=-4\r\nGrid_font=abc\r\nFullScreen=0\r\n[JP]\r\nNum1=3\r\n"));
    TForm1 form;
    // The bad colour is reported, and the keys after it are still read.
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("'burgundy' is not a valid integer value")});
    QCOMPARE(form.model().autoStopSeconds, 7);
    QCOMPARE(child<QLabel>(form, "title1")->font().pointSize(), 100);
    QCOMPARE(child<QLabel>(form, "title2")->font().pointSize(), 8);
    QCOMPARE(child<QWidget>(form, "Grid1")->font().pointSize(), 22);
    QVERIFY(!form.model().fullScreen);
    QVERIFY(!form.windowFlags().testFlag(Qt::FramelessWindowHint));

    // A store of binary garbage, with lines of 10,000 bytes and no "=", reads as defaults.
    TestEnv garbage;
    QByteArray bytes;
    for (int i = 0; i < 4000; ++i)
        bytes.append(char((i * 37 + 11) % 256));
    bytes += "\r\n[JP]\r\nNum1=" + QByteArray(10000, '9') + "\r\nnot an entry\r\n[JP]\r\nNum1=4\r\n";
    garbage.writeFile(QStringLiteral("prize.db"), bytes);
    garbage.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(12));
    TForm1 second;
    QCOMPARE(child<QLabel>(second, "title1")->text(), QStringLiteral("某某公司现场抽奖仪式"));
    QCOMPARE(child<QComboBox>(second, "ComboBox1")->count(), 0);
}

void TestStartup::automaticSelection() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(30));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[Setting]\r\nautomatic=1\r\n[JP]\r\nNum1=1\r\n"
                                                            "Name1=A\r\nNum2=1\r\nName2=B\r\n"));
    TForm1 form;
    auto* combo = child<QComboBox>(form, "ComboBox1");
    auto* manual = form.findChild<QAction*>(QStringLiteral("manual"));
    auto* automatic = form.findChild<QAction*>(QStringLiteral("automatic"));
    QVERIFY(manual && automatic);
    QVERIFY(automatic->isChecked() && !manual->isChecked());
    QVERIFY(!combo->isEnabled());
    form.show();
    QCOMPARE(form.currentPosition(), 1);

    manual->trigger();
    QVERIFY(manual->isChecked() && !automatic->isChecked());
    QVERIFY(combo->isEnabled());
    form.model().slots[1].drawn = 1;
    automatic->trigger();
    QVERIFY(!combo->isEnabled());
    QCOMPARE(form.currentPosition(), 0);
    // Neither menu item writes the store; the exit record does.
    QVERIFY(!env.readFile(QStringLiteral("prize.db")).contains("automatic=0"));

    // A single prize is picked even when it is full.
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[Setting]\r\nautomatic=1\r\n[JP]\r\nNum1=1\r\nName1=A\r\n"));
    form.readjp();
    form.model().slots[0].drawn = 1;
    QCOMPARE(form.currentPosition(), -1);
    automatic->trigger();
    QCOMPARE(form.currentPosition(), 0);
}

void TestStartup::hostileEntrantLists() {
    {
        TestEnv env;
        // NUL bytes make no text: the list is refused with its box, the pool is empty.
        const QByteArray withNul = QByteArray("\x81\x20\xff\xfe\r张\x00三\rB\n\nC\r\nD", 20);
        env.writeFile(QStringLiteral("抽奖名单.txt"), withNul);
        TForm1 form;
        QCOMPARE(env.dialogs.boxes.size(), 1);
        QCOMPARE(form.model().pool.count(), 0);
        QCOMPARE(env.readFile(QStringLiteral("抽奖名单.txt")), withNul);
    }
    {
        TestEnv env;
        // Invalid GBK bytes, lone CRs, a blank line and no final break: the line of invalid bytes is
        // left out with one box; the blank one stays a line, as always.
        env.writeFile(QStringLiteral("抽奖名单.txt"),
                      QByteArray("\x81\x20\xff\xfe\r张三\rB\n\nC\r\nDE\rF\rG\rH\rI"));
        TForm1 form;
        QCOMPARE(env.dialogs.boxes.size(), 1);
        QVERIFY(env.dialogs.boxes[0].text.contains(QStringLiteral("有 1 行没有载入")));
        QCOMPARE(form.model().pool.count(), 9);
        QCOMPARE(form.model().pool.line(3).toString(), QStringLiteral("C"));
    }
    {
        TestEnv env;
        QByteArray big;
        big.reserve(12'000'000);
        for (int i = 0; i < 1'000'000; ++i)
            big += "N" + QByteArray::number(i) + "\r\n";
        env.writeFile(QStringLiteral("抽奖名单.txt"), big);
        TForm1 form;
        QCOMPARE(form.model().pool.count(), 1'000'000);
        QCOMPARE(form.model().pool.name(999'999), QStringLiteral("N999999"));
    }
    {
        // UTF-8 from a Linux editor reads as the same names as GBK.
        TestEnv env;
        env.writeFile(QStringLiteral("抽奖名单.txt"), QStringLiteral("张三\n李四\n").toUtf8());
        TForm1 form;
        QCOMPARE(form.model().pool.name(1), QStringLiteral("李四"));
    }
}

void TestStartup::tipsWindow() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(10));
    {
        LotteryApp app;
        app.start();
        QVERIFY(app.mainhelp().isVisible());
        QCOMPARE(app.mainhelp().windowTitle(), QStringLiteral("操作提示"));
        const QString text = child<QPlainTextEdit>(app.mainhelp(), "Memo1")->toPlainText();
        const QStringList lines = text.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 10);
        const QString folder = env.path(QString());
        QVERIFY(lines[1].startsWith(QStringLiteral("      1、导入抽奖名单到：") + folder +
                                    QStringLiteral("抽奖名单.txt，")));
        QCOMPARE(lines[8], QStringLiteral("      2、每次抽奖正常退出都会保存在历史记录文件：") + folder +
                               QStringLiteral("history.txt"));
        QCOMPARE(lines[5], QString());
        // Ticking and unticking both switch the tips off for good.
        auto* box = child<QCheckBox>(app.mainhelp(), "CheckBox1");
        box->click();
        box->click();
        QVERIFY(!box->isChecked());
        QVERIFY(app.mainhelp().isVisible());
        QVERIFY(env.readFile(QStringLiteral("prize.db")).contains("showhelp=0\r\n"));
    }
    LotteryApp again;
    again.start();
    QVERIFY(!again.mainhelp().isVisible());
    QVERIFY(again.form1().isVisible());
}

void TestStartup::windowsWiredTogether() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(10));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[Setting]\r\nshowhelp=0\r\n"));
    LotteryApp app;
    app.start();
    TForm1& form = app.form1();
    form.setGeometry(0, 0, 1280, 720);
    // The main menu's "所有中奖名单" shows the all-winners window, 10 pixels narrower than the screen.
    child<QAction>(form, "N9")->trigger();
    QVERIFY(app.allprize().isVisible());
    QCOMPARE(app.allprize().width(), form.width() - 10);
    // "系统设置" with no password set goes straight to the settings.
    child<QAction>(form, "N1")->trigger();
    QTRY_VERIFY(app.setting().isVisible());
    app.setting().hide();
    // Closing the draw screen closes the program: no other window stays behind.
    QVERIFY(form.close());
    QVERIFY(!app.allprize().isVisible());
    QVERIFY(!app.setting().isVisible());
}

void TestStartup::startOffersToRestoreAndKeepsWhatItReplaces() {
    TestEnv env;
    env.clock.setNow(QDateTime(QDate(2026, 12, 9), QTime(20, 15, 30)));
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(30));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=3\r\n"
                                                            "[Setting]\r\nshowhelp=0\r\n"));
    const QString question = QStringLiteral("上次的抽奖进度尚未读出，是否读出上次的抽奖进度?");
    {
        // Nothing saved: no question.
        LotteryApp app;
        app.start();
        QVERIFY(env.dialogs.boxes.isEmpty());
        draw(app.form1());
        child<QAction>(app.form1(), "N13")->trigger();
    }
    QStringList shown = env.restorableAllWinners();
    {
        // Yes restores as 读出抽奖进度 does, the cancel mark included.
        env.dialogs.clear();
        LotteryApp app;
        app.start();
        QCOMPARE(env.dialogs.texts(), (QStringList{question, QStringLiteral("抽奖信息读取成功!")}));
        QCOMPARE(app.form1().model().slots[0].drawn, 3);
        QCOMPARE(app.form1().winnerLists().all(), shown);
        QCOMPARE(shown.filter(WinnerLists::kCancelSuffix).size(), 1);
        // The all-winners window's cancel and export are saved at once.
        child<QAction>(app.form1(), "N9")->trigger();
        auto* memo = child<QTextEdit>(app.allprize(), "memo1");
        memo->setTextCursor(QTextCursor(memo->document()->findBlockByNumber(2)));
        child<QAction>(app.allprize(), "N1")->trigger();
        QCOMPARE(app.form1().winnerLists().all().filter(WinnerLists::kCancelSuffix).size(), 2);
        QCOMPARE(env.restorableAllWinners(), app.form1().winnerLists().all());
        child<QAction>(app.allprize(), "N2")->trigger();
        QCOMPARE(TextFiles::loadWinners(), app.form1().winnerLists().all());
        shown = app.form1().winnerLists().all();
    }
    const QByteArray winners = env.readFile(AppPaths::kWinners);
    const auto copies = [&] {
        return QDir(env.dir.path()).entryList({QStringLiteral("*.20261209-*.txt")}, QDir::Files, QDir::Name);
    };
    QVERIFY(copies().isEmpty());
    {
        // No goes on as written; the first save keeps the replaced state as dated copies, once.
        env.dialogs.clear();
        env.dialogs.answers.enqueue(false);
        LotteryApp app;
        app.start();
        QCOMPARE(env.dialogs.texts(), QStringList{question});
        QCOMPARE(app.form1().model().slots[0].drawn, 0);
        draw(app.form1());
        draw(app.form1());
        QCOMPARE(copies(), (QStringList{QStringLiteral("allwinners.20261209-201530.txt"),
                                        QStringLiteral("中奖名单.20261209-201530.txt")}));
        QCOMPARE(env.readFile(QStringLiteral("中奖名单.20261209-201530.txt")), winners);
        QCOMPARE(TextFiles::loadWinners(), app.form1().winnerLists().saved());
        QCOMPARE(env.restorableAllWinners(), app.form1().winnerLists().all());
        QCOMPARE(app.form1().model().slots[0].drawn, 6);
        // 初始化进度 puts the results aside: the next save keeps them again.
        child<QAction>(app.form1(), "N18")->trigger();
        draw(app.form1());
        QCOMPARE(copies().size(), 4);
        QVERIFY(copies().contains(QStringLiteral("中奖名单.20261209-201530-2.txt")));
    }
    // A dated copy is a whole state: put back under the files' names, it restores to exactly that
    // state, its drawn count included (prize.db holds a later state's count by now).
    for (const QString& name : {AppPaths::kWinners, AppPaths::kAllWinners}) {
        QVERIFY(QFile::remove(env.path(name)));
        QVERIFY(
            QFile::copy(env.path(QFileInfo(name).completeBaseName() + QStringLiteral(".20261209-201530.txt")),
                        env.path(name)));
    }
    env.dialogs.clear();
    LotteryApp app;
    app.start();
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("抽奖信息读取成功!"));
    QCOMPARE(app.form1().model().slots[0].drawn, 3);
    QCOMPARE(app.form1().winnerLists().all(), shown);
    QCOMPARE(app.form1().winnerLists().saved(), shown);
}

void TestStartup::restoreQuestionComesBeforeTheTips() {
    TestEnv env;
    TipsWatchingDialogs dialogs;
    Dialogs::install(&dialogs);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(30));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=3\r\n"
                                                            "[State]\r\nhave0=3\r\n"));
    LotteryApp app;
    dialogs.tips = &app.mainhelp();
    app.start();
    QCOMPARE(dialogs.count(QStringLiteral("上次的抽奖进度尚未读出，是否读出上次的抽奖进度?")), 1);
    QVERIFY(!dialogs.askedUnderTips);
    QVERIFY(app.mainhelp().isVisible());
}

void TestStartup::restoreBringsBackTheLastSavedState() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(30));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=3\r\n"
                                                            "[Setting]\r\nshowhelp=0\r\n"));
    const auto supplementary = [&env](TForm1& form) {
        env.clock.advance(60'000);
        child<QAction>(form, "N10")->trigger();
        child<QPushButton>(form, "btn_bu")->click();
        child<QPushButton>(form, "btn_bu")->click();
        form.SpeedButton1Click();
    };
    QStringList day1, day1Saved;
    {
        // Day 1: two draws, a cancel, a supplementary draw.
        LotteryApp app;
        app.start();
        draw(app.form1());
        env.clock.advance(60'000);
        draw(app.form1());
        child<QAction>(app.form1(), "N13")->trigger();
        supplementary(app.form1());
        day1 = app.form1().winnerLists().all();
        day1Saved = app.form1().winnerLists().saved();
    }
    const QString leftOut = QStringLiteral("抽奖信息读取成功!\n\nallwinners.txt");
    {
        // Day 2 answers No and makes a supplementary draw: a correction changes neither 中奖名单.txt
        // nor the counts, so 读出抽奖进度 brings day 1's draws back (its corrections are in the dated
        // copies; the box says that allwinners.txt, now day 2's, was left out).
        env.dialogs.answers.enqueue(false);
        LotteryApp app;
        app.start();
        supplementary(app.form1());
        QCOMPARE(app.form1().winnerLists().all().size(), 1);
        env.dialogs.clear();
        child<QAction>(app.form1(), "N20")->trigger();
        QVERIFY(env.dialogs.texts().constLast().startsWith(leftOut));
        QCOMPARE(app.form1().winnerLists().all(), day1Saved);
        QCOMPARE(app.form1().model().slots[0].drawn, 6);
        // 初始化进度, a supplementary draw, a restart answered Yes: day 1's draws again.
        child<QAction>(app.form1(), "N18")->trigger();
        supplementary(app.form1());
    }
    {
        LotteryApp app;
        app.start();
        QCOMPARE(app.form1().winnerLists().all(), day1Saved);
        QCOMPARE(app.form1().model().slots[0].drawn, 6);
        // Day 1 is whole in its first dated copies (then day 1 as restored before the initialise, and
        // day 2's supplementary list).
        const QStringList copies =
            QDir(env.dir.path()).entryList({QStringLiteral("allwinners.*-*.txt")}, QDir::Files, QDir::Name);
        QCOMPARE(copies.size(), 3);
        SavedState::OnDisk kept;
        kept.winners = env.readFile(QStringLiteral("中奖名单") + copies.first().sliced(10));
        kept.state = SavedState::StateKeys::read(env.path(AppPaths::kPrizeDb));
        kept.all = SavedState::AllWinnersFile::parse(env.readFile(copies.first()));
        const SavedState::Resolved back = SavedState::resolve(kept, {});
        QCOMPARE(back.all, day1);
        QCOMPARE(back.counts[0], 6);
    }
    // allwinners.txt of another state (a file copied in by hand) is left out, and the box says so.
    {
        QStringList other = day1;
        other.append(QStringLiteral("A: 员工30---补抽奖"));
        env.writeFile(AppPaths::kAllWinners, SavedState::AllWinnersFile::compose(
                                                 other, {QStringLiteral("5eed"), SavedState::Digest{}, {}}));
        env.dialogs.clear();
        LotteryApp app;
        app.start();
        QCOMPARE(app.form1().winnerLists().all(), day1Saved);
        QVERIFY(env.dialogs.texts().constLast().startsWith(leftOut));
    }
}

void TestStartup::unwritableFolderIsSaidBeforeAnyDraw() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), entrants(30));
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=9\r\nEvery1=3\r\n"
                                                            "[Setting]\r\nshowhelp=0\r\n"));
    const auto folderMode = [&](QFileDevice::Permissions write) {
        QVERIFY(
            QFile::setPermissions(env.dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner | write));
    };
    folderMode({});
    LotteryApp app;
    app.start();
    // Said at once: which folder, the system's reason and what to do.
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QCOMPARE(env.dialogs.boxes[0].icon, Dialogs::Icon::Critical);
    const QString box = env.dialogs.boxes[0].text;
    QVERIFY2(box.startsWith(QStringLiteral("活动文件夹不能写入")), qPrintable(box));
    for (const QString& part : {QDir::toNativeSeparators(AppPaths::folder()), SystemReason::ofErrno(EACCES),
                                QStringLiteral("桌面"), QStringLiteral("只读")})
        QVERIFY2(box.contains(part), qPrintable(part));
    // The stage shows the notice instead of the draw, and no press starts one.
    TForm1& form = app.form1();
    auto* banner = child<PrizeBanner>(form, "prizeBanner");
    QCOMPARE(banner->content().caption, DrawSession::kFolderStageNotice);
    press(form);
    QVERIFY(!form.isRolling());
    QCOMPARE(env.dialogs.boxes.size(), 2);
    QCOMPARE(form.session().toggleDraw(DrawSession::From::Clicker), DrawSession::kFolderNotice);
    QCOMPARE(env.dialogs.boxes.size(), 2); // the clicker raises no box before the hall
    QVERIFY(!form.isRolling());
    // Put right, the next press draws, without a restart.
    folderMode(QFileDevice::WriteOwner);
    draw(form);
    QCOMPARE(env.dialogs.boxes.size(), 2);
    QCOMPARE(form.model().slots[0].drawn, 3);
    QCOMPARE(ConfigStore(env.path(QStringLiteral("prize.db")))
                 .readInteger(QStringLiteral("State"), QStringLiteral("have0"), 0),
             3);
    QVERIFY(banner->content().caption != DrawSession::kFolderStageNotice);
    QCOMPARE(QDir(env.dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 4); // the trial left nothing

    // The trial writes: a read-only file system is found whatever the mode bits say.
    const QByteArray folder = QFile::encodeName(env.dir.path());
    if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=64k") != 0)
        return; // only root can mount
    const struct Unmount {
        QByteArray folder;
        ~Unmount() { ::umount(folder.constData()); }
    } unmount{folder};
    QCOMPARE(::mount(nullptr, folder.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    QCOMPARE(form.session().checkFolder(), SystemReason::ofErrno(EROFS));
}

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
