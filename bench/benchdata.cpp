#include "benchdata.h"

#include "textcodec.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace BenchData {

QByteArray entrantList(int lines, quint32 seed) {
    static const QString surnames =
        QStringLiteral("王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘");
    static const QString given =
        QStringLiteral("伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华建国志红玉兰斌宇浩凯鹏辉");
    QRandomGenerator gen(seed);
    QString text;
    text.reserve(qsizetype(lines) * 16);
    for (int i = 0; i < lines; ++i) {
        text += surnames.at(gen.bounded(int(surnames.size())));
        text += given.at(gen.bounded(int(given.size())));
        if (gen.bounded(2))
            text += given.at(gen.bounded(int(given.size())));
        text += QStringLiteral("\tA%1\r\n").arg(i + 1, 7, 10, QLatin1Char('0'));
    }
    return TextCodec::toGbk(text);
}

Figures measure(int runs, const std::function<void()>& body, const std::function<void()>& setup) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (setup)
            setup();
        QElapsedTimer timer;
        timer.start();
        body();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times.front(), times[times.size() / 2], runs};
}

void report(const QString& name, const Figures& f, const Figures* baseline) {
    QString line = QStringLiteral("%1  min %2 ms  median %3 ms  (%4 runs)")
                       .arg(name, -48)
                       .arg(f.minMs, 9, 'f', 3)
                       .arg(f.medianMs, 9, 'f', 3)
                       .arg(f.runs);
    if (baseline && baseline->medianMs > 0)
        line += QStringLiteral("  ratio %1x").arg(f.medianMs / baseline->medianMs, 0, 'f', 2);
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace BenchData
