// Power loss, not only a kill: the real program runs a scripted event (tests/powerloss/
// powerlossdriver.cpp) under a recorder of its file-system calls (tests/powerloss/fsrecorder.c). From
// the trace, every folder a power cut could leave at every point is rebuilt (tests/powerloss/
// crashstates.cpp), and each one must hold whole files that agree with what had been announced and
// saved, and must restore in the program as it is on disk.
#include "apppaths.h"
#include "backuprestore.h"
#include "checkinburst.h"
#include "configstore.h"
#include "crashstates.h"
#include "lotteryapp.h"
#include "testenv.h"
#include "textcodec.h"
#include "textfiles.h"
#include "unit1.h"
#include "verifyjournal.h"
#include "winnerlists.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <numeric>
#include <sys/stat.h>

using CrashStates::Folder;

namespace {

using AppPaths::kAllWinners;
using AppPaths::kEntrants;
using AppPaths::kHistory;
using AppPaths::kPrizeDb;
using AppPaths::kWinners;
const QStringList kPrizes{QStringLiteral("一等奖"), QStringLiteral("二等奖"), QStringLiteral("三等奖")};

QByteArray crlf(const QStringList& lines) {
    return TextFiles::joinCrLf(lines);
}

// The event as the last run left it: one draw of the third prize made, saved and recorded at exit.
Folder initialFolder() {
    QStringList entrants;
    for (int i = 1; i <= 60; ++i)
        entrants << QStringLiteral("员工%1 工号%2").arg(i).arg(8000 + i);
    QStringList block{QStringLiteral("      以下是：5 位 三等奖 2025-01-18 20:31:05")};
    for (int i = 1; i <= 5; ++i)
        block << QStringLiteral("三等奖: 员工%1 工号%2").arg(i).arg(8000 + i);
    const QStringList db{QStringLiteral("[JP]"),         QStringLiteral("Name1=一等奖"),
                         QStringLiteral("Num1=4"),       QStringLiteral("Every1=2"),
                         QStringLiteral("Name2=二等奖"), QStringLiteral("Num2=9"),
                         QStringLiteral("Every2=3"),     QStringLiteral("Name3=三等奖"),
                         QStringLiteral("Num3=20"),      QStringLiteral("Every3=5"),
                         QStringLiteral("[Setting]"),    QStringLiteral("showhelp=0"),
                         QStringLiteral("FullScreen=0"), QStringLiteral("Repeated=0"),
                         QStringLiteral("automatic=1"),  QStringLiteral("Title1=年会抽奖"),
                         QStringLiteral("[State]"),      QStringLiteral("have0=0"),
                         QStringLiteral("have1=0"),      QStringLiteral("have2=5")};
    return {
        {kEntrants, crlf(entrants)}, {kPrizeDb, crlf(db)}, {kWinners, crlf(block)}, {kHistory, crlf(block)}};
}

// What the driver's markers say had happened by a point of the trace.
struct Context {
    int announced = 0;                // blocks announced (their stop press had returned)
    bool drawInFlight = false;        // a draw had begun and not yet been announced
    QHash<QString, QString> saved;    // "section/key" → value of every settings save that returned
    QHash<QString, QString> inFlight; // the same for the save under way
    QStringList cancelled, supplemented;
    bool exiting = false, exited = false;
    QStringList record; // the all-winners list the exit records
};

struct Script {
    QList<QStringList> blocks; // every announced block of the trace, in order
    QList<Context> contexts;   // by the number of markers done
};

Script readScript(const QList<CrashStates::Op>& ops) {
    QList<QStringList> markers;
    for (const CrashStates::Op& op : ops)
        if (op.kind == CrashStates::Op::Mark)
            markers << QString::fromUtf8(op.data).chopped(1).split(QLatin1Char('\t'));
    Script script;
    for (const QStringList& m : markers)
        if (m.first() == QStringLiteral("ANNOUNCED"))
            script.blocks << m.mid(1);
    Context context;
    script.contexts << context;
    for (qsizetype i = 0; i < markers.size(); ++i) {
        const QStringList& m = markers.at(i);
        const QString& kind = m.first();
        if (kind == QStringLiteral("BEGIN")) {
            context.drawInFlight = m.at(1) == QStringLiteral("draw");
            // The keys of a settings save are told when it returns: look ahead to that marker.
            if (m.at(1) == QStringLiteral("display") || m.at(1) == QStringLiteral("prizes"))
                for (qsizetype j = i + 1; j < markers.size(); ++j)
                    if (markers.at(j).first() == QStringLiteral("SAVED")) {
                        context.inFlight.insert(markers.at(j).at(1) + u'/' + markers.at(j).at(2),
                                                markers.at(j).at(3));
                        break;
                    }
        } else if (kind == QStringLiteral("ANNOUNCED")) {
            ++context.announced;
            context.drawInFlight = false;
        } else if (kind == QStringLiteral("SAVED")) {
            context.saved.insert(m.at(1) + u'/' + m.at(2), m.at(3));
            context.inFlight.clear();
        } else if (kind == QStringLiteral("CANCELLED")) {
            context.cancelled << m.at(1);
        } else if (kind == QStringLiteral("SUPPLEMENTED")) {
            context.supplemented << m.at(1);
        } else if (kind == QStringLiteral("EXITING")) {
            context.exiting = true;
            context.record = m.mid(1);
        } else if (kind == QStringLiteral("EXITED")) {
            context.exited = true;
        }
        script.contexts << context;
    }
    return script;
}

// A text file that a reader can take whole: GBK, every line ended by CR LF.
bool whole(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return true;
    if (!bytes.endsWith("\r\n"))
        return false;
    const QString text = TextCodec::fromGbk(bytes);
    return !text.contains(QChar(0xFFFD)) && !text.contains(QChar(0)) &&
           text.count(u'\r') == text.count(QStringLiteral("\r\n")) && text.count(u'\n') == text.count(u'\r');
}

class Checker {
public:
    Checker(Folder initial, QString initialDir, Script script)
        : m_initial(std::move(initial)), m_initialDir(std::move(initialDir)), m_script(std::move(script)) {
        m_initialWinners = TextFiles::splitLines(TextCodec::fromGbk(m_initial.value(kWinners)));
    }

    // What is wrong with the folder a cut left with the context's markers done; empty when nothing.
    QString checkFiles(const Context& context, const Folder& state, const QString& dir) const;
    // Starts the program on the folder and restores the progress; what went wrong, or empty.
    QString checkProgram(const Context& context, const QString& dir) const;

private:
    Folder m_initial;
    QString m_initialDir; // the folder before the trace, kept as it was
    Script m_script;
    QStringList m_initialWinners;
};

QString Checker::checkFiles(const Context& context, const Folder& state, const QString& dir) const {
    static const QRegularExpression leftover(QStringLiteral("^(.+)\\.[0-9a-f]{1,6}\\.tmp$"));
    for (auto it = state.begin(); it != state.end(); ++it) {
        const auto match = leftover.match(it.key());
        const auto own = [this](const QString& name) {
            return m_initial.contains(name) || name == kAllWinners;
        };
        if (!own(it.key()) && !(match.hasMatch() && own(match.captured(1))))
            return QStringLiteral("a file nobody writes: ") + it.key();
    }
    for (const QString& name : {kEntrants, kPrizeDb, kWinners, kHistory})
        if (!state.contains(name))
            return name + QStringLiteral(" is gone");
    if (state.value(kEntrants) != m_initial.value(kEntrants))
        return QStringLiteral("the entrant list changed");
    for (const QString& name : {kPrizeDb, kWinners, kAllWinners})
        if (!whole(state.value(name)))
            return name + QStringLiteral(" is not whole");

    // The winners file: the restored blocks, then the announced ones in order, at most one more.
    const QStringList lines = TextFiles::splitLines(TextCodec::fromGbk(state.value(kWinners)));
    QStringList expected = m_initialWinners;
    int blocks = -1;
    for (int k = 0; k <= static_cast<int>(m_script.blocks.size()); ++k) {
        if (lines == expected) {
            blocks = k;
            break;
        }
        if (k < m_script.blocks.size())
            expected += m_script.blocks.at(k);
    }
    if (blocks < 0)
        return QStringLiteral("中奖名单.txt holds what was never announced (%1 lines)").arg(lines.size());
    if (blocks < context.announced)
        return QStringLiteral("announced draws lost: %1 announced, %2 in 中奖名单.txt")
            .arg(context.announced)
            .arg(blocks);
    if (blocks > context.announced + (context.drawInFlight ? 1 : 0))
        return QStringLiteral("中奖名单.txt holds a draw not yet made");

    // The drawn counts: those of the file's blocks, or the draw being saved counted ahead of them.
    const ConfigStore store(dir + QStringLiteral("/prize.db"));
    QList<int> counts(3, 0), ahead(3, 0);
    for (const QString& line : lines)
        for (int i = 0; i < 3; ++i)
            counts[i] += line.startsWith(kPrizes.at(i) + QStringLiteral(": ")) ? 1 : 0;
    ahead = counts;
    if (context.drawInFlight && blocks == context.announced && blocks < m_script.blocks.size())
        for (const QString& line : m_script.blocks.at(blocks))
            for (int i = 0; i < 3; ++i)
                ahead[i] += line.startsWith(kPrizes.at(i) + QStringLiteral(": ")) ? 1 : 0;
    QList<int> have;
    for (int i = 0; i < 3; ++i)
        have << store.readInteger(QStringLiteral("State"), QStringLiteral("have%1").arg(i), -1);
    if (have != counts && have != ahead)
        return QStringLiteral("drawn counts %1 %2 %3 disagree with 中奖名单.txt (%4 %5 %6)")
            .arg(have[0])
            .arg(have[1])
            .arg(have[2])
            .arg(counts[0])
            .arg(counts[1])
            .arg(counts[2]);

    // The settings: what the program never changes is as it was; a returned save is on disk; the
    // save under way has its old value or its new one.
    const ConfigStore before(m_initialDir + QStringLiteral("/prize.db"));
    for (int i = 1; i <= 3; ++i)
        for (const char* stem : {"Name", "Num", "Every"}) {
            const QString key = QStringLiteral("%1%2").arg(QLatin1String(stem)).arg(i);
            if (store.readString(QStringLiteral("JP"), key, QString()) !=
                before.readString(QStringLiteral("JP"), key, QString()))
                return QStringLiteral("prize.db lost JP/") + key;
        }
    for (const QString& full : {QStringLiteral("Setting/Title1"), QStringLiteral("JP/prizename1")}) {
        const QString section = full.section(u'/', 0, 0), key = full.section(u'/', 1);
        const QString value = store.readString(section, key, QString());
        const QString old = before.readString(section, key, QString());
        if (context.saved.contains(full) ? value != context.saved.value(full)
                                         : value != old && value != context.inFlight.value(full, old))
            return QStringLiteral("prize.db has %1=%2").arg(full, value);
    }
    if (context.exited && !store.contains(QStringLiteral("Setting"), QStringLiteral("automatic")))
        return QStringLiteral("the exit's automatic is missing");

    // The history: the old records, and the exit's record appended once the close had begun; once it
    // returned, surely. While it is being appended a cut may keep part of the record (what was written
    // of it, then zeros where the file had grown): the next record starts after a repair.
    const QByteArray oldHistory = m_initial.value(kHistory);
    const QByteArray record =
        TextCodec::toGbk(TextFiles::kHistorySeparator) + "\r\n" + crlf(context.record) + "\r\n";
    const QByteArray history = state.value(kHistory);
    if (history == oldHistory && !context.exited)
        return QString();
    if (history == oldHistory + record && context.exiting)
        return QString();
    if (!context.exiting || context.exited || !history.startsWith(oldHistory))
        return QStringLiteral("history.txt is neither the old records nor the old ones and the exit's");
    QByteArray added = history.sliced(oldHistory.size());
    while (added.endsWith('\0'))
        added.chop(1);
    if (!record.startsWith(added))
        return QStringLiteral("history.txt holds part of a record that was never written");
    return QString();
}

QString Checker::checkProgram(const Context& context, const QString& dir) const {
    TestEnv env;
    AppPaths::setFolder(dir);
    const QStringList lines = TextFiles::loadWinners();
    LotteryApp windows;
    windows.start();
    TForm1& form = windows.form1();
    form.findChild<QAction*>(QStringLiteral("N20"))->trigger();
    QString failure;
    // Every crash state is a whole state: the restore takes all of it, with nothing to report.
    if (!env.dialogs.texts().contains(QStringLiteral("抽奖信息读取成功!")))
        failure =
            QStringLiteral("the restore failed or left something out: ") + env.dialogs.texts().join(u'|');
    else if (form.winnerLists().saved() != lines ||
             (!QFile::exists(dir + u'/' + kAllWinners) && form.winnerLists().all() != lines))
        failure = QStringLiteral("the restore took other lines than 中奖名单.txt holds");
    // The drawn counts are those of the blocks in 中奖名单.txt, whatever prize.db was cut at.
    QList<int> counts(8, 0);
    for (const QString& line : lines)
        for (int i = 0; i < kPrizes.size(); ++i)
            counts[i] += line.startsWith(kPrizes.at(i) + QStringLiteral(": ")) ? 1 : 0;
    for (int i = 0; failure.isEmpty() && i < 8; ++i)
        if (form.model().slots[i].drawn != counts[i])
            failure = QStringLiteral("the restore took drawn count %1 for slot %2, 中奖名单.txt holds %3")
                          .arg(form.model().slots[i].drawn)
                          .arg(i)
                          .arg(counts[i]);
    // The restored list is the saved list with the corrections in between: the same main draws.
    if (failure.isEmpty()) {
        QStringList main;
        for (const QString& line : form.winnerLists().all())
            if (!WinnerLists::restoreLine(line).endsWith(WinnerLists::kSupplementaryMark))
                main << WinnerLists::restoreLine(line);
        if (main != lines)
            failure =
                QStringLiteral("the restored all-winners list holds other main draws than 中奖名单.txt");
    }
    // Every correction whose save had returned comes back from the file of its own.
    if (!context.cancelled.isEmpty() || !context.supplemented.isEmpty()) {
        const QStringList& all = form.winnerLists().all();
        if (failure.isEmpty() && !QFile::exists(dir + u'/' + kAllWinners))
            failure = QStringLiteral("allwinners.txt is lost after a correction was saved");
        for (const QString& line : context.cancelled + context.supplemented)
            if (failure.isEmpty() && !all.contains(line))
                failure = QStringLiteral("a correction is lost: ") + line;
    }
    if (failure.isEmpty() &&
        !QDir(dir).entryList({QStringLiteral("*.tmp")}, QDir::Files | QDir::Hidden).isEmpty())
        failure = QStringLiteral("the start left a temporary file");
    for (const ScriptedDialogs::Box& box : env.dialogs.boxes)
        if (failure.isEmpty() && box.kind == QStringLiteral("message") &&
            box.icon != Dialogs::Icon::Information)
            failure = QStringLiteral("an error box at start: ") + box.text;
    AppPaths::setFolder(env.dir.path());
    return failure;
}

} // namespace

class TestPowerLoss : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyCrashStateRestores();
    void checkinBurstSurvivesEveryCrashState();
    void backupRestoreSurvivesEveryCrashState();
    void verifiableJournalSurvivesEveryCrashState();

private:
    struct Totals {
        qint64 calls = 0, syncs = 0, renames = 0, points = 0, states = 0, dirSubsets = 0, started = 0;
        QStringList violations;
    };
    // Records one scripted event and explores its crash states.
    void oneRun(Totals& totals);
};

void TestPowerLoss::oneRun(Totals& totals) {
    // The event folder, as the last run left it, fully on disk.
    QTemporaryDir event(QDir::tempPath() + QStringLiteral("/powerloss-XXXXXX"));
    QTemporaryDir work;
    QVERIFY(event.isValid() && work.isValid());
    const QString folder = QDir(event.path()).canonicalPath();
    const Folder initial = initialFolder();
    QHash<QString, quint64> inodes;
    for (auto it = initial.begin(); it != initial.end(); ++it) {
        QFile file(folder + u'/' + it.key());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
        file.close();
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(file.fileName()).constData(), &info) == 0);
        inodes.insert(it.key(), info.st_ino);
    }

    // The scripted event under the recorder.
    const QString trace = work.filePath(QStringLiteral("trace"));
    const QString failed = CrashStates::record(QStringLiteral(POWERLOSS_RECORDER),
                                               QStringLiteral(POWERLOSS_DRIVER), folder, work.path(), trace);
    QVERIFY2(failed.isEmpty(), qPrintable(failed));

    QFile traceFile(trace);
    QVERIFY(traceFile.open(QIODevice::ReadOnly));
    QList<CrashStates::Op> ops;
    QString error;
    QVERIFY2(CrashStates::parseTrace(traceFile.readAll(), &ops, &error), qPrintable(error));
    const Script script = readScript(ops);
    QCOMPARE(script.blocks.size(), 5);
    QVERIFY(script.contexts.constLast().exited);
    qsizetype syncs = 0, renames = 0;
    for (const CrashStates::Op& op : ops) {
        syncs += op.kind == CrashStates::Op::Fsync ? 1 : 0;
        renames += op.kind == CrashStates::Op::Rename ? 1 : 0;
    }

    // Every crash state, each checked on its files; a sample of them (or all) also in the program.
    struct Candidate {
        int markers;
        Folder state;
    };
    QList<Candidate> states;
    const CrashStates::Figures figures =
        CrashStates::explore(ops, folder, initial, inodes, [&](int, int markers, const Folder& state) {
            states.append({markers, state});
        });
    QCOMPARE(figures.unsupported, 0);

    const QString initialDir = work.filePath(QStringLiteral("initial"));
    QDir().mkpath(initialDir);
    for (auto it = initial.begin(); it != initial.end(); ++it) {
        QFile file(initialDir + u'/' + it.key());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
    }
    const Checker checker(initial, initialDir, script);
    const int limit = qEnvironmentVariableIsSet("POWERLOSS_STATES")
                          ? qEnvironmentVariableIntValue("POWERLOSS_STATES")
                          : 150;
    QList<int> order(states.size());
    std::iota(order.begin(), order.end(), 0);
    QRandomGenerator random(20250118);
    std::shuffle(order.begin(), order.end(), random);
    const qsizetype started = limit > 0 ? std::min<qsizetype>(limit, states.size()) : states.size();
    QStringList violations;
    const QString dir = work.filePath(QStringLiteral("state"));
    for (qsizetype n = 0; n < order.size(); ++n) {
        const Candidate& candidate = states.at(order.at(n));
        QDir(dir).removeRecursively();
        QDir().mkpath(dir);
        for (auto it = candidate.state.begin(); it != candidate.state.end(); ++it) {
            QFile file(dir + u'/' + it.key());
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(it.value()) == it.value().size());
        }
        const Context& context = script.contexts.at(candidate.markers);
        QString failure = checker.checkFiles(context, candidate.state, dir);
        if (failure.isEmpty() && n < started)
            failure = checker.checkProgram(context, dir);
        if (!failure.isEmpty())
            violations << QStringLiteral("[after %1 markers] %2 {%3}")
                              .arg(candidate.markers)
                              .arg(failure, QStringList(candidate.state.keys()).join(u' '));
    }
    totals.calls += ops.size();
    totals.syncs += syncs;
    totals.renames += renames;
    totals.points += figures.points;
    totals.states += figures.states;
    totals.dirSubsets = std::max(totals.dirSubsets, figures.dirSubsets);
    totals.started += started;
    totals.violations += violations;
}

void TestPowerLoss::everyCrashStateRestores() {
    QElapsedTimer clock;
    clock.start();
    // One scripted event by default; scripts/powerloss asks for more (each draws other winners).
    const int runs =
        qEnvironmentVariableIsSet("POWERLOSS_RUNS") ? qEnvironmentVariableIntValue("POWERLOSS_RUNS") : 1;
    Totals totals;
    for (int run = 0; run < runs; ++run) {
        oneRun(totals);
        if (QTest::currentTestFailed())
            return;
    }
    qInfo().noquote() << QStringLiteral(
                             "power loss: %1 run(s), traces of %2 calls (%3 fsyncs, %4 renames), %5 cut "
                             "points, %6 crash states (at most %7 folder orders at one point), all "
                             "checked on disk, %8 started in the program and restored; violations: "
                             "%9; %10 s")
                             .arg(runs)
                             .arg(totals.calls)
                             .arg(totals.syncs)
                             .arg(totals.renames)
                             .arg(totals.points)
                             .arg(totals.states)
                             .arg(totals.dirSubsets)
                             .arg(totals.started)
                             .arg(totals.violations.size())
                             .arg(clock.elapsed() / 1000.0, 0, 'f', 1);
    QVERIFY2(totals.violations.isEmpty(), qPrintable(totals.violations.mid(0, 8).join(u'\n')));
}

void TestPowerLoss::checkinBurstSurvivesEveryCrashState() {
    const CheckinBurst::Result result =
        CheckinBurst::run(QStringLiteral(CHECKIN_DRIVER), QStringLiteral(POWERLOSS_RECORDER));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    qInfo().noquote() << result.summary;
    QVERIFY2(result.violations.isEmpty(), qPrintable(result.violations.mid(0, 8).join(u'\n')));
}

void TestPowerLoss::backupRestoreSurvivesEveryCrashState() {
    const BackupRestore::Result result =
        BackupRestore::run(QStringLiteral(POWERLOSS_DRIVER), QStringLiteral(POWERLOSS_RECORDER));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    qInfo().noquote() << result.summary;
    QVERIFY2(result.violations.isEmpty(), qPrintable(result.violations.mid(0, 8).join(u'\n')));
}

void TestPowerLoss::verifiableJournalSurvivesEveryCrashState() {
    const VerifyJournal::Result result = VerifyJournal::run(
        QStringLiteral(VERIFY_DRIVER), QStringLiteral(POWERLOSS_RECORDER), QStringLiteral(VERIFY_SCRIPT));
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    qInfo().noquote() << result.summary;
    QVERIFY2(result.violations.isEmpty(), qPrintable(result.violations.mid(0, 8).join(u'\n')));
}

QTEST_MAIN(TestPowerLoss)
#include "test_powerloss.moc"
