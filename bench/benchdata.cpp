#include "benchdata.h"

#include "configstore.h"
#include "entrantpool.h"
#include "functionunit.h"
#include "textcodec.h"

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace BenchData {

QByteArray entrantList(int lines, quint32 seed, bool departments) {
    static const QStringList kDepartments{QStringLiteral("销售部"), QStringLiteral("市场部"),
                                          QStringLiteral("技术部"), QStringLiteral("财务部"),
                                          QStringLiteral("人事部"), QStringLiteral("生产部"),
                                          QStringLiteral("采购部"), QStringLiteral("行政部")};
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
        text += QStringLiteral("\tA%1").arg(i + 1, 7, 10, QLatin1Char('0'));
        if (departments)
            text += QLatin1Char('\t') + (i % 1000 == 999 ? QStringLiteral("董事会") : kDepartments.at(i % 8));
        text += QStringLiteral("\r\n");
    }
    return TextCodec::toGbk(text);
}

void NoBoxes::fail(const QString& what) {
    qFatal("a box or dialog would have been shown: %s", qPrintable(what));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

void writeEvent(const QString& folder, int lines, int perDraw, bool departments) {
    const QByteArray list = entrantList(lines, 2027, departments);
    writeFile(QDir(folder).filePath(QStringLiteral("抽奖名单.txt")), list);
    EntrantPool pool;
    pool.setText(TextCodec::fromGbk(list));

    ConfigStore store(QDir(folder).filePath(QStringLiteral("prize.db")));
    store.writeStrings(QStringLiteral("JP"), {{QStringLiteral("Name1"), QStringLiteral("特等奖")},
                                              {QStringLiteral("Num1"), QString::number(lines)},
                                              {QStringLiteral("Every1"), QString::number(perDraw)},
                                              {QStringLiteral("Col1"), QStringLiteral("5")}});
    QList<std::pair<QString, QString>> presets;
    for (int slot = 0; slot < 8; ++slot) {
        const QString wholeLine = pool.name(lines / 9 * (slot + 1));
        const QString staffNumber = pool.name(lines / 10 * (slot + 1)).section(QLatin1Char('\t'), 1, 1);
        const QString bareName =
            slot < 7 ? pool.name(slot).section(QLatin1Char('\t'), 0, 0) : QStringLiteral("欧阳不在");
        const QString texts[] = {wholeLine, staffNumber, bareName};
        for (int j = 0; j < 3; ++j)
            presets.append({QStringLiteral("%1c%2").arg(slot).arg(j + 1),
                            FunctionUnit::encode(texts[j], QStringLiteral("5817"))});
    }
    presets.append(
        {QStringLiteral("Date"), QDate::currentDate().addDays(1).toString(QStringLiteral("yyyy-M-d"))});
    presets.append({QStringLiteral("Times"), QStringLiteral("0")});
    presets.append({QStringLiteral("allowtimes"), QStringLiteral("1")});
    store.writeStrings(QStringLiteral("Setting"), presets);
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
                       .arg(f.minMs, 10, 'f', 4)
                       .arg(f.medianMs, 10, 'f', 4)
                       .arg(f.runs);
    if (baseline && baseline->medianMs > 0)
        line += QStringLiteral("  ratio %1x").arg(f.medianMs / baseline->medianMs, 0, 'f', 2);
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

} // namespace BenchData
