#include "verifyjournal.h"

#include "apppaths.h"
#include "crashstates.h"
#include "drawderivation.h"
#include "drawjournal.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/stat.h>

namespace VerifyJournal {

namespace {
using CrashStates::Folder;

// What the markers said had been shown by a point of the trace.
struct Shown {
    bool on = false, hall = false, revealed = false;
    int lastDrawEntry = 0; // the highest journal entry of a draw shown
};

QByteArray crlf(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += TextCodec::toGbk(line) + "\r\n";
    return bytes;
}

QString check(const Shown& shown, const Folder& state, const QString& dir, QSet<QByteArray>* journals) {
    const QByteArray seedFile = state.value(AppPaths::kVerifySeed);
    const QString seed = QString::fromLatin1(seedFile).trimmed();
    DrawJournal journal(dir + u'/' + AppPaths::kVerifyJournal);
    journal.load();
    if (!journal.broken().isEmpty())
        return QStringLiteral("the journal does not load: ") + journal.broken();
    if (shown.on && journal.count() == 0)
        return QStringLiteral("the commitment was shown and is not in the journal");
    if (journal.count() > 0 && DrawDerivation::commitment(seed) !=
                                   journal.entries().first().value(QStringLiteral("commitment")).toString())
        return QStringLiteral("the journal's commitment is not opened by the seed file");
    if (shown.lastDrawEntry > journal.count())
        return QStringLiteral("a draw shown is not in the journal");
    if (shown.hall &&
        std::none_of(journal.entries().begin(), journal.entries().end(), [](const QJsonObject& entry) {
            return entry.value(QStringLiteral("type")).toString() == QStringLiteral("hall");
        }))
        return QStringLiteral("the hall's number shown is not in the journal");
    if (journal.count() > 0)
        journals->insert(seed.toLatin1() + '\n' + state.value(AppPaths::kVerifyJournal));
    // The next start appends after what the cut left.
    const int before = journal.count();
    try {
        journal.append({{QStringLiteral("type"), QStringLiteral("progress")}});
    } catch (const OperationError& error) {
        return QStringLiteral("the journal takes no entry: ") + error.message();
    }
    DrawJournal again(journal.path());
    again.load();
    if (!again.broken().isEmpty() || again.count() != before + 1)
        return QStringLiteral("an entry appended after the cut does not read back");
    return {};
}
} // namespace

Result run(const QString& driver, const QString& recorder, const QString& verifier) {
    Result result;
    QTemporaryDir event(QDir::tempPath() + QStringLiteral("/powerloss-verify-XXXXXX"));
    QTemporaryDir work;
    const QString folder = QDir(event.path()).canonicalPath();
    QStringList entrants;
    for (int i = 1; i <= 30; ++i)
        entrants << QStringLiteral("员工%1").arg(i);
    const Folder initial{
        {AppPaths::kEntrants, crlf(entrants)},
        {AppPaths::kPrizeDb,
         crlf({QStringLiteral("[JP]"), QStringLiteral("Name1=一等奖"), QStringLiteral("Num1=6"),
               QStringLiteral("Every1=2"), QStringLiteral("[Setting]"), QStringLiteral("showhelp=0")})}};
    QHash<QString, quint64> inodes;
    if (!CrashStates::writeFolder(folder, initial, &inodes)) {
        result.error = QStringLiteral("cannot write the event folder");
        return result;
    }
    QList<CrashStates::Op> ops;
    if (!CrashStates::recordOps(recorder, driver, folder, work.path(), &ops, &result.error))
        return result;

    QList<Shown> shown{Shown()};
    for (const CrashStates::Op& op : ops) {
        if (op.kind != CrashStates::Op::Mark)
            continue;
        Shown next = shown.constLast();
        const QStringList m = QString::fromUtf8(op.data).chopped(1).split(u'\t');
        next.on = next.on || m.first() == u"ON";
        next.hall = next.hall || m.first() == u"HALL";
        next.revealed = next.revealed || m.first() == u"REVEALED";
        if (m.first() == u"ANNOUNCED")
            next.lastDrawEntry = m.at(1).toInt();
        shown << next;
    }
    if (!shown.constLast().revealed) {
        result.error = QStringLiteral("the driver did not reach the reveal");
        return result;
    }

    QSet<QByteArray> journals;
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
            const QString failure = check(shown.at(markers), state, dir, &journals);
            if (!failure.isEmpty())
                result.violations << QStringLiteral("[after %1 markers] %2").arg(markers).arg(failure);
        });
    if (figures.unsupported > 0)
        result.error = QStringLiteral("%1 calls the explorer could not place").arg(figures.unsupported);
    // Each journal a cut can leave, checked by the independent verifier with the seed beside it.
    int k = 0;
    for (const QByteArray& seedAndJournal : std::as_const(journals)) {
        const qsizetype cut = seedAndJournal.indexOf('\n');
        const QString path = work.filePath(QStringLiteral("journal%1.txt").arg(++k));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(seedAndJournal.mid(cut + 1)) < 0)
            continue;
        file.close();
        QProcess python;
        python.setProcessChannelMode(QProcess::MergedChannels);
        python.start(QStringLiteral("python3"), {verifier, QStringLiteral("--journal"), path,
                                                 QString::fromLatin1(seedAndJournal.left(cut))});
        if (!python.waitForFinished(60000) || python.exitCode() != 0)
            result.violations << QStringLiteral("a journal left by a cut does not verify: ") +
                                     QString::fromUtf8(python.readAll());
    }
    result.summary =
        QStringLiteral("verifiable draw: a trace of %1 calls, %2 cut points, %3 crash states, "
                       "%4 different journals checked by the independent verifier; violations: %5")
            .arg(ops.size())
            .arg(figures.points)
            .arg(figures.states)
            .arg(journals.size())
            .arg(result.violations.size());
    return result;
}

} // namespace VerifyJournal
