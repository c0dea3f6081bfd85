// Who may win what: the rules' matching and storage, a fair draw under a rule, the rules through the
// settings page in the main and supplementary draw and the rolling display, check-in only, pre-set
// winners outside the rule.
#include "checkindesk.h"
#include "checkinservice.h"
#include "configstore.h"
#include "consolestate.h"
#include "drive.h"
#include "event.h"
#include "functionunit.h"
#include "lotteryapp.h"
#include "prizerules.h"
#include "setting.h"
#include "testenv.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {
QString department(int i) {
    return i % 3 == 1   ? QStringLiteral("销售部")
           : i % 3 == 2 ? QStringLiteral("市场部")
                        : QStringLiteral("技术部");
}

// 员工1 .. 员工30 with a staff number and a department (销售部: 1, 4, ..., 28), a line whose
// department is only "销售", and a blank line.
QString pool() {
    QString text;
    for (int i = 1; i <= 30; ++i)
        text +=
            QStringLiteral("员工%1\tA%2\t%3\r\n").arg(i).arg(i, 4, 10, QLatin1Char('0')).arg(department(i));
    return text + QStringLiteral("小王 A0031 销售\r\n\r\n");
}

QString person(const QString& line) {
    return line.section(QRegularExpression(QStringLiteral("\\s+")), 0, 0);
}

QSet<QString> sales(const QStringList& except = {}) {
    QSet<QString> names;
    for (int i = 1; i <= 30; i += 3)
        if (!except.contains(QStringLiteral("员工%1").arg(i)))
            names.insert(QStringLiteral("员工%1").arg(i));
    return names;
}

QStringList rolled(TForm1& form, int ticks) {
    QStringList names;
    auto* timer = child<QTimer>(form, QStringLiteral("time1"));
    for (int t = 0; t < ticks; ++t) {
        QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
        for (const QString& line : child<QTextEdit>(form, QStringLiteral("Memo3"))->toPlainText().split('\n'))
            names << person(line);
    }
    return names;
}

QStringList namesOf(const QStringList& lines) {
    QStringList names;
    for (const QString& line : lines)
        names << person(line);
    return names;
}

QString label(const QWidget& parent, const QString& name) {
    return child<QLabel>(parent, name)->text();
}
} // namespace

class TestEligibility : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void rulesMatchWholeFieldsAndAreKept();
    void fairAmongThoseTheRuleLetsIn();
    void rulesThroughTheSettingsPageInEveryDraw();
    void checkedInOnlyAndPresetsOutside();
    void withoutRulesAsBefore();
    void withoutRulesTheSameWinners();
    void noNameTwiceInOneFrame();
};

void TestEligibility::rulesMatchWholeFieldsAndAreKept() {
    PrizeRule rule;
    rule.only = PrizeRule::words(u"销售部，市场部、 经理;销售部");
    QCOMPARE(rule.only,
             (QStringList{QStringLiteral("销售部"), QStringLiteral("市场部"), QStringLiteral("经理")}));
    QVERIFY(rule.admits(u"张三 A0013\t销售部"));
    QVERIFY(rule.admits(u"李四\u3000经理"));
    QVERIFY(!rule.admits(u"李四 A0014 销售"));
    QVERIFY(!rule.admits(u"王五 销售部经理"));
    rule.only = QStringList{QStringLiteral("3")};
    QVERIFY(!rule.admits(u"王五 A0013"));
    QVERIFY(rule.admits(u"3 王五"));
    rule.only = QStringList{QStringLiteral("a0013")};
    QVERIFY(rule.admits(u"王五 Ａ0013")); // letters and full-width forms fold, as check-in's do
    rule.except = QStringList{QStringLiteral("王五")};
    QVERIFY(!rule.admits(u"王五 A0013"));
    // A long list of names to leave out, matched by hash: only whole names count.
    PrizeRule directors;
    for (int i = 0; i < 400; ++i)
        directors.except << QStringLiteral("董事%1").arg(i);
    QVERIFY(!directors.admits(u"董事217 A0001"));
    QVERIFY(directors.admits(u"董事2170 A0002"));
    QVERIFY(directors.admits(u"董事 A0003"));

    // Kept in prize.db's own section, GBK; a prize.db without it has no rule.
    TestEnv env;
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=一等奖\r\n"));
    ConfigStore store(env.path(AppPaths::kPrizeDb));
    QCOMPARE(PrizeRules::read(store), PrizeRules());
    PrizeRules rules;
    rules.slots[0].only = QStringList{QStringLiteral("销售部"), QStringLiteral("市场部")};
    rules.slots[7].except = QStringList{QStringLiteral("张三")};
    rules.slots[7].winnersMay = true;
    rules.write(store);
    QVERIFY(env.readFile(QStringLiteral("prize.db"))
                .contains(gbk(QStringLiteral("[Rules]\r\nOnly1=销售部 市场部\r\n"))));
    QCOMPARE(PrizeRules::read(ConfigStore(env.path(AppPaths::kPrizeDb))), rules);
    QVERIFY(!rules.tooLong());
    for (int i = 0; i < 700; ++i)
        rules.slots[2].except << QStringLiteral("人员%1").arg(i);
    QCOMPARE(rules.tooLong()->first, 2);
}

void TestEligibility::fairAmongThoseTheRuleLetsIn() {
    // Nine lines pass the rule (销售部 without 员工4); one winner per draw, repeats allowed.
    TestEnv env(4242);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), pool());
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=A\r\nNum1=1000000\r\nEvery1=1\r\n[Setting]\r\nRepeated=1\r\n"
                                "[Rules]\r\nOnly1=销售部\r\nExcept1=员工4\r\n"));
    TForm1 form;
    form.show();
    QHash<QString, int> wins;
    const int draws = 4500;
    for (int i = 0; i < draws; ++i) {
        env.clock.setTickCount(env.clock.tickCount() + 7919);
        ++wins[person(form.engine().pickWinners(0, 1, true).first())];
    }
    QCOMPARE(QSet<QString>(wins.keyBegin(), wins.keyEnd()), sales({QStringLiteral("员工4")}));
    // Expected 500 each; a chi-square over 8 degrees of freedom stays below 26.1 (p = 0.001).
    double chi = 0;
    for (auto it = wins.cbegin(); it != wins.cend(); ++it)
        chi += (it.value() - 500.0) * (it.value() - 500.0) / 500.0;
    QVERIFY2(chi < 26.1, qPrintable(QString::number(chi)));
}

void TestEligibility::rulesThroughTheSettingsPageInEveryDraw() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), pool());
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=20\r\nEvery1=4\r\n"
                                                            "Name2=二等奖\r\nNum2=5\r\nEvery2=3\r\n"));
    TForm1 form;
    form.show();
    Tfsetting dialog(form);
    dialog.show();
    auto* page = child<QWidget>(dialog, QStringLiteral("rulesPage"));
    QCOMPARE(label(*page, QStringLiteral("ruleCount1")), QStringLiteral("不限"));
    child<QLineEdit>(*page, QStringLiteral("ruleOnly1"))->insert(QStringLiteral("销售部"));
    child<QLineEdit>(*page, QStringLiteral("ruleExcept1"))->insert(QStringLiteral("员工4"));
    QTRY_COMPARE(label(*page, QStringLiteral("ruleCount1")), QStringLiteral("可抽 9 人"));
    child<QLineEdit>(*page, QStringLiteral("ruleOnly2"))->insert(QStringLiteral("销售部"));
    child<QCheckBox>(*page, QStringLiteral("ruleWinnersMay2"))->click();
    // A rule nobody of the list passes (a part of staff numbers) is refused, and nothing is saved.
    child<QLineEdit>(*page, QStringLiteral("ruleOnly3"))->insert(QStringLiteral("A001"));
    child<QPushButton>(*page, QStringLiteral("rulesSave"))->click();
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QVERIFY(env.dialogs.texts().constLast().contains(
        QStringLiteral("第3个奖项的抽奖范围在抽奖名单中没有符合的人员")));
    QVERIFY(!env.readFile(QStringLiteral("prize.db")).contains("[Rules]"));
    child<QLineEdit>(*page, QStringLiteral("ruleOnly3"))->clear();
    child<QPushButton>(*page, QStringLiteral("rulesSave"))->click();
    QCOMPARE(env.dialogs.boxes.size(), 1); // the refusal's box alone
    const ConfigStore store(env.path(AppPaths::kPrizeDb));
    QCOMPARE(store.readString(QStringLiteral("Rules"), QStringLiteral("Except1"), {}),
             QStringLiteral("员工4"));
    QVERIFY(env.readFile(QStringLiteral("prize.db")).contains(gbk(QStringLiteral("Only1=销售部\r\n"))));
    dialog.close();

    // The main draw of 一等奖: the progress text counts, the roll and the winners keep to the rule.
    form.selectPosition(0);
    form.readstate();
    QCOMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 0 / 20 (每次抽4个)  可抽 9 人"));
    press(form);
    QVERIFY(form.isRolling());
    const QStringList shown = rolled(form, 20);
    QVERIFY(sales({QStringLiteral("员工4")}).contains(QSet<QString>(shown.begin(), shown.end())));
    press(form);
    QStringList first = namesOf(form.winnerLists().current());
    QCOMPARE(first.size(), 4);
    QCOMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 4 / 20 (每次抽4个)  可抽 5 人"));
    draw(form);
    first << namesOf(form.winnerLists().current());
    // One left for four places: that one, and the operator is told; then nobody.
    draw(form);
    first << namesOf(form.winnerLists().current());
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("剩余可抽奖人数不足，本次只抽出 1 位"));
    QCOMPARE(QSet<QString>(first.begin(), first.end()), sales({QStringLiteral("员工4")}));
    QCOMPARE(first.size(), 9);
    draw(form);
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("已没有可抽奖的人员!"));
    QCOMPARE(form.model().slots[0].drawn, 9);

    // 二等奖 lets winners of 一等奖 in again (not its own): 员工4 and the 9 of 一等奖.
    form.selectPosition(1);
    form.readstate();
    QCOMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 0 / 5 (每次抽3个)  可抽 10 人"));
    draw(form);
    const QStringList second = namesOf(form.winnerLists().current());
    QCOMPARE(second.size(), 3);
    QVERIFY(sales().contains(QSet<QString>(second.begin(), second.end())));

    // The supplementary draw keeps to the rule of the prize chosen for it, in the roll too.
    form.N10Click();
    auto* prizes = child<QComboBox>(form, QStringLiteral("ComboBox2"));
    prizes->setCurrentIndex(0);
    Q_EMIT prizes->activated(0);
    child<QPushButton>(form, QStringLiteral("btn_bu"))->click();
    QVERIFY(rolled(form, 5).join(QString()).isEmpty()); // nobody left for 一等奖
    child<QPushButton>(form, QStringLiteral("btn_bu"))->click();
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("已没有可抽奖的人员!"));
    prizes->setCurrentIndex(1);
    Q_EMIT prizes->activated(1);
    for (int i = 0; i < 7; ++i) {
        child<QPushButton>(form, QStringLiteral("btn_bu"))->click();
        const QStringList shownNow = rolled(form, 3);
        QVERIFY(!shownNow.isEmpty());
        QVERIFY(sales().contains(QSet<QString>(shownNow.begin(), shownNow.end())));
        child<QPushButton>(form, QStringLiteral("btn_bu"))->click();
        const QString name = WinnerLists::winnerName(form.winnerLists().all().constLast());
        QVERIFY2(sales().contains(name.section(QLatin1Char('\t'), 0, 0)) && !second.contains(person(name)),
                 qPrintable(name));
    }
    child<QPushButton>(form, QStringLiteral("btn_bu"))->click();
    child<QPushButton>(form, QStringLiteral("btn_bu"))->click();
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("已没有可抽奖的人员!"));
}

void TestEligibility::checkedInOnlyAndPresetsOutside() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), pool());
    const auto preset = [](const QString& name) {
        return FunctionUnit::encode(name, QStringLiteral("5817"));
    };
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral(
                     "[JP]\r\nName1=一等奖\r\nNum1=10\r\nEvery1=2\r\nName2=二等奖\r\nNum2=10\r\nEvery2=2\r\n"
                     "[Setting]\r\nshowhelp=0\r\n0c1=%1\r\n1c1=%2\r\nDate=2025-1-18\r\nTime=09:00\r\n"
                     "allowtimes=1\r\n[Rules]\r\nOnly1=销售部\r\n[Checkin]\r\nOnlyCheckedIn=1\r\n")
                     .arg(preset(QStringLiteral("员工2")), preset(QStringLiteral("员工6"))));
    LotteryApp app;
    TForm1& form = app.form1();
    form.show();
    for (int i : {1, 7, 13, 3, 5, 8})
        QCOMPARE(app.checkin()
                     .desk()
                     .checkIn(QStringLiteral("员工%1\tA%2\t%3")
                                  .arg(i)
                                  .arg(i, 4, 10, QLatin1Char('0'))
                                  .arg(department(i)))
                     .kind,
                 CheckinDesk::Outcome::CheckedIn);
    form.selectPosition(0);
    QTRY_COMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 0 / 10 (每次抽2个)  可抽 3 人"));
    // The operator's console says the same, note included.
    QCOMPARE(ConsoleState::of(app.session(), app.event().lists()).progress,
             label(form, QStringLiteral("Label4")));
    press(form);
    const QStringList shown = rolled(form, 10);
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()),
             (QSet<QString>{QStringLiteral("员工1"), QStringLiteral("员工7"), QStringLiteral("员工13")}));
    press(form);
    // The pre-set winner (市场部, not checked in) is placed all the same, and the operator is told.
    const QStringList first = namesOf(form.winnerLists().current());
    QCOMPARE(first.first(), QStringLiteral("员工2"));
    QVERIFY(QSet<QString>({QStringLiteral("员工1"), QStringLiteral("员工7"), QStringLiteral("员工13")})
                .contains(first.last()));
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QVERIFY(env.dialogs.texts().constLast().contains(
        QStringLiteral("员工2 A0002 市场部（不在「一等奖」的抽奖范围内，尚未签到）")));

    // 二等奖 has no rule: checked-in entrants only, its own pre-set winner placed without a second notice.
    form.selectPosition(1);
    form.readstate();
    QCOMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 0 / 10 (每次抽2个)  可抽 5 人"));
    draw(form);
    const QStringList second = namesOf(form.winnerLists().current());
    QCOMPARE(second.first(), QStringLiteral("员工6"));
    QVERIFY((QSet<QString>{QStringLiteral("员工3"), QStringLiteral("员工5"), QStringLiteral("员工8"),
                           QStringLiteral("员工7"), QStringLiteral("员工13"), QStringLiteral("员工1")})
                .contains(second.last()));
    QCOMPARE(env.dialogs.boxes.size(), 1);
    // The draws saved the event's state beside the rules: a copied prize.db carries them.
    QVERIFY(env.readFile(QStringLiteral("prize.db"))
                .contains(gbk(QStringLiteral("[Rules]\r\nOnly1=销售部\r\n"))));

    // Check-in only off: the rule alone counts again.
    app.checkin().setOnlyCheckedIn(false);
    form.selectPosition(0);
    form.readstate();
    QCOMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 2 / 10 (每次抽2个)  可抽 %1 人")
                                                        .arg(10 - (sales().contains(second.last()) ? 2 : 1)));
    form.close();
}

void TestEligibility::withoutRulesAsBefore() {
    TestEnv env;
    env.writeGbk(QStringLiteral("抽奖名单.txt"), pool());
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=20\r\nEvery1=4\r\n"));
    TForm1 form;
    form.show();
    // No count in the progress text; the roll shows no blank line, and with repeats off no winner of
    // an earlier draw.
    QCOMPARE(label(form, QStringLiteral("Label4")), QStringLiteral("进度 0 / 20 (每次抽4个)"));
    QVERIFY(!form.engine().rollingLines(400).contains(QString()));
    draw(form);
    const QStringList won = namesOf(form.winnerLists().current());
    press(form);
    const QStringList shown = rolled(form, 40);
    QVERIFY(!shown.isEmpty());
    for (const QString& name : won)
        QVERIFY2(!shown.contains(name), qPrintable(name));
    press(form);
    // Saving the other pages writes no rules.
    Tfsetting dialog(form);
    dialog.show();
    child<QPushButton>(dialog, QStringLiteral("BitBtn1"))->click();
    child<QPushButton>(dialog, QStringLiteral("BitBtn2"))->click();
    QVERIFY(!env.readFile(QStringLiteral("prize.db")).contains("[Rules]"));
}

void TestEligibility::withoutRulesTheSameWinners() {
    // The same random numbers give the same winners as before there were rules: guessed, drawn from
    // the list of the few left, filled up with repeats (the figures were taken from that program).
    TestEnv env(99);
    QString text;
    for (int i = 1; i <= 1000; ++i)
        text += QStringLiteral("P%1\r\n").arg(i) + (i % 250 == 0 ? QStringLiteral("  \r\n") : QString());
    env.writeGbk(QStringLiteral("抽奖名单.txt"), text);
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=A\r\nNum1=100\r\nEvery1=5\r\n"));
    TForm1 form;
    form.show();
    QStringList lines{WinnerLists::headerLine(996, QStringLiteral("A"), QDateTime::currentDateTime())};
    for (int i = 1; i <= 996; ++i)
        lines << WinnerLists::winnerLine(QStringLiteral("A"), QStringLiteral("P%1").arg(i));
    form.winnerLists().setAll(lines);
    QStringList got;
    for (int round = 0; round < 4; ++round) {
        env.clock.setTickCount(env.clock.tickCount() + 7919);
        got << form.engine().pickWinners(0, 3, false) << QStringLiteral("|");
        got << form.engine().pickSupplementary(false).value_or(QStringLiteral("-"));
    }
    got << form.engine().rollingLines(6);
    env.writeGbk(QStringLiteral("抽奖名单.txt"),
                 QStringLiteral("Q1\r\nQ2\r\nQ3\r\n\r\nQ4\r\nQ5\r\nQ6\r\nQ7\r\nQ8\r\nQ9\r\n"));
    QVERIFY(form.getdata());
    got << QStringLiteral("|") << form.engine().pickWinners(0, 12, true);
    // The picks are that program's figures. The roll is not: it shows only who can be drawn (the four
    // left, each once), so it takes fewer random numbers than that program's roll of any line (which
    // showed "P475,P152,P92,P729,P762,P23") and the picks after it follow from that.
    QCOMPARE(got.join(QLatin1Char(',')),
             QStringLiteral(
                 "P1000,P998,P999,|,P1000,P998,P999,P997,|,P997,P999,P997,P1000,|,P999,P997,P1000,P998,|,"
                 "P998,P1000,P999,P997,P998,|,Q1,Q8,Q6,Q7,Q2,Q9,Q5,Q3,Q4,Q6,Q2,Q9"));
}

void TestEligibility::noNameTwiceInOneFrame() {
    // A name on two lines of the pool; prize A rolls the ten of 销售部, prize B nine of them.
    TestEnv env(31337);
    env.writeGbk(QStringLiteral("抽奖名单.txt"), pool() + QStringLiteral("员工7\tA0007\t销售部\r\n"));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=A\r\nNum1=10\r\nEvery1=1\r\nName2=B\r\nNum2=10\r\nEvery2=1\r\n"
                                "[Rules]\r\nOnly1=销售部\r\nOnly2=销售部\r\nExcept2=员工4\r\n"));
    TForm1 form;
    form.show();
    for (int frame = 0; frame < 300; ++frame) {
        QSet<QString> any, a, b;
        for (const QString& line : form.engine().rollingLines(10))
            any.insert(line.trimmed().isEmpty() ? QStringLiteral("(blank)") : person(line));
        for (const QString& line : form.engine().rollingLines(10, 0))
            a.insert(person(line));
        for (const QString& line : form.engine().rollingLines(10, 1))
            b.insert(person(line));
        QCOMPARE(any.size(), 10);
        QCOMPARE(a, sales());
        QCOMPARE(b, sales({QStringLiteral("员工4")}));
        QCOMPARE(form.engine().rollingLines(10, 1).size(), 9);
    }
}

QTEST_MAIN(TestEligibility)
#include "test_eligibility.moc"
