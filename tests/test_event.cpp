// The event as one object: a restore from a backup replaces the running event whole, without a window.
#include "checkindesk.h"
#include "checkinservice.h"
#include "eventbackup.h"
#include "eventfixture.h"
#include "linedisplay.h"
#include "testenv.h"
#include "winnerlists.h"

#include <QDir>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

namespace {
quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QStringList checkedIn(const CheckinService& service) {
    QStringList names;
    for (const CheckinLog::Entry& entry : const_cast<CheckinService&>(service).desk().entries())
        names << entry.entrant;
    return names;
}
} // namespace

class TestEvent : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void restoreReplacesTheRunningEvent();
    void hallTextDefaultsAndChoices();
};

// The standby laptop makes a test draw and has a guest checked in, restores the main laptop's
// backup and draws on: the main laptop's winners, counts, check-ins and check-in settings are the
// running event's, nothing of the test draw or the standby's check-ins comes back, nobody wins twice.
void TestEvent::restoreReplacesTheRunningEvent() {
    QTemporaryDir outside;
    const QString zip = outside.filePath(QStringLiteral("main.zip"));
    const quint16 port = freePort();
    QStringList mainAll;
    QStringList mainWinners;
    {
        TestEnv main;
        writeEvent(30, 10,
                   QStringLiteral("[Checkin]\r\nEnabled=1\r\nAddress=127.0.0.1\r\nPort=%1\r\n").arg(port));
        main.writeGbk(QStringLiteral("签到名单.txt"), QStringLiteral("2025-01-18 20:00:00\t员工1\r\n"));
        EventFixture fixture;
        mainWinners << fixture.draw() << fixture.draw();
        QCOMPARE(mainWinners.size(), 2);
        mainAll = fixture.event.lists().all();
        EventBackup::write(zip);
    }

    TestEnv standby(777);
    writeEvent(30, 10);
    EventFixture fixture;
    CheckinService checkin(fixture.session);
    checkin.ensurePool();
    QVERIFY(checkin.desk().checkIn(QStringLiteral("员工20")).kind == CheckinDesk::Outcome::CheckedIn);
    const QStringList testDraw = fixture.draw();
    QCOMPARE(testDraw.size(), 1);
    QVERIFY(checkin.url().isEmpty());

    // Refused while names roll: nothing of the folder changes.
    QVERIFY(fixture.session.toggleDraw().isEmpty());
    const QByteArray winnersBefore = standby.readFile(QStringLiteral("中奖名单.txt"));
    QCOMPARE(fixture.session.restoreBackup(zip), DrawSession::kRefusedRolling);
    QCOMPARE(standby.readFile(QStringLiteral("中奖名单.txt")), winnersBefore);
    fixture.session.toggleDraw();
    fixture.session.finishReveal();

    EventBackup::Restored restored;
    QCOMPARE(fixture.session.restoreBackup(zip, &restored), QString());
    QVERIFY(!restored.copyFolder.isEmpty());
    QCOMPARE(fixture.event.lists().all(), mainAll);
    QCOMPARE(fixture.event.model().slots[0].drawn, 2);
    QVERIFY(fixture.session.results().isEmpty());
    // The restored check-ins alone, the server listening where the restored settings say.
    QCOMPARE(checkedIn(checkin), QStringList{QStringLiteral("员工1")});
    QCOMPARE(checkin.desk().presentCount(), 1);
    QVERIFY(checkin.url().contains(QStringLiteral("127.0.0.1:%1").arg(port)));
    QVERIFY(checkin.desk().checkIn(QStringLiteral("员工2")).kind == CheckinDesk::Outcome::CheckedIn);
    QCOMPARE(checkedIn(checkin), (QStringList{QStringLiteral("员工1"), QStringLiteral("员工2")}));

    // Drawing on keeps every restored winner in both lists, and no restored winner wins again.
    for (int i = 0; i < 8; ++i) {
        const QStringList winners = fixture.draw();
        QCOMPARE(winners.size(), 1);
        QVERIFY2(!mainWinners.contains(winners.first()), qPrintable(winners.first()));
        mainWinners << winners;
    }
    const QStringList restorable = standby.restorableAllWinners();
    QCOMPARE(restorable.mid(0, mainAll.size()), mainAll);
    QCOMPARE(restorable, fixture.event.lists().all());
    QCOMPARE(fixture.event.model().slots[0].drawn, 10);
    // The standby's own state before the restore is kept aside, whole.
    QVERIFY(QFileInfo::exists(QDir(restored.copyFolder).filePath(QStringLiteral("中奖名单.txt"))));
    checkin.programEnding();
}

QTEST_MAIN(TestEvent)
// What the hall sees of a line: mobile and ID numbers partly hidden by default wherever they stand
// (a plain list of one field a line as written); the organiser's choices per field position, kept in
// prize.db beside every key there and read again with the event.
void TestEvent::hallTextDefaultsAndChoices() {
    const LineDisplay automatic;
    QCOMPARE(automatic.hallText(QStringLiteral("韦秀玉 E0142 财务部 13984143195")),
             QStringLiteral("韦秀玉 E0142 财务部 139****3195"));
    QCOMPARE(automatic.hallText(QStringLiteral("110105199001011234\t欧阳静  ")),
             QStringLiteral("110105********1234\t欧阳静  "));
    QCOMPARE(automatic.hallText(QStringLiteral("李四 11010519900101123X")),
             QStringLiteral("李四 110105********123X"));
    // Not a mobile or ID number, or a list of one field a line: as written.
    for (const QString& line : {QStringLiteral("13984143195"), QStringLiteral("王五 23984143195"),
                                QStringLiteral("王五 1398414319"), QStringLiteral("王五 11010519900101123Y")})
        QCOMPARE(automatic.hallText(line), line);

    TestEnv env;
    writeEvent(3, 1, QStringLiteral("[Stage]\r\nSound=1\r\n"));
    const QByteArray before = env.readFile(QStringLiteral("prize.db"));
    EventFixture fixture;
    QVERIFY(fixture.event.lineDisplay().isAutomatic());
    LineDisplay chosen;
    chosen.choose(0, LineDisplay::Choice::Hide);
    chosen.choose(1, LineDisplay::Choice::Partial);
    chosen.choose(3, LineDisplay::Choice::Show);
    QCOMPARE(chosen.hallText(QStringLiteral("韦秀玉\tE0142\t财务部\t13984143195")),
             QStringLiteral("E***2\t财务部\t13984143195"));
    QCOMPARE(chosen.hallText(QStringLiteral("13984143195")), QString());
    fixture.event.setLineDisplay(chosen);
    const QByteArray after = env.readFile(QStringLiteral("prize.db"));
    QVERIFY(after.startsWith(before));
    QVERIFY(after.contains("[HallView]\r\nFields=2,1,,0"));
    fixture.event.setLineDisplay(LineDisplay());
    env.writeFile(QStringLiteral("prize.db"), after);
    QVERIFY(fixture.event.reload());
    QCOMPARE(fixture.event.lineDisplay(), chosen);

    // Check-in and the verifiable draw's proof take the same view: a mobile the hall sees masked
    // proves its guest, one shown whole proves nobody; the published list is masked.
    env.writeGbk(QStringLiteral("抽奖名单.txt"), QStringLiteral("韦秀玉 E0142 13984143195\r\n"));
    fixture.event.setLineDisplay(LineDisplay());
    QVERIFY(fixture.event.reload());
    CheckinService checkin(fixture.session);
    checkin.ensurePool();
    QCOMPARE(checkin.desk().proofCounts().phone, 1);
    QCOMPARE(fixture.event.verify().hallText(QStringLiteral("韦秀玉 E0142 13984143195")),
             QStringLiteral("韦秀玉 E0142 139****3195"));
    LineDisplay whole;
    whole.choose(2, LineDisplay::Choice::Show);
    fixture.event.setLineDisplay(whole);
    checkin.ensurePool();
    QCOMPARE(checkin.desk().proofCounts().desk, 1);
    checkin.programEnding();
}

#include "test_event.moc"
