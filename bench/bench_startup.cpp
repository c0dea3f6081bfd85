// Start-up of the real program to its first painted frame, and its peak resident size, with pools of
// 10 (the program's own baseline), 1,000, 100,000 and 1,000,000 lines.
//
// Run without arguments it is the parent: for each pool it writes an event into a fresh folder and
// starts itself several times as the child, which does what main() does (with that folder as the
// program's folder) and reports, at the first frame of the draw screen, the time since the parent
// started it and the peak resident size so far.
#include "apppaths.h"
#include "benchdata.h"
#include "lotteryapp.h"
#include "unit1.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {
qint64 monotonicNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// The peak resident size of this process so far, in kB.
qint64 peakResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}

// Waits for the first paint of the draw screen; once that frame is done, reports and ends the program.
class FirstFrame : public QObject {
public:
    FirstFrame(QWidget* window, qint64 startNs) : m_window(window), m_startNs(startNs) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_seen && watched == m_window && event->type() == QEvent::Paint) {
            m_seen = true;
            // The rest of the frame (the children) is painted before the loop runs this.
            QTimer::singleShot(0, this, [this] {
                std::printf("%.3f %lld\n", double(monotonicNs() - m_startNs) / 1e6,
                            static_cast<long long>(peakResidentKb()));
                std::fflush(stdout);
                QApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    qint64 m_startNs;
    bool m_seen = false;
};

int child(int argc, char* argv[]) {
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const qint64 startNs = QByteArray(argv[2]).toLongLong();
    AppPaths::setFolder(folder);
    // What main() does.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta抽奖软件"));
    LotteryApp windows;
    FirstFrame firstFrame(&windows.form1(), startNs);
    app.installEventFilter(&firstFrame);
    windows.start();
    return QApplication::exec();
}

struct Run {
    double ms = 0;
    qint64 peakKb = 0;
};

Run runChild(const QString& program, const QString& folder) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    const qint64 startNs = monotonicNs();
    process.start(program, {folder, QString::number(startNs)});
    // The offscreen platform's notes (it cannot raise a window) are shown only when something failed.
    if (!process.waitForFinished(60'000) || process.exitCode() != 0)
        qFatal("the program did not reach its first frame:\n%s", process.readAllStandardError().constData());
    const QList<QByteArray> fields = process.readAllStandardOutput().trimmed().split(' ');
    if (fields.size() != 2)
        qFatal("unexpected report from the program");
    return {fields[0].toDouble(), fields[1].toLongLong()};
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
} // namespace

int main(int argc, char* argv[]) {
    if (argc == 3)
        return child(argc, argv);

    QCoreApplication app(argc, argv);
    const QString program = QCoreApplication::applicationFilePath();
    const int runs = 7;
    qint64 baselineKb = 0;
    double baselineMs = 0;
    std::vector<int> sizes{10};
    sizes.insert(sizes.end(), std::begin(BenchData::kPoolSizes), std::end(BenchData::kPoolSizes));
    std::printf(
        "start-up to the first painted frame (offscreen), %d runs each, pool file in the page cache\n", runs);
    for (const int lines : sizes) {
        QTemporaryDir dir;
        BenchData::writeEvent(dir.path(), lines);
        const qint64 fileBytes = QFileInfo(dir.filePath(QStringLiteral("抽奖名单.txt"))).size();
        std::vector<double> times;
        std::vector<qint64> peaks;
        for (int i = 0; i < runs; ++i) {
            const Run run = runChild(program, dir.path());
            times.push_back(run.ms);
            peaks.push_back(run.peakKb);
        }
        const BenchData::Figures figures{*std::min_element(times.begin(), times.end()), median(times), runs};
        const qint64 peakKb = median(peaks);
        BenchData::Figures baseline{baselineMs, baselineMs, runs};
        if (lines == sizes.front()) {
            baselineKb = peakKb;
            baselineMs = figures.medianMs;
        }
        BenchData::report(QStringLiteral("start-up, %1 lines").arg(lines), figures,
                          lines == sizes.front() ? nullptr : &baseline);
        const double fileMb = double(fileBytes) / (1024 * 1024);
        const double peakMb = double(peakKb) / 1024;
        const double allowanceMb = 3 * fileMb + double(baselineKb) / 1024;
        std::printf("  peak resident %.2f MB (file %.2f MB; allowed 3 x file + baseline = %.2f MB; "
                    "above baseline %.2f x file)\n",
                    peakMb, fileMb, allowanceMb,
                    fileBytes > 0 ? double(peakKb - baselineKb) * 1024 / double(fileBytes) : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
