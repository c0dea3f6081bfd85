#include "checkinburst.h"

#include "apppaths.h"
#include "checkinlog.h"
#include "configstore.h"
#include "crashstates.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace CheckinBurst {

namespace {
using CrashStates::Folder;

// What the markers said had happened by a point of the trace.
struct Context {
    QSet<QString> answered; // phones told "签到成功"
    bool checkoutBegun = false, checkoutDone = false;
    QString leaving;
};

QByteArray crlf(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += TextCodec::toGbk(line) + "\r\n";
    return bytes;
}

Folder initialFolder(quint16 port) {
    QStringList entrants;
    for (int i = 1; i <= 60; ++i)
        entrants << QStringLiteral("员工%1 工号%2").arg(i).arg(8000 + i);
    const QStringList db{QStringLiteral("[JP]"),
                         QStringLiteral("Name1=一等奖"),
                         QStringLiteral("Num1=4"),
                         QStringLiteral("Every1=2"),
                         QStringLiteral("[Setting]"),
                         QStringLiteral("showhelp=0"),
                         QStringLiteral("FullScreen=0"),
                         QStringLiteral("[Checkin]"),
                         QStringLiteral("Enabled=1"),
                         QStringLiteral("Address=127.0.0.1"),
                         QStringLiteral("Port=%1").arg(port),
                         QStringLiteral("Key=PowerLossEventKey2026")};
    // Nobody has checked in yet: the first check-in makes 签到名单.txt, whose name must survive too.
    return {{AppPaths::kEntrants, crlf(entrants)}, {AppPaths::kPrizeDb, crlf(db)}};
}

QString check(const Context& context, const Folder& state, const QString& dir) {
    static const QRegularExpression leftover(QStringLiteral("^(.+)\\.[0-9a-f]{1,6}\\.tmp$"));
    for (auto it = state.begin(); it != state.end(); ++it) {
        const QString name =
            leftover.match(it.key()).hasMatch() ? leftover.match(it.key()).captured(1) : it.key();
        if (name != AppPaths::kEntrants && name != AppPaths::kPrizeDb && name != AppPaths::kCheckins &&
            name != AppPaths::kCheckins + QStringLiteral(".edit")) // the editor's file beside
            return QStringLiteral("a file nobody writes: ") + it.key();
    }
    if (!ConfigStore(dir + QStringLiteral("/prize.db"))
             .contains(QStringLiteral("Checkin"), QStringLiteral("Key")))
        return QStringLiteral("prize.db lost its check-in keys");
    const QString path = dir + u'/' + AppPaths::kCheckins;
    CheckinLog log(path);
    try {
        log.load();
    } catch (const OperationError& error) {
        return QStringLiteral("签到名单.txt does not load: ") + error.message();
    }
    QFile file(path);
    const QByteArray repaired = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!repaired.isEmpty() && (!repaired.endsWith("\r\n") || repaired.contains('\0')))
        return QStringLiteral("签到名单.txt is not whole after loading");
    if (log.skippedLines() > 0)
        return QStringLiteral("签到名单.txt holds a line that is no check-in");
    for (const CheckinLog::Entry& entry : log.entries())
        if (!entry.entrant.startsWith(QStringLiteral("员工")))
            return QStringLiteral("a check-in of somebody unknown: ") + entry.entrant;
    for (const QString& guest : context.answered)
        if (!log.isPresent(guest) && !(guest == context.leaving && context.checkoutBegun))
            return QStringLiteral("a check-in answered 签到成功 is lost: ") + guest;
    if (context.checkoutDone && log.isPresent(context.leaving))
        return QStringLiteral("the check-out by hand is lost");
    // The repaired file takes the next check-in.
    log.record({{QDateTime(QDate(2026, 12, 9), QTime(21, 0)), QStringLiteral("员工60 工号8060")}});
    CheckinLog again(path);
    again.load();
    if (!again.isPresent(QStringLiteral("员工60 工号8060")) || again.entries().size() != log.entries().size())
        return QStringLiteral("a check-in after the repair did not read back");
    return {};
}
} // namespace

Result run(const QString& driver, const QString& recorder) {
    Result result;
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir event(QDir::tempPath() + QStringLiteral("/powerloss-checkin-XXXXXX"));
    QTemporaryDir work;
    const QString folder = QDir(event.path()).canonicalPath();
    quint16 port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
    }
    const Folder initial = initialFolder(port);
    QHash<QString, quint64> inodes;
    if (!CrashStates::writeFolder(folder, initial, &inodes)) {
        result.error = QStringLiteral("cannot write the event folder");
        return result;
    }

    QList<CrashStates::Op> ops;
    if (!CrashStates::recordOps(recorder, driver, folder, work.path(), &ops, &result.error))
        return result;

    QList<Context> contexts{Context()};
    int fsyncs = 0;
    for (const CrashStates::Op& op : ops) {
        fsyncs += op.kind == CrashStates::Op::Fsync ? 1 : 0;
        if (op.kind != CrashStates::Op::Mark)
            continue;
        Context next = contexts.constLast();
        const QStringList m = QString::fromUtf8(op.data).chopped(1).split(u'\t');
        if (m.first() == QStringLiteral("CHECKEDIN"))
            next.answered.insert(m.at(1));
        else if (m.first() == QStringLiteral("BEGIN")) {
            next.checkoutBegun = true;
            next.leaving = m.at(2);
        } else if (m.first() == QStringLiteral("CHECKEDOUT"))
            next.checkoutDone = true;
        contexts << next;
    }
    if (contexts.constLast().answered.size() != 40) {
        result.error =
            QStringLiteral("the driver told %1 check-ins, not 40").arg(contexts.constLast().answered.size());
        return result;
    }

    const QString dir = work.filePath(QStringLiteral("state"));
    const CrashStates::Figures figures =
        CrashStates::explore(ops, folder, initial, inodes, [&](int, int markers, const Folder& state) {
            QDir(dir).removeRecursively();
            QDir().mkpath(dir);
            for (auto it = state.begin(); it != state.end(); ++it) {
                QFile file(dir + u'/' + it.key());
                if (file.open(QIODevice::WriteOnly))
                    file.write(it.value());
            }
            const QString failure = check(contexts.at(markers), state, dir);
            if (!failure.isEmpty())
                result.violations << QStringLiteral("[after %1 markers] %2").arg(markers).arg(failure);
        });
    if (figures.unsupported > 0)
        result.error = QStringLiteral("%1 calls the explorer could not place").arg(figures.unsupported);
    result.summary =
        QStringLiteral("check-in burst: 40 check-ins from 4 phones, a check-out and an editor's save of the "
                       "file, a trace of %1 calls "
                       "(%2 fsyncs), %3 cut points, %4 crash states, each loaded and written to again; "
                       "violations: %5; %6 s")
            .arg(ops.size())
            .arg(fsyncs)
            .arg(figures.points)
            .arg(figures.states)
            .arg(result.violations.size())
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1);
    return result;
}

} // namespace CheckinBurst
