// The stop of a draw and the rolling display at 1,000, 100,000 and 1,000,000 entrants, against an
// all-winners list of 100,000 lines, repeats off, with all 24 pre-set entries loaded. The figures at
// 1,000 entrants are the baseline of the larger pools.
#include "apppaths.h"
#include "benchdata.h"
#include "drawengine.h"
#include "randomsource.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SeededRandom random(7);
    RandomSource::install(&random);
    BenchData::NoBoxes noBoxes;

    const int listLines = 100'000;
    const int winners = 100;
    std::optional<BenchData::Figures> baseStop, baseShown;
    for (const int poolLines : BenchData::kPoolSizes) {
        QTemporaryDir dir;
        AppPaths::setFolder(dir.path());
        BenchData::writeEvent(dir.path(), poolLines, winners);

        TForm1 form;
        form.resize(1920, 1080);
        form.show();
        std::printf("pool %d lines, all-winners list %d lines, %d winners per draw, repeats off\n",
                    form.model().pool.count(), listLines, winners);

        // An event that has already given out 100,000 places. At most half the pool has won (every
        // 7th entrant first); the other lines name winners of earlier rounds who are not in the list.
        auto fillLists = [&form, listLines] {
            QStringList lines;
            const EntrantPool& pool = form.model().pool;
            for (int i = 0; i < listLines; ++i) {
                const QString name = i < pool.count() / 2 ? pool.name(int(qint64(i) * 7 % pool.count()))
                                                          : QStringLiteral("往届%1").arg(i);
                lines << (i % 100 == 0 ? WinnerLists::headerLine(100, QStringLiteral("特等奖"),
                                                                 QDateTime::currentDateTime())
                                       : WinnerLists::winnerLine(QStringLiteral("特等奖"), name));
            }
            form.winnerLists().setAll(lines);
            form.winnerLists().setSaved(lines);
        };
        fillLists();

        auto* button = form.findChild<QPushButton*>(QStringLiteral("btn_prize"));
        const BenchData::Figures pick =
            BenchData::measure(15, [&] { form.engine().pickWinners(0, winners, false); });
        BenchData::report(QStringLiteral("  pick of 100 winners"), pick);

        const BenchData::Figures stop = BenchData::measure(
            15, [&] { button->click(); },
            [&] {
                fillLists();
                form.model().slots[0].drawn = 0; // the prize never runs out
                // The event as saved so far: the timed stop saves one draw more, as at a real event.
                form.saveProgress();
                button->click(); // start the roll; the timed press stops it
            });
        BenchData::report(QStringLiteral("  stop of a draw (pick, lists, panel, save)"), stop,
                          baseStop ? &*baseStop : nullptr);

        const BenchData::Figures save = BenchData::measure(15, [&] { form.saveProgress(); });
        BenchData::report(QStringLiteral("    of which save progress (fsync'd)"), save);

        const BenchData::Figures tick = BenchData::measure(200, [&] { form.engine().rollingLines(10); });
        BenchData::report(QStringLiteral("  roll tick: 10 random lines"), tick);
        button->click();
        auto* memo = form.findChild<QWidget*>(QStringLiteral("Memo3"));
        auto* timer = form.findChild<QObject*>(QStringLiteral("time1"));
        const BenchData::Figures shown = BenchData::measure(200, [&] {
            QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
            memo->repaint();
        });
        BenchData::report(QStringLiteral("  roll tick shown (lines + repaint)"), shown,
                          baseShown ? &*baseShown : nullptr);
        button->click();
        if (!baseStop) {
            baseStop = stop;
            baseShown = shown;
        }
    }
    return 0;
}
