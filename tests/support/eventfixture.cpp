#include "eventfixture.h"

#include "apppaths.h"
#include "testenv.h"
#include "winnerlists.h"

#include <QFile>
#include <QTest>

EventFixture::EventFixture() : session(event) {
    event.open();
    session.loadPool();
    event.loadPrizeTable();
    session.prizeTableLoaded();
    session.loadPresets();
    session.selectPosition(static_cast<int>(event.model().listedSlots.size()) - 1);
}

QStringList EventFixture::draw() {
    const qsizetype before = event.lists().all().size();
    if (!session.toggleDraw().isEmpty() || !session.toggleDraw().isEmpty())
        return {};
    session.finishReveal();
    QStringList winners;
    const QStringList& all = event.lists().all();
    for (qsizetype i = before; i < all.size(); ++i)
        if (!WinnerLists::isHeaderLine(all.at(i)))
            winners << WinnerLists::winnerName(all.at(i));
    return winners;
}

void writeEvent(int entrants, int quantity, const QString& extraPrizeDb) {
    QStringList names;
    for (int i = 1; i <= entrants; ++i)
        names << QStringLiteral("员工%1").arg(i);
    const auto write = [](const QString& name, const QString& text) {
        QFile file(AppPaths::file(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(gbk(text));
    };
    write(QStringLiteral("抽奖名单.txt"), names.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    write(QStringLiteral("prize.db"),
          QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=%1\r\nEvery1=1\r\n[Setting]\r\nshowhelp=0\r\n%2")
              .arg(quantity)
              .arg(extraPrizeDb));
}
