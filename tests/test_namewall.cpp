// The name wall: the winners it brings to the front are exactly the lines given, a press ends the
// reveal at once, and idle it neither runs a timer nor repaints.
#include "namewall.h"

#include <QSignalSpy>
#include <QTest>

namespace {
QStringList entrants(int count) {
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("员工%1\tA%2\t销售部").arg(i).arg(i, 4, 10, QLatin1Char('0'));
    return lines;
}

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};
} // namespace

class TestNameWall : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void revealBringsExactlyTheWinnersToTheFront();
    void finishAndIdle();
};

void TestNameWall::revealBringsExactlyTheWinnersToTheFront() {
    const QStringList lines = entrants(3000);
    NameWall wall;
    wall.resize(1280, 720);
    wall.setNames(lines);
    wall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wall));

    // The sphere shows a sample of names, the name field only, each once.
    const QStringList shown = wall.sphereNames();
    QCOMPARE(shown.size(), NameWall::kMaxSlots);
    QCOMPARE(QSet<QString>(shown.begin(), shown.end()).size(), shown.size());
    for (const QString& name : shown)
        QVERIFY2(name.startsWith(QStringLiteral("员工")) && !name.contains(u'\t') && !name.contains(u'A'),
                 qPrintable(name));

    wall.startRoll();
    QVERIFY(wall.animating());
    wall.light(lines.mid(100, 10));
    QTest::qWait(300);
    // Winners on the sphere and off it, one without further fields, one with a long name.
    const QStringList winners = {lines.at(7), lines.at(2999), QStringLiteral("欧阳娜娜"),
                                 QStringLiteral("Maximilian-Alexander\tB0001\t研发部")};
    QSignalSpy finished(&wall, &NameWall::revealFinished);
    wall.reveal(winners);
    QVERIFY(finished.wait(3000));
    QVERIFY(!wall.animating());

    for (const QSize size : {QSize(1280, 720), QSize(1920, 1080), QSize(640, 360)}) {
        wall.resize(size);
        const QList<NameWall::Card> cards = wall.cards();
        QCOMPARE(cards.size(), winners.size());
        const QRect safe = wall.rect().marginsRemoved(
            QMargins(size.width() / 20, size.height() / 20, size.width() / 20, size.height() / 20));
        for (int i = 0; i < cards.size(); ++i) {
            QCOMPARE(cards[i].line, winners[i]);
            QVERIFY2(safe.contains(cards[i].rect), qPrintable(cards[i].name));
            QCOMPARE(cards[i].rect.size(), cards[0].rect.size());
            for (int j = 0; j < i; ++j)
                QVERIFY(!cards[i].rect.intersects(cards[j].rect));
        }
        QCOMPARE(cards[0].name, QStringLiteral("员工8"));
        QCOMPARE(cards[0].rest, QStringLiteral("A0008  销售部"));
        QCOMPARE(cards[2].name, QStringLiteral("欧阳娜娜"));
        QCOMPARE(cards[2].rest, QString());
        QCOMPARE(cards[3].name, QStringLiteral("Maximilian-Alexander"));
    }

    // A list far beyond what the sphere holds, and one name a million times over.
    wall.setNames(entrants(1'000'000));
    QCOMPARE(wall.sphereNames().size(), NameWall::kMaxSlots);
    wall.setNames({QString(100'000, u'长') + QStringLiteral("\tA1")});
    QVERIFY(wall.sphereNames().value(0).size() <= 16);
    wall.setNames(QStringList(1'000'000, QStringLiteral("张三\tA1")));
    QCOMPARE(wall.sphereNames(), QStringList{QStringLiteral("张三")});
}

void TestNameWall::finishAndIdle() {
    NameWall wall;
    wall.resize(800, 450);
    wall.setNames(entrants(50));
    wall.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wall));
    PaintCounter counter;
    wall.installEventFilter(&counter);

    auto idleWithoutPaints = [&] {
        QTest::qWait(50); // the one repaint of the change
        counter.paints = 0;
        QTest::qWait(400);
        return !wall.animating() && counter.paints == 0;
    };
    QVERIFY(idleWithoutPaints());

    wall.startRoll();
    QTest::qWait(200);
    QVERIFY(counter.paints > 1);
    QSignalSpy finished(&wall, &NameWall::revealFinished);
    wall.reveal({QStringLiteral("员工3\tA0003\t销售部")});
    QVERIFY(wall.animating());
    wall.finish(); // a press during the reveal
    QVERIFY(!wall.animating());
    QCOMPARE(wall.cards().size(), 1);
    QVERIFY(!wall.sphereNames().contains(QStringLiteral("员工3")));
    QVERIFY(idleWithoutPaints());
    QCOMPARE(finished.count(), 0);

    // finish() during a roll leaves a still sphere; stop() clears the winners.
    wall.startRoll();
    QVERIFY(wall.animating());
    wall.finish();
    QVERIFY(idleWithoutPaints());
    wall.stop();
    QVERIFY(wall.cards().isEmpty());
    QCOMPARE(wall.sphereNames().size(), 50);
    QVERIFY(idleWithoutPaints());
}

QTEST_MAIN(TestNameWall)
#include "test_namewall.moc"
