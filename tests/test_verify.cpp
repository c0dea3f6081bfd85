// The verifiable draw: the derivation's figures (the same on Linux and under Wine) and its fairness, a
// whole event checked by the independent verifier (tests/verify/verifydraw.py) with every byte of its
// proof changed in turn, pre-set entries refused and the mode only before the first draw, the stage's
// panel and its commands.
#include "configstore.h"
#include "drawderivation.h"
#include "drive.h"
#include "eventfixture.h"
#include "functionunit.h"
#include "operatorprompts.h"
#include "testenv.h"
#include "unit1.h"
#include "verifiabledraw.h"
#include "verifypanel.h"
#include "winnerlists.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QProcess>
#include <QTest>

namespace {
const QString kSeed = QStringLiteral("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");

#ifndef Q_OS_WIN
// The verifier's verdict on a file: its exit code and what it printed.
std::pair<int, QString> verifier(const QStringList& arguments) {
    QProcess python;
    python.setProcessChannelMode(QProcess::MergedChannels);
    python.start(QStringLiteral("python3"), QStringList{QStringLiteral(VERIFY_SCRIPT)} + arguments);
    if (!python.waitForFinished(240000))
        return {-1, QStringLiteral("the verifier did not finish")};
    return {python.exitCode(), QString::fromUtf8(python.readAll())};
}

// The winners the results hold, main and supplementary, in order.
QStringList resultsWinners(WinnerLists& lists) {
    QStringList names;
    for (int i = 0; i < lists.all().size(); ++i)
        if (!lists.nameAt(i).isEmpty())
            names << lists.nameAt(i);
    return names;
}
#endif
} // namespace

class TestVerify : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void derivationIsFixedAndFair();
    void wholeEventVerifies();
    void presetsRefusedAndOnlyBeforeTheFirstDraw();
    void stageShowsCommitmentHallNumberAndSeed();
};

void TestVerify::derivationIsFixedAndFair() {
    // The document's example, computed by the independent verifier: any platform gives these.
    QStringList texts;
    for (int i = 1; i <= 10; ++i)
        texts << QStringLiteral("员工%1").arg(i);
    const QString d = DrawDerivation::listHash(texts);
    QCOMPARE(d, QStringLiteral("50efb841af1b980a5ea724c3a0f066d8aab4eff060171dc4cea23f14b0715d59"));
    QCOMPARE(DrawDerivation::commitment(kSeed),
             QStringLiteral("630dcd2966c4336691125448bbb25b4ff412a49c732db2c8abc1b8581bd710dd"));
    QCOMPARE(DrawDerivation::pick(kSeed, QStringLiteral("31415"), 5, d, 10, 3), (std::vector<int>{6, 5, 7}));
    QCOMPARE(DrawDerivation::pick(kSeed, QStringLiteral("31415"), 5, d, 10, 10),
             (std::vector<int>{6, 5, 7, 4, 3, 1, 8, 0, 9, 2}));
    QCOMPARE(DrawDerivation::ranges({0, 1, 2, 5, 7, 8}), QStringLiteral("0-2,5,7-8"));
    QCOMPARE(*DrawDerivation::parseRanges(QStringLiteral("0-2,5,7-8")), (std::vector<int>{0, 1, 2, 5, 7, 8}));
    QVERIFY(!DrawDerivation::parseRanges(QStringLiteral("3,1")));
    QCOMPARE(*DrawDerivation::hallNumber(QStringLiteral(" 3-1 ４ 15 ")), QStringLiteral("31415"));
    QVERIFY(!DrawDerivation::hallNumber(QStringLiteral("12a")) &&
            !DrawDerivation::hallNumber(QStringLiteral(" ")));

    // Uniform over a size that is no power of two (the rejection matters for none of 2^64's divisors):
    // one of 7 over 7,000 draws, expected 1,000 each; a chi-square over 6 degrees of freedom stays
    // below 22.5 (p = 0.001). The first and second picks of a draw are both uniform.
    for (int place = 1; place <= 2; ++place) {
        std::array<int, 7> counts{};
        for (int e = 1; e <= 7000; ++e)
            ++counts[static_cast<std::size_t>(
                DrawDerivation::pick(kSeed, QStringLiteral("6"), e, d, 7, place).back())];
        double chi = 0;
        for (const int c : counts)
            chi += (c - 1000.0) * (c - 1000.0) / 1000.0;
        QVERIFY2(chi < 22.5, qPrintable(QString::number(chi)));
    }
}

void TestVerify::wholeEventVerifies() {
#ifdef Q_OS_WIN
    QSKIP("the independent verifier runs on Linux");
#else
    TestEnv env;
    writeEvent(40, 6);
    env.writeGbk(AppPaths::kPrizeDb,
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=4\r\nEvery1=2\r\nName2=二等奖\r\n"
                                "Num2=3\r\nEvery2=3\r\n[Setting]\r\nshowhelp=0\r\n"));
    QStringList announced;
    {
        EventFixture f;
        QVERIFY(f.event.switchVerifiableOn().isEmpty());
        VerifiableDraw& verify = f.event.verify();
        QVERIFY(DrawDerivation::isHex64(verify.commitment()));
        // The seed is the laptop's secret until the reveal.
        const QString seed = QString::fromLatin1(env.readFile(AppPaths::kVerifySeed)).trimmed();
        QCOMPARE(DrawDerivation::commitment(seed), verify.commitment());
        QVERIFY(!env.readFile(AppPaths::kVerifyJournal).contains(seed.toLatin1()));
        QVERIFY(verify.proof().isEmpty());

        // No draw before the hall's number.
        QVERIFY(!f.session.toggleDraw().isEmpty());
        QVERIFY(env.dialogs.texts().last().contains(QStringLiteral("现场数字")));
        QVERIFY(!verify.setHallNumber(QStringLiteral("abc")).isEmpty());
        QVERIFY(verify.setHallNumber(QStringLiteral("4 2 6 1")).isEmpty());
        QVERIFY(!verify.setHallNumber(QStringLiteral("5")).isEmpty());

        f.session.selectPosition(0);
        announced << f.draw() << f.draw();
        QCOMPARE(announced.size(), 4);
        QVERIFY(!verify.setHallNumber(QStringLiteral("5")).isEmpty());
        // A cancel, a supplementary draw.
        QVERIFY(f.session.cancelLine(1).isEmpty());
        QVERIFY(f.session.openSupplementary().isEmpty());
        QVERIFY(f.session.toggleSupplementary().isEmpty());
        QVERIFY(f.session.toggleSupplementary().isEmpty());
        f.session.finishReveal();
        QVERIFY(f.session.closeSupplementary().isEmpty());
        f.event.close(false);
    }
    {
        // The next start: the progress read back, the cancel undone, the second prize drawn.
        EventFixture f;
        QVERIFY(f.session.restoreProgress().isEmpty());
        QVERIFY(f.event.verify().on() && !f.event.verify().hallNumber().isEmpty());
        QVERIFY(f.session.restoreLine(1).isEmpty());
        f.session.selectPosition(1);
        announced << f.draw();
        QCOMPARE(announced.size(), 7);
        QVERIFY(f.event.verify().reveal().isEmpty());
        QCOMPARE(resultsWinners(f.event.lists()).size(), 8);
        env.writeFile(QStringLiteral("proof.txt"), f.event.verify().proof());
        const QStringList winners = resultsWinners(f.event.lists());
        const auto [code, out] = verifier({env.path(QStringLiteral("proof.txt"))});
        QVERIFY2(code == 0, qPrintable(out));
        // Every winner of the results, the supplementary one included, recomputed in order.
        int at = 0;
        for (const QString& line : out.split(QLatin1Char('\n')))
            if (line.contains(QStringLiteral(" draw ")) || line.contains(QStringLiteral(" supplementary ")))
                for (const QString& name : line.section(QStringLiteral(": "), 2).split(QStringLiteral(", ")))
                    QCOMPARE(name, winners.value(at++));
        QCOMPARE(at, 8);
        // The corrections are in the journal too.
        QVERIFY(out.contains(QStringLiteral(": cancel ")) && out.contains(QStringLiteral(": restore ")));
    }
    const auto [code, out] =
        verifier({QStringLiteral("--every-byte"), env.path(QStringLiteral("proof.txt"))});
    QVERIFY2(code == 0, qPrintable(out));
#endif
}

void TestVerify::presetsRefusedAndOnlyBeforeTheFirstDraw() {
    TestEnv env;
    writeEvent(20, 4,
               QStringLiteral("0c1=%1\r\nDate=2020-1-1\r\nTime=\r\nallowtimes=1\r\n")
                   .arg(FunctionUnit::encode(QStringLiteral("员工3"), QStringLiteral("5817"))));
    {
        EventFixture f;
        QCOMPARE(f.event.model().presets.entry(0, 0), 2);
        f.draw();
        // Not once the event has results.
        QVERIFY(!f.event.switchVerifiableOn().isEmpty());
        QVERIFY(!f.event.verify().on());
        QVERIFY(f.session.initialise().isEmpty());
        QVERIFY(f.event.switchVerifiableOn().isEmpty());
        QVERIFY(env.dialogs.texts().contains(VerifiableDraw::kPresetsRefused));
        QCOMPARE(f.event.model().presets.entry(0, 0), -1);
        QVERIFY(f.event.verify().setHallNumber(QStringLiteral("7")).isEmpty());
        for (int i = 0; i < 4; ++i)
            f.draw();
        QCOMPARE(f.event.model().slots[0].drawn, 4);
    }
    env.dialogs.clear();
    {
        // On at the next start too, with its box; initialise switches it off and keeps the journal.
        EventFixture f;
        QVERIFY(f.event.verify().on());
        QVERIFY(env.dialogs.texts().contains(VerifiableDraw::kPresetsRefused));
        QVERIFY(f.session.initialise().isEmpty());
        QVERIFY(!f.event.verify().on() && !env.exists(AppPaths::kVerifyJournal));
        QVERIFY(!ConfigStore(env.path(AppPaths::kPrizeDb))
                     .readBool(QStringLiteral("Verify"), QStringLiteral("Mode"), true));
    }
}

void TestVerify::stageShowsCommitmentHallNumberAndSeed() {
    TestEnv env;
    writeEvent(30, 4);
    TForm1 form;
    form.show();
    auto* panel = form.findChild<QWidget*>(QStringLiteral("verifyPanel"));
    auto* text = form.findChild<QLabel*>(QStringLiteral("verifyText"));
    auto* hallItem = form.findChild<QAction*>(QStringLiteral("verifyHall"));
    QVERIFY(panel && text && hallItem && !panel->isVisible() && !hallItem->isVisible());
    QVERIFY(form.event().switchVerifiableOn().isEmpty());
    const VerifiableDraw& verify = form.event().verify();
    // Before the first roll: the commitment, read out in groups, and its QR code.
    QVERIFY(panel->isVisible() && hallItem->isVisible());
    QVERIFY(text->text().contains(VerifyPanel::spoken(verify.commitment())));
    QVERIFY(text->text().contains(VerifiableDraw::kStageNotice));
    QVERIFY(!form.findChild<QLabel*>(QStringLiteral("verifyQr"))->pixmap().isNull());

    // The operator types the hall's number in its box; the stage shows it.
    QTimer::singleShot(0, &form, [] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        QVERIFY(box);
        box->setTextValue(QStringLiteral("8 8 1 9"));
        box->accept();
    });
    hallItem->trigger();
    QCOMPARE(verify.hallNumber(), QStringLiteral("8819"));
    QVERIFY(text->text().contains(QStringLiteral("8819")));
    draw(form);
    QVERIFY(verify.drawn() && !hallItem->isEnabled());
    QVERIFY(!text->text().contains(VerifyPanel::spoken(verify.commitment())));

    // 公开验证信息: the seed on the stage, the proof exported where the operator chose.
    env.dialogs.saveFiles.enqueue(env.path(QStringLiteral("proof.txt")));
    form.findChild<QAction*>(QStringLiteral("verifyReveal"))->trigger();
    QVERIFY(verify.revealed() && text->text().contains(verify.revealedSeed().left(32)));
    QCOMPARE(env.readFile(QStringLiteral("proof.txt")), verify.proof());
}

QTEST_MAIN(TestVerify)
#include "test_verify.moc"
