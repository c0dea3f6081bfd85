// The show on the stage: the prize named while names roll and while its winners stand, the reveal
// after a stop (which only shows what the stop has saved), the winner cards, the sound cues, and a
// stage that does nothing while it waits.
#include "allprize.h"
#include "allwinnersmodel.h"
#include "clock.h"
#include "confetti.h"
#include "drawsession.h"
#include "drive.h"
#include "mainhelp.h"
#include "namewall.h"
#include "prizebanner.h"
#include "stagesounds.h"
#include "testenv.h"
#include "textcodec.h"
#include "unit1.h"
#include "winnercards.h"
#include "winnercelldelegate.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {
struct RecordedSounds : StageSounds {
    QList<Cue> played;
    RecordedSounds() { StageSounds::install(this); }
    ~RecordedSounds() override { StageSounds::install(nullptr); }
    void play(Cue cue) override { played << cue; }
};

// Sixty entrants; 特等奖 (one a draw), 二等奖 (ten, five a draw), 三等奖 (thirty at once in six
// columns); stage is the [Stage] section's lines.
void writeEvent(const TestEnv& env, const QString& stage, int entrants = 60) {
    QString list;
    for (int i = 1; i <= entrants; ++i)
        list += QStringLiteral("员工%1\tA%2\t%3\r\n")
                    .arg(i)
                    .arg(i, 4, 10, QLatin1Char('0'))
                    .arg(i % 10 ? QStringLiteral("市场部") : QStringLiteral("销售部"));
    env.writeGbk(QStringLiteral("抽奖名单.txt"), list);
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[Setting]\r\nshowhelp=0\r\n"
                                "[JP]\r\nName1=特等奖\r\nNum1=1\r\nEvery1=1\r\nprizename1=汽车\r\n"
                                "Name2=二等奖\r\nNum2=10\r\nEvery2=5\r\nCol2=5\r\n"
                                "Name3=三等奖\r\nNum3=30\r\nEvery3=30\r\nCol3=6\r\nprizename3=耳机\r\n") +
                     (stage.isEmpty() ? QString() : QStringLiteral("[Stage]\r\n") + stage));
}

void showFull(TForm1& form) {
    form.setGeometry(0, 0, 1920, 1080);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.getscreensize();
}

// Paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    QStringList painted;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            painted << watched->objectName() + QLatin1Char('/') + watched->metaObject()->className();
        }
        return false;
    }
};
} // namespace

class TestShow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void theProgramsClockRuns();
    void revealShowsOnlyWhatIsSaved();
    void withoutStageKeysAsWritten();
    void bannerNamesThePrizeOnStage();
    void cardsOneSizeInsideTheMargins();
    void nameWallRollsAndReveals();
    void nothingRollsIntoTheEdges();
    void clickerClosesTheTips();
    void idleStageDoesNothing();
    void hallSeesTheLineAsChosen();
};

void TestShow::theProgramsClockRuns() {
    // The program's own clock (no test clock installed): a reveal's frames are timed by its ticks.
    const std::uint32_t before = Clock::instance().tickCount();
    QTest::qWait(60);
    const std::uint32_t after = Clock::instance().tickCount();
    QVERIFY2(after - before >= 50 && after - before < 5000, qPrintable(QString::number(after - before)));
}

void TestShow::revealShowsOnlyWhatIsSaved() {
    TestEnv env;
    RecordedSounds sounds;
    writeEvent(env, QStringLiteral("Reveal1=1\r\nGrand1=1\r\nReveal3=2\r\nSound=1\r\n"));
    // Sixty places of 三等奖: a press after the first draw could draw again.
    env.writeGbk(QStringLiteral("prize.db"),
                 TextCodec::fromGbk(env.readFile(QStringLiteral("prize.db")))
                     .replace(QStringLiteral("Num3=30"), QStringLiteral("Num3=60")));
    TForm1 form;
    showFull(form);
    DrawSession& session = form.session();
    QCOMPARE(session.prizeName(), QStringLiteral("三等奖"));
    press(form);
    QCOMPARE(sounds.played, QList<StageSounds::Cue>{StageSounds::Cue::Start});
    press(form);
    // The stop has recorded and saved the thirty winners before the reveal's first frame.
    QCOMPARE(session.phase(), DrawSession::Phase::Reveal);
    QCOMPARE(session.results().size(), 30);
    const QString saved = TextCodec::fromGbk(env.readFile(QStringLiteral("中奖名单.txt")));
    for (const DrawSession::Result& result : session.results())
        QVERIFY2(saved.contains(result.cell), qPrintable(result.cell));
    QVERIFY(
        TextCodec::fromGbk(env.readFile(QStringLiteral("prize.db"))).contains(QStringLiteral("have2=30")));
    QCOMPARE(sounds.played.last(), StageSounds::Cue::Reveal);
    // Card by card: at the stop none is in; a second later about half; the clock runs the frames.
    auto* grid = child<QTableWidget>(form, "Grid1");
    auto* cards = static_cast<WinnerCellDelegate*>(grid->itemDelegate());
    QVERIFY(grid->isVisible());
    QCOMPARE(cards->appearance(0), 1.0 / 66); // its first millisecond
    QCOMPARE(cards->appearance(1), 0.0);
    const quint32 stop = env.clock.tickCount();
    env.clock.setTickCount(stop + 1000);
    QCOMPARE(cards->appearance(14), 1.0);
    QCOMPARE(cards->appearance(16), 0.0);
    // Any press ends the reveal at once, and draws nothing.
    const QByteArray before = env.readFile(QStringLiteral("中奖名单.txt"));
    press(form);
    QCOMPARE(session.phase(), DrawSession::Phase::Idle);
    QCOMPARE(env.readFile(QStringLiteral("中奖名单.txt")), before);
    QCOMPARE(session.prize()->drawn, 30);
    QVERIFY(!child<QTimer>(form, "reveal_frames")->isActive());

    // The grand prize: slowing names, then confetti; the reveal ends by itself. A box the stop has
    // (here: fewer left than the prize takes is not the case; the pre-set notice is none) waits.
    sounds.played.clear();
    env.clock.setTickCount(stop + 5000);
    session.choosePrize(0);
    press(form);
    press(form);
    QCOMPARE(session.phase(), DrawSession::Phase::Reveal);
    QCOMPARE(sounds.played.last(), StageSounds::Cue::Fanfare);
    QVERIFY(child<QWidget>(form, "Memo3")->isVisible()); // the names slow down where they rolled
    env.clock.setTickCount(stop + 5000 + StageShow::kSlowStopMs + 10);
    QMetaObject::invokeMethod(child<QTimer>(form, "reveal_frames"), "timeout", Qt::DirectConnection);
    QVERIFY(child<Confetti>(form, "confetti")->animating());
    // The names have settled on the winner.
    QCOMPARE(child<QTextEdit>(form, "Memo3")->toPlainText().trimmed(),
             QString(form.session().results().first().cell).replace(QLatin1Char('\t'), QStringLiteral("  ")));
    // The confetti falls for as long as the reveal, six seconds and more, fading out at its end.
    auto* confetti = child<Confetti>(form, "confetti");
    for (int frame = 0; frame < 150; ++frame)
        QMetaObject::invokeMethod(child<QTimer>(*confetti, "confetti_frames"), "timeout",
                                  Qt::DirectConnection);
    QVERIFY(confetti->animating() && confetti->flakesInView() > 0);
    QVERIFY(confetti->opacity() > 0.0 && confetti->opacity() < 1.0);
    QMetaObject::invokeMethod(child<QTimer>(form, "reveal_time"), "timeout", Qt::DirectConnection);
    QCOMPARE(session.phase(), DrawSession::Phase::Idle);
    QVERIFY(!confetti->animating());
    QVERIFY(grid->isVisible());
}

void TestShow::withoutStageKeysAsWritten() {
    TestEnv env;
    RecordedSounds sounds;
    writeEvent(env, QString());
    env.writeGbk(QStringLiteral("prize.db"), TextCodec::fromGbk(env.readFile(QStringLiteral("prize.db"))) +
                                                 QStringLiteral("[Rules]\r\nOnly3=销售部\r\n"));
    TForm1 form;
    showFull(form);
    draw(form);
    // Straight to the winners, silently, and the shortfall is told at once.
    QCOMPARE(form.session().phase(), DrawSession::Phase::Idle);
    QVERIFY(!child<QTimer>(form, "reveal_time")->isActive());
    QVERIFY(sounds.played.isEmpty());
    QVERIFY2(env.dialogs.count(QStringLiteral("剩余可抽奖人数不足，本次只抽出 6 位")) == 1,
             qPrintable(env.dialogs.texts().join(QLatin1Char('|'))));

    // With a reveal the box waits until the hall has seen the winners.
    TestEnv env2;
    writeEvent(env2, QStringLiteral("Reveal3=2\r\n[Rules]\r\nOnly3=销售部\r\n"));
    TForm1 revealing;
    showFull(revealing);
    draw(revealing);
    QCOMPARE(revealing.session().phase(), DrawSession::Phase::Reveal);
    QCOMPARE(env2.dialogs.count(QStringLiteral("剩余可抽奖人数不足，本次只抽出 6 位")), 0);
    revealing.session().finishReveal();
    QCOMPARE(env2.dialogs.count(QStringLiteral("剩余可抽奖人数不足，本次只抽出 6 位")), 1);
}

void TestShow::bannerNamesThePrizeOnStage() {
    TestEnv env;
    writeEvent(env, QString());
    TForm1 form;
    showFull(form);
    auto* banner = child<PrizeBanner>(form, "prizeBanner");
    QCOMPARE(banner->content().prize, QStringLiteral("三等奖"));
    QCOMPARE(banner->content().goods, QStringLiteral("耳机"));
    QCOMPARE(banner->content().caption, QStringLiteral("即将抽取"));
    QCOMPARE(banner->content().counts, QStringLiteral("本轮 30 位 · 已抽 0 / 30"));
    press(form);
    QCOMPARE(banner->content().caption, QString());
    // Automatic selection moves on at the stop: the winners still stand under their own prize.
    form.session().setAutomatic(true);
    press(form);
    QCOMPARE(form.session().prizeName(), QStringLiteral("二等奖"));
    QCOMPARE(banner->content().prize, QStringLiteral("三等奖"));
    QCOMPARE(banner->content().counts, QStringLiteral("本轮 30 位 · 已抽 30 / 30"));
    // Another prize chosen: the stage shows what the next press draws, not these winners.
    form.session().setAutomatic(false);
    form.session().choosePrize(0);
    QVERIFY(!child<QWidget>(form, "Panel2")->isVisible());
    QCOMPARE(banner->content().prize, QStringLiteral("特等奖"));
    QCOMPARE(banner->content().caption, QStringLiteral("即将抽取"));
    QCOMPARE(banner->content().counts, QStringLiteral("本轮 1 位 · 已抽 0 / 1"));
}

void TestShow::cardsOneSizeInsideTheMargins() {
    TestEnv env;
    writeEvent(env, QString(), 120);
    TForm1 form;
    showFull(form);
    auto* grid = child<QTableWidget>(form, "Grid1");
    draw(form);
    // Every card inside the 5% margins of the screen's sides.
    const QRect onStage(grid->mapTo(&form, QPoint(0, 0)), grid->size());
    const int margin = form.width() / 20;
    QVERIFY2(onStage.left() >= margin && onStage.right() <= form.width() - margin,
             qPrintable(QString::number(onStage.left())));
    // One size for all thirty cards, at which every name and its fields fit.
    auto* cards = static_cast<WinnerCellDelegate*>(grid->itemDelegate());
    const QRect cell = grid->visualRect(grid->model()->index(0, 0));
    const int pixels = cards->namePixels(grid->model()->index(0, 0), cell);
    QList<WinnerCards::Card> all;
    for (int i = 0; i < 30; ++i) {
        const QModelIndex index = grid->model()->index(i / 6, i % 6);
        QCOMPARE(cards->namePixels(index, grid->visualRect(index)), pixels);
        all << WinnerCellDelegate::cardOf(index);
    }
    QCOMPARE(all.first().details.split(QStringLiteral(" · ")).size(), 2); // 工号 · 部门
    // Thirty cards fill the panel: the configured size (they all fit at it), or smaller when one
    // does not.
    const int configured = QFontInfo(grid->font()).pixelSize();
    QCOMPARE(WinnerCards::fitNamePixels(all, WinnerCards::inner(cell.size()), grid->font(), configured),
             pixels);
    QVERIFY(WinnerCards::fitNamePixels(all, WinnerCards::inner(cell.size()), grid->font(), 1000) > pixels);
    QFont name = grid->font();
    name.setPixelSize(pixels);
    for (const WinnerCards::Card& card : all)
        QVERIFY(QFontMetricsF(name).horizontalAdvance(card.name) <= WinnerCards::inner(cell.size()).width());
    // A cancelled card is drawn as such, from the result's mark.
    env.dialogs.answers.enqueue(true);
    form.session().cancelResult(4);
    QVERIFY(WinnerCellDelegate::cardOf(grid->model()->index(0, 4)).cancelled);
    QVERIFY(!WinnerCellDelegate::cardOf(grid->model()->index(0, 3)).cancelled);
}

void TestShow::nameWallRollsAndReveals() {
    TestEnv env;
    writeEvent(env, QStringLiteral("Roll3=1\r\nRoll1=0\r\n"));
    TForm1 form;
    showFull(form);
    auto* wall = child<NameWall>(form, "nameWall");
    press(form);
    QVERIFY(!wall->isHidden() && wall->animating());
    QVERIFY(child<QWidget>(form, "Memo3")->isHidden());
    QVERIFY(!wall->sphereNames().isEmpty());
    QVERIFY(wall->sphereNames().first().startsWith(QStringLiteral("员工")));
    press(form);
    // The wall brings out exactly the winners the stop saved; then the panel shows their cards.
    QCOMPARE(form.session().phase(), DrawSession::Phase::Reveal);
    QStringList lines;
    for (const WinnerCards::Card& card : [&] {
             QList<WinnerCards::Card> cards;
             for (const DrawSession::Result& result : form.session().results())
                 cards << WinnerCards::of(result.cell, false, false);
             return cards;
         }())
        lines << card.name;
    QStringList onWall;
    for (const NameWall::Card& card : wall->cards())
        onWall << card.name;
    QCOMPARE(onWall, lines);
    QVERIFY(child<QWidget>(form, "Panel2")->isHidden());
    press(form); // a press ends the reveal
    QVERIFY(wall->isHidden() && !wall->animating());
    QVERIFY(child<QWidget>(form, "Panel2")->isVisible());
    // A supplementary draw of the same prize rolls on the ten lines.
    form.session().openSupplementary();
    form.session().chooseSupplementaryPrize(2);
    form.presenterToggle();
    QVERIFY(wall->isHidden() && child<QWidget>(form, "Memo3")->isVisible());
    form.presenterToggle();
}

void TestShow::nothingRollsIntoTheEdges() {
    TestEnv env;
    writeEvent(env, QString());
    QString list;
    for (int i = 1; i <= 12; ++i) // every line far wider than the screen
        list += QStringLiteral("员工%1\t%2\r\n").arg(i).arg(QString(80, QChar(u'长')));
    env.writeGbk(QStringLiteral("抽奖名单.txt"), list);
    TForm1 form;
    showFull(form);
    press(form);
    auto* memo = child<QWidget>(form, "Memo3");
    const QImage shown = memo->grab().toImage();
    const int edge = form.width() / 20;
    int yellow = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x : {edge / 2, shown.width() - edge / 2}) {
            const QColor c = shown.pixelColor(x, y);
            yellow += c.red() > 200 && c.green() > 200 && c.blue() < 120;
        }
    QCOMPARE(yellow, 0);
    // The line is whole in the display's text all the same.
    QVERIFY(child<QTextEdit>(form, "Memo3")->toPlainText().contains(QString(80, QChar(u'长'))));
}

void TestShow::clickerClosesTheTips() {
    TestEnv env;
    writeEvent(env, QString());
    TForm1 form;
    showFull(form);
    for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_Right}) {
        TFmainhelp tips;
        tips.show();
        QTest::keyClick(child<QWidget>(tips, "Memo1"), key); // the tips' text has the focus
        QVERIFY(!tips.isVisible());
        tips.show();
        QTest::keyClick(child<QWidget>(tips, "CheckBox1"), key);
        QVERIFY(!tips.isVisible());
        QCOMPARE(form.session().phase(), DrawSession::Phase::Idle); // and no draw started
    }
}

void TestShow::idleStageDoesNothing() {
    TestEnv env;
    writeEvent(env, QStringLiteral("Reveal3=2\r\nGrand3=1\r\n"));
    TForm1 form;
    showFull(form);
    draw(form);
    form.session().finishReveal();
    QTest::qWait(100); // the last frame of the reveal is painted
    PaintCounter counter;
    const QList<QWidget*> widgets = form.findChildren<QWidget*>();
    for (QWidget* widget : widgets)
        widget->installEventFilter(&counter);
    form.installEventFilter(&counter);
    QTest::qWait(400);
    QVERIFY2(counter.paints == 0, qPrintable(counter.painted.join(QLatin1Char(' '))));
    for (const QTimer* timer : form.findChildren<QTimer*>())
        QVERIFY2(!timer->isActive(), qPrintable(timer->objectName()));
}

// Mobile and ID numbers are partly hidden wherever the hall sees a line (the rolling lines, the cards,
// the question over the stage, the all-winners window, the name wall); the files and the console keep
// the whole line, and another choice shows at once on the cards standing.
void TestShow::hallSeesTheLineAsChosen() {
    TestEnv env;
    QHash<QString, QString> hall{{QStringLiteral("欧阳静\tE0010\t110105199001011234"),
                                  QStringLiteral("欧阳静\tE0010\t110105********1234")}};
    for (int i = 1; i <= 9; ++i)
        hall.insert(QStringLiteral("韦秀%1 E000%1 财务部 139841431%1%1").arg(i),
                    QStringLiteral("韦秀%1 E000%1 财务部 139****31%1%1").arg(i));
    env.writeGbk(QStringLiteral("抽奖名单.txt"),
                 hall.keys().join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[Setting]\r\nshowhelp=0\r\n[JP]\r\nName1=一等奖\r\nNum1=1\r\nEvery1=1\r\n"
                                "Name2=二等奖\r\nNum2=1\r\nEvery2=1\r\n[Stage]\r\nRoll1=1\r\n"));
    TForm1 form;
    showFull(form);
    const auto whole = [](const QString& text) {
        static const QRegularExpression number(QStringLiteral("\\d{11}"));
        return text.contains(number);
    };
    press(form);
    QTRY_VERIFY(!child<QTextEdit>(form, "Memo3")->toPlainText().isEmpty());
    const QString rolling = child<QTextEdit>(form, "Memo3")->toPlainText();
    QVERIFY2(!whole(rolling) && rolling.contains(QStringLiteral("****")), qPrintable(rolling));
    press(form);
    const QString winner = form.session().results().value(0).cell;
    QVERIFY(hall.contains(winner));
    auto* grid = child<QTableWidget>(form, "Grid1");
    const WinnerCards::Card card = WinnerCellDelegate::cardOf(grid->model()->index(0, 0));
    QCOMPARE(card, WinnerCards::of(hall.value(winner), false, false));
    QVERIFY(!whole(grid->item(0, 0)->text()));

    env.dialogs.answers.enqueue(false);
    form.session().cancelResult(0);
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("真的要取消 %1 中奖?").arg(hall.value(winner)));
    Tfallprize list(form.session());
    const QString listed = list.findChild<QTextEdit*>(QStringLiteral("memo1"))->toPlainText();
    QVERIFY(listed.contains(hall.value(winner)) && !whole(listed));
    // The organiser's: the files and the console's list.
    QVERIFY(TextCodec::fromGbk(env.readFile(QStringLiteral("中奖名单.txt"))).contains(winner));
    const AllWinnersModel console(form.event().lists());
    QVERIFY(whole(console.data(console.index(1, 0), Qt::DisplayRole).toString()));

    // 显示 chosen for the last field: the card standing shows the whole line.
    LineDisplay shown;
    shown.choose(2, LineDisplay::Choice::Show);
    shown.choose(3, LineDisplay::Choice::Show);
    form.event().setLineDisplay(shown);
    QCOMPARE(WinnerCellDelegate::cardOf(grid->model()->index(0, 0)), WinnerCards::of(winner, false, false));
    form.event().setLineDisplay(LineDisplay());

    // The name wall's cards.
    form.session().selectPosition(0);
    auto* wall = child<NameWall>(form, "nameWall");
    press(form);
    press(form);
    QCOMPARE(wall->cards().size(), 1);
    QVERIFY(!whole(wall->cards().first().rest) &&
            wall->cards().first().rest.contains(QStringLiteral("****")));
}

QTEST_MAIN(TestShow)
#include "test_show.moc"
