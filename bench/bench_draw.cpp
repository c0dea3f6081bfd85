// The stop of a draw and the rolling display at 1,000, 100,000 and 1,000,000 entrants, against an
// all-winners list of 100,000 lines, repeats off, with all 24 pre-set entries loaded. The figures at
// 1,000 entrants are the baseline of the larger pools.
//
// Then who may win what, at 100,000 and 1,000,000 entrants with a department on every line: the stop
// of the same draw under a rule (only 销售部, one line in eight; the same with 400 names left out)
// and with check-in only (5,000 checked in), each beside the stop without either on the same pool.
#include "apppaths.h"
#include "benchdata.h"
#include "drawengine.h"
#include "presence.h"
#include "randomsource.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QApplication>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

namespace {
constexpr int kListLines = 100'000;
constexpr int kWinners = 100;

// An event that has already given out 100,000 places. At most half the pool has won (every 7th
// entrant first); the other lines name winners of earlier rounds who are not in the list.
void fillWinners(TForm1& form) {
    QStringList lines;
    const EntrantPool& pool = form.model().pool;
    for (int i = 0; i < kListLines; ++i) {
        const QString name = i < pool.count() / 2 ? pool.name(int(qint64(i) * 7 % pool.count()))
                                                  : QStringLiteral("往届%1").arg(i);
        lines << (i % 100 == 0
                      ? WinnerLists::headerLine(100, QStringLiteral("特等奖"), QDateTime::currentDateTime())
                      : WinnerLists::winnerLine(QStringLiteral("特等奖"), name));
    }
    form.winnerLists().setAll(lines);
    form.winnerLists().setSaved(lines);
}

// The stop of a draw of 100 winners: the roll is started untimed, as the operator's first press
// does, and the second press is timed.
BenchData::Figures measureStop(TForm1& form) {
    auto* button = form.findChild<QPushButton*>(QStringLiteral("btn_prize"));
    return BenchData::measure(
        15, [&] { button->click(); },
        [&] {
            fillWinners(form);
            form.model().slots[0].drawn = 0; // the prize never runs out
            form.readstate();                // as a restore does after it replaced the lists
            // The event as saved so far: the timed stop saves one draw more, as at a real event.
            form.saveProgress();
            button->click(); // start the roll; the timed press stops it
        });
}

// Every step-th line of the pool has checked in.
class EveryNthPresent : public Presence {
public:
    EveryNthPresent(const EntrantPool& pool, int step) : m_pool(pool), m_step(step) {}
    bool onlyPresent() const override { return true; }
    std::vector<bool> presentMask() const override {
        std::vector<bool> mask(static_cast<std::size_t>(m_pool.count()));
        for (std::size_t i = 0; i < mask.size(); i += static_cast<std::size_t>(m_step))
            mask[i] = true;
        return mask;
    }

private:
    const EntrantPool& m_pool;
    int m_step;
};

void benchRules(int poolLines) {
    QTemporaryDir dir;
    AppPaths::setFolder(dir.path());
    BenchData::writeEvent(dir.path(), poolLines, kWinners, true);
    TForm1 form;
    form.resize(1920, 1080);
    form.show();
    std::printf("pool %d lines with departments, rules of the prize\n", form.model().pool.count());
    Eligibility& eligibility = form.engine().eligibility();
    PrizeRule& rule = form.model().rules.slots[0];
    fillWinners(form);

    // The pick alone, then the whole stop, each beside the same without a rule.
    std::optional<BenchData::Figures> plainPick, plainStop;
    const auto scenario = [&](const char* name) {
        const BenchData::Figures pick =
            BenchData::measure(15, [&] { form.engine().pickWinners(0, kWinners, false); });
        BenchData::report(QStringLiteral("  pick of 100, %1").arg(QString::fromUtf8(name)), pick,
                          plainPick ? &*plainPick : nullptr);
        const BenchData::Figures stop = measureStop(form);
        BenchData::report(QStringLiteral("  stop, %1").arg(QString::fromUtf8(name)), stop,
                          plainStop ? &*plainStop : nullptr);
        if (!plainPick) {
            plainPick = pick;
            plainStop = stop;
        }
    };
    scenario("no rule (baseline)");

    // The lines a new rule lets in, worked out once per rule and pool (at the roll's start).
    int fresh = 0;
    BenchData::report(QStringLiteral("  a new rule's lines worked out (once)"), BenchData::measure(5, [&] {
                          PrizeRule once;
                          once.only = QStringList{QStringLiteral("销售部")};
                          once.except = QStringList{QStringLiteral("无此人%1").arg(++fresh)};
                          eligibility.ruleCount(once);
                      }));

    rule.only = QStringList{QStringLiteral("销售部")};
    std::printf("  only 销售部: %d lines\n", eligibility.ruleCount(rule));
    scenario("only 销售部");
    // After a restore (the lists replaced) the progress text counts the rule's lines afresh; after a
    // draw it only takes off the draw's winners.
    BenchData::report(QStringLiteral("  count for the progress text, lists replaced"),
                      BenchData::measure(
                          15, [&] { eligibility.drawableNote(0, false); },
                          [&] { form.winnerLists().setAll(form.winnerLists().all()); }));
    BenchData::report(QStringLiteral("  roll tick, only 销售部"),
                      BenchData::measure(200, [&] { form.engine().rollingLines(10, 0); }));
    for (int i = 0; i < 400; ++i)
        rule.except << form.model().pool.name(i * 8).section(QLatin1Char('\t'), 0, 0);
    std::printf("  only 销售部, 400 names left out: %d lines\n", eligibility.ruleCount(rule));
    scenario("only 销售部, 400 names out");
    rule = PrizeRule();

    const EveryNthPresent present(form.model().pool, std::max(1, poolLines / 5000));
    eligibility.setPresence(&present);
    scenario("check-in only (5,000 in)");
    eligibility.setPresence(nullptr);
}
} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SeededRandom random(7);
    RandomSource::install(&random);
    BenchData::NoBoxes noBoxes;

    const int listLines = kListLines;
    const int winners = kWinners;
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

        fillWinners(form);

        auto* button = form.findChild<QPushButton*>(QStringLiteral("btn_prize"));
        const BenchData::Figures pick =
            BenchData::measure(15, [&] { form.engine().pickWinners(0, winners, false); });
        BenchData::report(QStringLiteral("  pick of 100 winners"), pick);

        const BenchData::Figures stop = measureStop(form);
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
    for (const int poolLines : BenchData::kPoolSizes)
        if (poolLines >= 100'000)
            benchRules(poolLines);
    return 0;
}
