// The stop of a draw and the rolling display at event sizes far beyond a real party's.
#include "apppaths.h"
#include "benchdata.h"
#include "drawengine.h"
#include "randomsource.h"
#include "textfiles.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    AppPaths::setFolder(dir.path());
    SeededRandom random(7);
    RandomSource::install(&random);

    const int poolLines = 1'000'000;
    const int listLines = 100'000;
    const int winners = 100;
    writeFile(AppPaths::file(AppPaths::kEntrants), BenchData::entrantList(poolLines));
    writeFile(AppPaths::file(AppPaths::kPrizeDb), QByteArray("[JP]\r\nName1=A\r\nNum1=900000\r\nEvery1=") +
                                                      QByteArray::number(winners) + "\r\nCol1=5\r\n");

    TForm1 form;
    form.resize(1920, 1080);
    form.show();
    std::printf("pool %d lines, all-winners list %d lines, %d winners per draw\n", form.model().pool.count(),
                listLines, winners);

    // An event that has already given out 100,000 places.
    auto fillLists = [&form, listLines] {
        QStringList lines;
        const EntrantPool& pool = form.model().pool;
        for (int i = 0; i < listLines; ++i)
            lines << (i % 100 == 0
                          ? WinnerLists::headerLine(100, QStringLiteral("A"), QDateTime::currentDateTime())
                          : WinnerLists::winnerLine(QStringLiteral("A"), pool.name(i * 7)));
        form.winnerLists().setAll(lines);
        form.winnerLists().setSaved(lines);
    };
    fillLists();

    auto* button = form.findChild<QPushButton*>(QStringLiteral("btn_prize"));
    const BenchData::Figures pick =
        BenchData::measure(15, [&] { form.engine().pickWinners(0, winners, false); });
    BenchData::report(QStringLiteral("pick of 100 winners"), pick);

    const BenchData::Figures stop = BenchData::measure(
        15, [&] { button->click(); },
        [&] {
            fillLists();
            button->click(); // start the roll; the timed press stops it
        });
    BenchData::report(QStringLiteral("stop of a draw (pick, lists, panel, save)"), stop);

    const BenchData::Figures save = BenchData::measure(15, [&] { form.saveProgress(); });
    BenchData::report(QStringLiteral("  of which save progress (fsync'd)"), save);

    const BenchData::Figures tick = BenchData::measure(200, [&] { form.engine().rollingLines(10); });
    BenchData::report(QStringLiteral("roll tick: 10 random lines"), tick);
    button->click();
    auto* memo = form.findChild<QWidget*>(QStringLiteral("Memo3"));
    const BenchData::Figures shown = BenchData::measure(200, [&] {
        QMetaObject::invokeMethod(form.findChild<QObject*>(QStringLiteral("time1")), "timeout",
                                  Qt::DirectConnection);
        memo->repaint();
    });
    BenchData::report(QStringLiteral("roll tick shown (lines + repaint)"), shown);
    button->click();
    return 0;
}
