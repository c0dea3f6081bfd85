#include "backuprestore.h"

#include "crashstates.h"
#include "eventbackup.h"
#include "operationerror.h"
#include "testenv.h"
#include "textfiles.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace BackupRestore {

namespace {
using CrashStates::Folder;

struct Context {
    bool begun = false;    // the restore had started
    bool restored = false; // it had said it is done
};

QByteArray lines(const QStringList& text) {
    return TextFiles::joinCrLf(text);
}

// Bytes standing for a picture: more than a disk block, so a cut may keep part of one.
QByteArray picture(int size, quint32 seed) {
    QRandomGenerator random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = static_cast<char>(random.bounded(256));
    return bytes;
}

QStringList entrants(int count, int first) {
    QStringList list;
    for (int i = first; i < first + count; ++i)
        list << QStringLiteral("员工%1 工号%2").arg(i).arg(8000 + i);
    return list;
}

// The event on the laptop: settings, entrants, a draw's results, history and two pictures.
Folder formerEvent() {
    const QStringList block{QStringLiteral("      以下是：2 位 一等奖 2025-01-18 20:31:05"),
                            QStringLiteral("一等奖: 员工1 工号8001"),
                            QStringLiteral("一等奖: 员工2 工号8002")};
    return {{AppPaths::kPrizeDb,
             lines({QStringLiteral("[JP]"), QStringLiteral("Name1=一等奖"), QStringLiteral("Num1=4"),
                    QStringLiteral("Every1=2"), QStringLiteral("[Setting]"), QStringLiteral("showhelp=0"),
                    QStringLiteral("FullScreen=0"), QStringLiteral("Title1=年会抽奖")})},
            {AppPaths::kEntrants, lines(entrants(20, 1))},
            {AppPaths::kWinners, lines(block)},
            {AppPaths::kHistory, lines(block)},
            {QStringLiteral("图片/奖品.jpg"), picture(9000, 1)},
            {QStringLiteral("图片/旧.jpg"), picture(5000, 2)}};
}

// The event in the archive: other settings, entrants, results, check-ins and pictures, one of the
// same name.
Folder archivedEvent() {
    return {{AppPaths::kPrizeDb,
             lines({QStringLiteral("[JP]"), QStringLiteral("Name1=特等奖"), QStringLiteral("Num1=2"),
                    QStringLiteral("Every1=1"), QStringLiteral("[Setting]"), QStringLiteral("showhelp=0"),
                    QStringLiteral("FullScreen=0"), QStringLiteral("Title1=新春晚会")})},
            {AppPaths::kEntrants, lines(entrants(30, 101))},
            {AppPaths::kWinners, lines({QStringLiteral("      以下是：1 位 特等奖 2026-02-01 19:00:00"),
                                        QStringLiteral("特等奖: 员工105 工号8105")})},
            {AppPaths::kCheckins, lines({QStringLiteral("2026-02-01 18:30:00\t员工101 工号8101")})},
            {QStringLiteral("图片/奖品.jpg"), picture(10000, 3)},
            {QStringLiteral("图片/背景.png"), picture(7000, 4)}};
}

Folder readFiles(const QString& root) {
    Folder files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(QDir(root).relativeFilePath(file.fileName()), file.readAll());
    }
    return files;
}

QString check(const Context& context, const Folder& state, const Folder& former, const Folder& restored) {
    const QString& stem = EventBackup::kCopyFolderStem;
    QSet<QString> putAside, folders;
    for (auto it = state.begin(); it != state.end(); ++it) {
        const QString& name = it.key();
        if (name.startsWith(stem)) {
            const QString inner = name.section(u'/', 1);
            folders.insert(name.section(u'/', 0, 0));
            if (!former.contains(inner) || former.value(inner) != it.value())
                return QStringLiteral("%1 is not a whole former file (%2 bytes)").arg(name).arg(it->size());
            putAside.insert(inner);
            continue;
        }
        if (!former.contains(name) && !restored.contains(name))
            return QStringLiteral("a file nobody writes: ") + name;
        const bool isFormer = former.contains(name) && former.value(name) == it.value();
        const bool isRestored = restored.contains(name) && restored.value(name) == it.value();
        if (!isFormer && !isRestored)
            return QStringLiteral("%1 is neither the whole former file nor the whole restored one (%2 bytes)")
                .arg(name)
                .arg(it->size());
        if (!isRestored && context.restored)
            return QStringLiteral("%1 is still the former file after the restore returned").arg(name);
        if (!isFormer && !context.begun)
            return QStringLiteral("%1 changed before the restore began").arg(name);
    }
    if (folders.size() > 1)
        return QStringLiteral("more than one folder of what the restore put aside");
    for (auto it = former.begin(); it != former.end(); ++it)
        if (state.value(it.key()) != it.value() && !putAside.contains(it.key()))
            return QStringLiteral("the former %1 is lost").arg(it.key());
    if (context.restored)
        for (auto it = restored.begin(); it != restored.end(); ++it)
            if (!state.contains(it.key()))
                return QStringLiteral("the restored %1 is missing after the restore returned").arg(it.key());
    return {};
}
} // namespace

Result run(const QString& driver, const QString& recorder) {
    Result result;
    QElapsedTimer clock;
    clock.start();
    QTemporaryDir event(QDir::tempPath() + QStringLiteral("/powerloss-restore-XXXXXX"));
    QTemporaryDir work;
    const QString folder = QDir(event.path()).canonicalPath();
    const QString archive = work.filePath(QStringLiteral("年会.zip"));

    // The archive, written by the program from an event of its own.
    Folder restored;
    try {
        TestEnv env;
        if (!CrashStates::writeFolder(env.dir.path(), archivedEvent())) {
            result.error = QStringLiteral("cannot write the archived event");
            return result;
        }
        EventBackup::write(archive);
        restored = readFiles(env.dir.path());
    } catch (const OperationError& error) {
        result.error = QStringLiteral("the backup failed: ") + error.message();
        return result;
    }
    const Folder former = formerEvent();
    QHash<QString, quint64> inodes;
    if (!CrashStates::writeFolder(folder, former, &inodes)) {
        result.error = QStringLiteral("cannot write the event folder");
        return result;
    }

    QList<CrashStates::Op> ops;
    if (!CrashStates::recordOps(recorder, driver, folder, work.path(), &ops, &result.error,
                                {QStringLiteral("restore"), archive}))
        return result;
    QList<Context> contexts{Context()};
    int fsyncs = 0, renames = 0;
    for (const CrashStates::Op& op : ops) {
        fsyncs += op.kind == CrashStates::Op::Fsync ? 1 : 0;
        renames += op.kind == CrashStates::Op::Rename ? 1 : 0;
        if (op.kind != CrashStates::Op::Mark)
            continue;
        Context next = contexts.constLast();
        const QString kind = QString::fromUtf8(op.data).section(u'\t', 0, 0).trimmed();
        next.begun = next.begun || kind == QStringLiteral("BEGIN");
        next.restored = next.restored || kind == QStringLiteral("RESTORED");
        contexts << next;
    }
    if (!contexts.constLast().restored) {
        result.error = QStringLiteral("the driver never said the restore was done");
        return result;
    }

    // The unpacked files wait in a scratch folder of their own, which nobody reads after a cut.
    const auto kept = [](const QString& name) { return !name.startsWith(QStringLiteral(".restore-")); };
    const CrashStates::Figures figures = CrashStates::explore(
        ops, folder, former, inodes,
        [&](int, int markers, const Folder& state) {
            const QString failure = check(contexts.at(markers), state, former, restored);
            if (!failure.isEmpty())
                result.violations << QStringLiteral("[after %1 markers] %2 {%3}")
                                         .arg(markers)
                                         .arg(failure, QStringList(state.keys()).join(u' '));
        },
        kept);
    if (figures.unsupported > 0)
        result.error = QStringLiteral("%1 calls the explorer could not place").arg(figures.unsupported);
    result.summary =
        QStringLiteral("backup restore: %1 files put aside, %2 restored (pictures in 图片), a trace of %3 "
                       "calls (%4 fsyncs, %5 renames), %6 cut points, %7 crash states (%8 points with each "
                       "file's contents varied alone), each checked: every file of the event whole, the "
                       "former one in place or put aside or the restored one, none of the former lost, "
                       "all restored once the restore returned; violations: %9; %10 s")
            .arg(former.size())
            .arg(restored.size())
            .arg(ops.size())
            .arg(fsyncs)
            .arg(renames)
            .arg(figures.points)
            .arg(figures.states)
            .arg(figures.sampledPoints)
            .arg(result.violations.size())
            .arg(clock.elapsed() / 1000.0, 0, 'f', 1);
    return result;
}

} // namespace BackupRestore
