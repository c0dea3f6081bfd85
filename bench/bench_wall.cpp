// What the name wall costs while it turns: the wall full screen on the display it is started on (run by
// scripts/bench-roll --wall on 1920x1080 and 3840x2160 virtual screens), names rolling ten ticks a
// second with ten names lit a tick, as the stage drives it. Each round rolls for the given seconds and
// reads the process's CPU time from /proc before and after, then reveals five winners and measures
// the reveal the same way. The medians of the rounds are printed.
//
// Usage: bench_wall [--seconds S] [--rounds R] [--names N] [--hold S]
//   --hold: seconds the end of each reveal stays on screen (for screenshots).
#include "namewall.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {
// User and system CPU time of this process, in seconds.
double cpuSeconds() {
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    // Fields 14 and 15 of the line; the list starts at field 3.
    return fields.size() > 12
               ? double(fields[11].toLongLong() + fields[12].toLongLong()) / sysconf(_SC_CLK_TCK)
               : 0;
}

void wait(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

QStringList entrants(int count) {
    const QString family = QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹");
    const QString given = QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰娟涛明超兰霞平刚桂英华玉萍红建文辉");
    const QStringList departments = {QStringLiteral("销售部"), QStringLiteral("研发部"),
                                     QStringLiteral("财务部"), QStringLiteral("市场部")};
    QRandomGenerator random(29);
    QStringList lines;
    for (int i = 0; i < count; ++i) {
        QString name = family.at(random.bounded(int(family.size())));
        for (int k = random.bounded(1, 3); k > 0; --k)
            name += given.at(random.bounded(int(given.size())));
        lines << QStringLiteral("%1\tA%2\t%3")
                     .arg(name)
                     .arg(i + 1, 4, 10, QLatin1Char('0'))
                     .arg(departments[i % 4]);
    }
    return lines;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[(values.size() - 1) / 2];
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char* name, double fallback) {
        const qsizetype at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toDouble() : fallback;
    };
    const double seconds = option("--seconds", 10);
    const int rounds = int(option("--rounds", 5));
    const int count = int(option("--names", 2000));
    const double hold = option("--hold", 0.5);

    const QStringList lines = entrants(count);
    NameWall wall;
    wall.setNames(lines);
    wall.setGeometry(app.primaryScreen()->geometry());
    wall.showFullScreen();
    wait(2); // shown, laid out and painted

    QTimer tick;
    tick.setInterval(100);
    QObject::connect(&tick, &QTimer::timeout, &wall, [&] {
        QStringList lit;
        for (int i = 0; i < 10; ++i)
            lit << lines.at(QRandomGenerator::global()->bounded(int(lines.size())));
        wall.light(lit);
    });

    std::vector<double> rolling, revealing;
    for (int round = 0; round < rounds; ++round) {
        wall.startRoll();
        tick.start();
        wait(1);
        const double start = cpuSeconds();
        wait(seconds);
        rolling.push_back(100 * (cpuSeconds() - start) / seconds);
        tick.stop();
        QStringList winners;
        for (int i = 0; i < 5; ++i)
            winners << lines.at((round * 5 + i) * 37 % lines.size());
        QEventLoop done;
        QObject::connect(&wall, &NameWall::revealFinished, &done, &QEventLoop::quit);
        QTimer::singleShot(5000, &done, &QEventLoop::quit);
        const double revealStart = cpuSeconds();
        QElapsedTimer clock;
        clock.start();
        wall.reveal(winners);
        done.exec();
        revealing.push_back(100 * (cpuSeconds() - revealStart) / std::max(0.01, clock.elapsed() / 1000.0));
        wait(hold);
        wall.stop();
        wait(0.3);
    }
    std::printf("name wall at %dx%d, %d names, %.0f s a round, %d rounds (%% of one core):\n", wall.width(),
                wall.height(), count, seconds, rounds);
    std::printf("  turning:   rounds");
    for (double v : rolling)
        std::printf(" %.1f", v);
    std::printf(" -> median %.1f%%\n  revealing: rounds", median(rolling));
    for (double v : revealing)
        std::printf(" %.1f", v);
    std::printf(" -> median %.1f%%\n", median(revealing));
    return 0;
}
