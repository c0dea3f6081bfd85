// The saved state of an event: which files belong together, what a restore takes, the dated copies,
// the history record, and random sequences of everything an operator does, with kills in between.
#include "atomicfile.h"
#include "configstore.h"
#include "drawengine.h"
#include "drawmodel.h"
#include "eventresults.h"
#include "eventstore.h"
#include "operationerror.h"
#include "savedstates.h"
#include "testenv.h"
#include "textcodec.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <memory>

using namespace SavedState;

namespace {
const QDateTime kStop(QDate(2025, 1, 18), QTime(20, 31, 5));

QStringList block(const QString& prize, const QStringList& names, const QDateTime& when) {
    QStringList lines{WinnerLists::headerLine(static_cast<int>(names.size()), prize, when)};
    for (const QString& name : names)
        lines << WinnerLists::winnerLine(prize, name);
    return lines;
}

Digest digestOf(const QStringList& lines) {
    return Digest::of(TextFiles::joinCrLf(lines));
}

OnDisk disk(const QStringList& winners, const StateKeys& keys, std::optional<AllWinnersFile> all) {
    OnDisk d;
    d.winners = TextFiles::joinCrLf(winners);
    d.winnersExists = true;
    d.state = keys;
    d.all = std::move(all);
    return d;
}

AllWinnersFile marked(const QStringList& lines, const QString& event, const QStringList& winners,
                      const Counts& counts) {
    return {lines, AllWinnersFile::Mark{event, digestOf(winners), counts}};
}

// prize.db's keys for a list, its counts and event, and the list allwinners.txt was written against.
StateKeys keysFor(const QStringList& winners, const Counts& counts, const QString& event,
                  std::optional<QStringList> allBase = std::nullopt) {
    StateKeys keys;
    keys.counts = counts;
    keys.current =
        Tie{event, digestOf(winners), allBase ? std::optional(digestOf(*allBase)) : std::nullopt, counts};
    return keys;
}

// Thrown from inside a save, between two renames, as a kill would stop the program there.
struct Killed {};
int g_renamesLeft = -1;
void killBeforeRename(const QString&) {
    if (g_renamesLeft >= 0 && g_renamesLeft-- == 0)
        throw Killed{};
}

// One run of the program, as far as the results go: the plain classes the windows use.
struct Run {
    DrawModel model;
    WinnerLists lists;
    EventResults results{model, lists};
    DrawEngine engine{model, lists};

    Run() {
        model.pool.setText(TextFiles::loadEntrantText());
        model.loadPrizeTable(ConfigStore(AppPaths::file(AppPaths::kPrizeDb)));
        lists.setPrizeNames(model.listedNames());
        results.prizeTableChanged();
    }
};

struct State {
    QStringList saved, all;
    Counts counts{};
    bool operator==(const State&) const = default;
};

State stateOf(Run& run) {
    State state{run.lists.saved(), run.lists.all(), {}};
    for (int i = 0; i < DrawModel::kSlots; ++i)
        state.counts[static_cast<std::size_t>(i)] = run.model.slots[i].drawn;
    return state;
}

// One prize of 9 places, 3 a draw, and 40 entrants, in the test's folder.
void writeEvent(TestEnv& env) {
    QStringList entrants;
    for (int i = 1; i <= 40; ++i)
        entrants << QStringLiteral("员工%1").arg(i);
    env.writeFile(AppPaths::kEntrants, TextFiles::joinCrLf(entrants));
    env.writeGbk(AppPaths::kPrizeDb, QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=9\r\nEvery1=3\r\n"));
}

bool drawOnce(TestEnv& env, Run& run) {
    env.clock.advance(61'000);
    return run.results.recordDraw(0, QStringLiteral("一等奖"), run.engine.pickWinners(0, 3, false),
                                  env.clock.now());
}

State restorable(const OnDisk& files, const SlotNames& names) {
    const Resolved r = resolve(files, names);
    return {r.saved, r.all, r.counts};
}

QString describe(const State& s) {
    QStringList counts;
    for (int c : s.counts)
        counts << QString::number(c);
    return QStringLiteral("%1 saved, %2 listed, counts %3")
        .arg(s.saved.size())
        .arg(s.all.size())
        .arg(counts.join(u','));
}
} // namespace

class TestEventStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatARestoreTakes();
    void historyIsAppendedAndRepaired();
    void randomSequencesKeepOneState();
    void aRefusedCorrectionKeepsNoDrawFromItsSave();
    void correctionsLeaveAnotherStateAlone();
    void everySavedStateIsOffered();
};

void TestEventStore::whatARestoreTakes() {
    const SlotNames names{QStringLiteral("一等奖"), QStringLiteral("二等奖")};
    const QStringList b1 =
        block(QStringLiteral("一等奖"), {QStringLiteral("张三"), QStringLiteral("李四")}, kStop);
    const QStringList b2 = block(QStringLiteral("二等奖"), {QStringLiteral("王五")}, kStop.addSecs(60));
    const QString supplementary =
        WinnerLists::supplementaryLine(QStringLiteral("二等奖"), QStringLiteral("赵六"));
    const QStringList corrected{b1[0], b1[1], WinnerLists::cancelLine(b1[2]), supplementary};
    const Counts c1{2, 0}, c12{2, 1};
    const QString e = QStringLiteral("e1"), other = QStringLiteral("e2");

    // The whole state: prize.db names this list; allwinners.txt was written against it, or against
    // the list it has since grown from by a main draw (the block comes after the corrections).
    Resolved r = resolve(disk(b1 + b2, keysFor(b1 + b2, c12, e, b1), marked(corrected, e, b1, c1)), names);
    QCOMPARE(r.all, corrected + b2);
    QCOMPARE(r.counts, c12);
    QVERIFY(r.allTaken && !r.allLeftOut && r.countsFrom == Resolved::CountsFrom::PrizeDb);

    // A save stopped after prize.db: the list on disk is the one before, and so are the counts.
    StateKeys ahead = keysFor(b1 + b2, c12, e, b1);
    ahead.previous = Tie{e, digestOf(b1), digestOf(b1), c1};
    r = resolve(disk(b1, ahead, marked(corrected, e, b1, c1)), names);
    QCOMPARE(r.counts, c1);
    QCOMPARE(r.all, corrected);

    // An allwinners.txt older than the list prize.db says it must be at least as new as (a save that
    // replaced 中奖名单.txt otherwise than by a block, such as an export, stopped before it): left out,
    // even where its list happens to begin the new one.
    r = resolve(disk(b1 + b2, keysFor(b1 + b2, c12, e, b1 + b2), marked(corrected, e, b1, c1)), names);
    QCOMPARE(r.all, b1 + b2);
    QVERIFY(r.allLeftOut);

    // prize.db belongs to another state: the mark of allwinners.txt carries the counts.
    r = resolve(disk(b1, keysFor(b2, Counts{0, 1}, other), marked(corrected, e, b1, c1)), names);
    QCOMPARE(r.counts, c1);
    QCOMPARE(r.all, corrected);
    QCOMPARE(r.countsFrom, Resolved::CountsFrom::AllWinnersMark);

    // Corrections of another event never join this list, not even when they were written against an
    // empty list (which every list begins with): they are left out, and the restore says so.
    r = resolve(disk(b1, keysFor(b1, c1, e, QStringList()), marked({supplementary}, other, {}, {})), names);
    QCOMPARE(r.all, b1);
    QVERIFY(r.allLeftOut);
    QVERIFY(EventResults::restoreNotes(r).contains(QStringLiteral("allwinners.txt")));
    // ... nor when they were written against another list.
    r = resolve(disk(b1 + b2, keysFor(b1 + b2, c12, e, b1), marked(corrected, e, b2, {})), names);
    QCOMPARE(r.all, b1 + b2);

    // Neither prize.db nor a mark fits: the counts come from the blocks, unknown prizes are named.
    const QStringList b3 = block(QStringLiteral("特别奖"), {QStringLiteral("孙七")}, kStop.addSecs(90));
    r = resolve(disk(b1 + b3, keysFor(b2, {}, e), std::nullopt), names);
    QCOMPARE(r.counts, c1);
    QCOMPARE(r.unknownPrizes, QStringList{QStringLiteral("特别奖")});

    // Files of the version before: counts as prize.db holds them; an allwinners.txt without a mark is
    // taken when its main draws are the list's, or one block short, and only when it holds a main
    // draw (or the list holds none).
    StateKeys old;
    old.counts = c1;
    r = resolve(disk(b1 + b2, old, AllWinnersFile{corrected, std::nullopt}), names);
    QCOMPARE(r.all, corrected + b2);
    QCOMPARE(r.counts, c1);
    QCOMPARE(r.countsFrom, Resolved::CountsFrom::Unchecked);
    r = resolve(disk(b1, old, AllWinnersFile{{supplementary}, std::nullopt}), names);
    QCOMPARE(r.all, b1);
    QVERIFY(r.allLeftOut);
    r = resolve(disk({}, old, AllWinnersFile{{supplementary}, std::nullopt}), names);
    QCOMPARE(r.all, QStringList{supplementary});
    r = resolve(disk(b1, old, AllWinnersFile{corrected + b2, std::nullopt}), names);
    QCOMPARE(r.all, b1);

    // The mark line reads back, and nothing else passes for one.
    const AllWinnersFile::Mark mark{QStringLiteral("0af3"), Digest{1234, 0xdeadbeef},
                                    Counts{3, -1, 0, 0, 0, 0, 0, 7}};
    const AllWinnersFile back = AllWinnersFile::parse(AllWinnersFile::compose(corrected, mark));
    QCOMPARE(back.lines, corrected);
    QVERIFY(back.mark && back.mark->winners == mark.winners && back.mark->counts == mark.counts);
    QVERIFY(!AllWinnersFile::parseMark(u"#state event=0af3 winners=12/zz have=1,2,3,4,5,6,7,8"));
    QVERIFY(!AllWinnersFile::parseMark(u"#state event=0af3 winners=12/0000000a have=1,2"));
    QVERIFY(!AllWinnersFile::parse(TextFiles::joinCrLf(corrected)).mark);
}

void TestEventStore::historyIsAppendedAndRepaired() {
    TestEnv env;
    EventStore::appendHistory({});
    EventStore::appendHistory({QString(), QStringLiteral("  \t")});
    QVERIFY(!env.exists(AppPaths::kHistory));

    const QStringList first = {WinnerLists::headerLine(1, QStringLiteral("特等奖"), kStop),
                               QStringLiteral("特等奖: 张三---取消")};
    EventStore::appendHistory(first);
    const QByteArray firstBytes = TextFiles::joinCrLf(first);
    QCOMPARE(env.readFile(AppPaths::kHistory), firstBytes);
    const QStringList second = {QStringLiteral("一等奖: 李四---补抽奖")};
    const QByteArray record = QByteArray(73, '*') + "\r\n" + gbk(second[0]) + "\r\n\r\n";
    EventStore::appendHistory(second);
    QCOMPARE(env.readFile(AppPaths::kHistory), firstBytes + record);

    // A record cut short by a power cut (its end lost, the grown file's last bytes zeros) is closed off
    // and the next one starts on a line of its own.
    env.writeFile(AppPaths::kHistory, firstBytes + "*****" + QByteArray(300, '\0'));
    EventStore::appendHistory(second);
    QCOMPARE(env.readFile(AppPaths::kHistory), firstBytes + "*****\r\n" + record);

    // A file that cannot be written is reported and keeps its bytes.
    const QByteArray before = env.readFile(AppPaths::kHistory);
    QFile::setPermissions(env.path(AppPaths::kHistory), QFileDevice::ReadOwner);
    try {
        EventStore::appendHistory(second);
        QFAIL("no error");
    } catch (const OperationError& error) {
        QVERIFY(error.message().startsWith(QStringLiteral("Cannot create file")));
    }
    QCOMPARE(env.readFile(AppPaths::kHistory), before);
}

// Random sequences of draws, cancels, restores, supplementary draws, exports, 初始化进度, restarts
// answered Yes or No, imports and kills inside a save, through the plain classes the windows use.
// After every step the files on disk must hold one whole state: the one last saved (or, after a kill
// inside a save, the one before it or the one after it), with drawn counts that are the blocks of
// its 中奖名单.txt, no line twice, no prize past its quantity; a state replaced without having been
// loaded must be in a pair of dated copies that restores to it exactly.
void TestEventStore::randomSequencesKeepOneState() {
    TestEnv env(20251218);
    // On a memory file system when there is one: thousands of saves, each flushed to disk.
    QTemporaryDir fast(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                           ? QStringLiteral("/dev/shm/events-XXXXXX")
                           : QDir::tempPath() + QStringLiteral("/events-XXXXXX"));
    QVERIFY(fast.isValid());
    AtomicFile::setBeforeRenameHook(&killBeforeRename);
    const int sequences =
        qEnvironmentVariableIsSet("EVENT_SEQUENCES") ? qEnvironmentVariableIntValue("EVENT_SEQUENCES") : 120;
    const int length = 40;
    const QList<std::pair<QString, int>> prizes{
        {QStringLiteral("一等奖"), 2}, {QStringLiteral("二等奖"), 3}, {QStringLiteral("三等奖"), 4}};
    const SlotNames names{prizes[0].first, prizes[1].first, prizes[2].first};
    QRandomGenerator random(4711);
    qint64 steps = 0, kills = 0, copies = 0, restores = 0;

    for (int sequence = 0; sequence < sequences; ++sequence) {
        const QString folder = fast.path() + QStringLiteral("/%1").arg(sequence);
        QDir().mkpath(folder);
        AppPaths::setFolder(folder);
        QStringList entrants;
        for (int i = 1; i <= 40; ++i)
            entrants << QStringLiteral("员工%1\tA%2").arg(i).arg(1000 + i);
        env.writeFile(AppPaths::kEntrants, TextFiles::joinCrLf(entrants));
        QString db = QStringLiteral("[JP]\r\n");
        for (int i = 0; i < prizes.size(); ++i)
            db += QStringLiteral("Name%1=%2\r\nNum%1=%3\r\nEvery%1=%4\r\n")
                      .arg(i + 1)
                      .arg(prizes[i].first)
                      .arg(prizes[i].second * 3)
                      .arg(prizes[i].second);
        env.writeGbk(AppPaths::kPrizeDb, db);

        auto run = std::make_unique<Run>();
        State onDisk;           // the state the files hold (as the last save or restore left them)
        bool owned = true;      // the run has loaded or saved that state
        bool copiesDue = false; // the next save keeps the state on disk as dated copies first
        QStringList trail;
        for (int step = 0; step < length; ++step, ++steps) {
            const State diskBefore = onDisk;
            const bool wasOwned = owned;
            const bool wereCopiesDue = copiesDue;
            bool correction = false;
            bool killed = false;
            const bool kill = random.bounded(8) == 0;
            g_renamesLeft = kill ? static_cast<int>(random.bounded(3)) : -1;
            env.clock.advance(61'000);
            const int what = static_cast<int>(random.bounded(100));
            QString did;
            bool saves = true;
            try {
                if (what < 35) {
                    did = QStringLiteral("draw");
                    QList<int> open;
                    for (int slot : run->model.listedSlots)
                        if (run->model.slots[slot].drawn < run->model.slots[slot].quantity)
                            open << slot;
                    const int slot = open.isEmpty() ? -1 : open.at(random.bounded(open.size()));
                    const int n =
                        slot < 0 ? 0
                                 : std::min(run->model.slots[slot].perDraw,
                                            run->model.slots[slot].quantity - run->model.slots[slot].drawn);
                    const QStringList winners =
                        slot < 0 ? QStringList() : run->engine.pickWinners(slot, n, false);
                    saves = !winners.isEmpty();
                    if (saves)
                        QVERIFY(run->results.recordDraw(slot, run->model.slots[slot].name, winners,
                                                        env.clock.now()));
                } else if (what < 50) {
                    did = QStringLiteral("cancel or restore a line");
                    correction = true;
                    const QStringList& all = run->lists.all();
                    saves = !all.isEmpty();
                    if (saves) {
                        const int line = static_cast<int>(random.bounded(all.size()));
                        QVERIFY(all.at(line).contains(WinnerLists::kCancelSuffix)
                                    ? run->results.restoreLine(line)
                                    : run->results.cancelLine(line));
                    }
                } else if (what < 60) {
                    did = QStringLiteral("supplementary draw");
                    correction = true;
                    const std::optional<QString> name = run->engine.pickSupplementary(false);
                    saves = name.has_value();
                    if (saves)
                        QVERIFY(run->results.recordSupplementary(prizes[random.bounded(prizes.size())].first,
                                                                 *name));
                } else if (what < 64) {
                    did = QStringLiteral("export");
                    QVERIFY(run->results.exportToWinnersFile());
                } else if (what < 70) {
                    did = QStringLiteral("initialise");
                    saves = false;
                    run->results.initialise();
                    owned = false;
                    copiesDue = true;
                } else if (what < 76) {
                    did = QStringLiteral("restore");
                    saves = false;
                    if (QFileInfo::exists(AppPaths::file(AppPaths::kWinners))) {
                        run->results.restoreProgress();
                        owned = true;
                        copiesDue = false;
                        ++restores;
                    }
                } else if (what < 90) {
                    const bool yes = random.bounded(2) == 0;
                    did = yes ? QStringLiteral("restart, Yes") : QStringLiteral("restart, No");
                    saves = false;
                    run = std::make_unique<Run>();
                    owned = false;
                    copiesDue = true;
                    if (yes && run->results.holdsUnloadedResults()) {
                        run->results.restoreProgress();
                        owned = true;
                        copiesDue = false;
                        ++restores;
                    }
                } else {
                    did = QStringLiteral("import with late registrants");
                    saves = false;
                    entrants << QStringLiteral("迟到%1\tB%2").arg(step).arg(sequence);
                    env.writeFile(AppPaths::kEntrants, TextFiles::joinCrLf(entrants));
                    run->model.pool.setText(TextFiles::loadEntrantText());
                }
            } catch (const Killed&) {
                killed = true;
                ++kills;
            }
            g_renamesLeft = -1;
            trail << did + (killed ? QStringLiteral(" (killed)") : QString());
            const QString where = QStringLiteral("sequence %1 step %2: %3")
                                      .arg(sequence)
                                      .arg(step)
                                      .arg(trail.join(QStringLiteral(", ")));

            const OnDisk files = OnDisk::read(false);
            const Resolved resolved = resolve(files, names);
            const State found{resolved.saved, resolved.all, resolved.counts};
            if (killed) {
                // The program died inside the save: the files hold the state before it or the one after
                // it (a new event's first save may lose the correction it was saving: never shown).
                State after = stateOf(*run);
                if (did == QStringLiteral("export"))
                    after.saved =
                        after.all; // the run takes the exported list as saved once the files hold it
                State afterPlain = after;
                afterPlain.all = afterPlain.saved;
                // A correction over another state's files writes allwinners.txt alone.
                const bool alone = !wasOwned && correction && found.saved == diskBefore.saved &&
                                   found.counts == diskBefore.counts;
                QVERIFY2(found == diskBefore || found == after || (!wasOwned && found == afterPlain) || alone,
                         qPrintable(where + QStringLiteral(": found ") + describe(found)));
                run = std::make_unique<Run>();
                owned = run->results.holdsUnloadedResults();
                copiesDue = !owned;
                if (owned)
                    run->results.restoreProgress();
                onDisk = found;
            } else {
                const bool alone = saves && !wasOwned && !run->results.store().owns();
                if (alone) {
                    // A correction while the files hold another state: 中奖名单.txt and the counts are
                    // that state's still.
                    QVERIFY2(correction && found.saved == diskBefore.saved &&
                                 found.counts == diskBefore.counts,
                             qPrintable(where + QStringLiteral(": found ") + describe(found)));
                    onDisk = found;
                } else if (saves)
                    onDisk = stateOf(*run);
                if (did.startsWith(QStringLiteral("restore")) || did == QStringLiteral("restart, Yes"))
                    QCOMPARE(stateOf(*run), onDisk);
                QVERIFY2(found == onDisk, qPrintable(where + QStringLiteral(": found ") + describe(found) +
                                                     QStringLiteral(", saved ") + describe(onDisk)));
                // The first save over a state this run never loaded keeps it as a pair of dated
                // copies that restores to exactly that state.
                const QStringList& made = run->results.store().lastCopies();
                if (saves && wereCopiesDue &&
                    (TextFiles::holdsResults(diskBefore.all) ||
                     std::any_of(diskBefore.counts.begin(), diskBefore.counts.end(),
                                 [](int c) { return c != 0; }))) {
                    QVERIFY2(made.size() >= 2, qPrintable(where));
                    OnDisk copy;
                    copy.winners = AtomicFile::readAll(made.at(0));
                    copy.winnersExists = true;
                    copy.state = files.state;
                    copy.all = AllWinnersFile::parse(AtomicFile::readAll(made.at(1)));
                    QVERIFY2(restorable(copy, names) == diskBefore,
                             qPrintable(where + QStringLiteral(": the copies hold ") +
                                        describe(restorable(copy, names)) +
                                        QStringLiteral(", the state was ") + describe(diskBefore) +
                                        made.join(u' ')));
                    ++copies;
                }
                if (saves) {
                    owned = run->results.store().owns();
                    copiesDue = false;
                }
            }
            // Whatever happened: the files tie together by what they say of each other (prize.db names
            // this 中奖名单.txt, or the one before its last save), never by counting blocks; counts are
            // the blocks, within the quantities, and no line twice.
            using From = Resolved::CountsFrom;
            QVERIFY2(resolved.countsFrom == From::PrizeDb || resolved.countsFrom == From::PrizeDbBeforeSave ||
                         (!files.state.current && !files.winnersExists),
                     qPrintable(where));
            QCOMPARE(found.counts, countBlocks(found.saved, names));
            for (int i = 0; i < prizes.size(); ++i)
                QVERIFY2(found.counts[static_cast<std::size_t>(i)] <= prizes[i].second * 3,
                         qPrintable(where));
            QSet<QString> seen;
            for (const QString& line : found.all) {
                const QString plain = WinnerLists::restoreLine(line);
                QVERIFY2(plain.trimmed().isEmpty() || !seen.contains(plain),
                         qPrintable(where + QStringLiteral(": twice: ") + line));
                seen.insert(plain);
            }
        }
    }
    AtomicFile::setBeforeRenameHook(nullptr);
    AppPaths::setFolder(env.dir.path());
    QVERIFY(kills > 0 && copies > 0 && restores > 0);
    qInfo().noquote() << QStringLiteral(
                             "saved state: %1 sequences, %2 steps, %3 kills inside a save, %4 restores, "
                             "%5 dated copy pairs restored to the state they kept")
                             .arg(sequences)
                             .arg(steps)
                             .arg(kills)
                             .arg(restores)
                             .arg(copies);
}

void TestEventStore::aRefusedCorrectionKeepsNoDrawFromItsSave() {
    TestEnv env;
    writeEvent(env);
    Run run;
    QVERIFY(drawOnce(env, run));
    const QString all = env.path(AppPaths::kAllWinners);
    QVERIFY(QFile::setPermissions(all, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    // The cancel cannot be saved: its box, and false.
    QVERIFY(!run.results.cancelLine(1));
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QVERIFY(env.dialogs.boxes.last().text.contains(QStringLiteral("allwinners.txt")));
    // Both later draws are saved (each says again that allwinners.txt is behind).
    QVERIFY(drawOnce(env, run));
    QVERIFY(drawOnce(env, run));
    QCOMPARE(env.dialogs.boxes.size(), 3);
    const OnDisk files = OnDisk::read(true);
    QCOMPARE(files.state.counts[0], 9);
    QCOMPARE(files.winners, TextFiles::joinCrLf(run.lists.saved()));
    // A restore takes the list allwinners.txt still holds (the first draw, uncorrected) and the blocks
    // since: the lines that were saved, never another state's.
    Resolved r = resolve(files, SlotNames{QStringLiteral("一等奖")});
    QCOMPARE(r.counts[0], 9);
    QVERIFY(r.allTaken);
    QCOMPARE(r.all, run.lists.saved());
    // Writable again: the next save writes the correction it missed.
    QVERIFY(QFile::setPermissions(all, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY(run.results.saveNow());
    QCOMPARE(env.dialogs.boxes.size(), 3);
    r = resolve(OnDisk::read(true), SlotNames{QStringLiteral("一等奖")});
    QCOMPARE(r.all, run.lists.all());
    QVERIFY(r.all.at(1).endsWith(WinnerLists::kCancelSuffix));
}

void TestEventStore::correctionsLeaveAnotherStateAlone() {
    TestEnv env;
    writeEvent(env);
    State day1;
    {
        Run run;
        QVERIFY(drawOnce(env, run));
        QVERIFY(drawOnce(env, run));
        QVERIFY(run.results.cancelLine(2));
        day1 = stateOf(run);
    }
    const QByteArray winners = env.readFile(AppPaths::kWinners);
    const auto keys = [&] { return StateKeys::read(env.path(AppPaths::kPrizeDb)).entries(); };
    const auto before = keys();
    // A No at start-up, and an initialise in a run that had restored: a supplementary draw and a
    // cancel change neither 中奖名单.txt nor the counts, and restore still brings day 1 back.
    for (const bool initialise : {false, true}) {
        Run run;
        if (initialise) {
            run.results.restoreProgress();
            run.results.initialise();
        }
        QVERIFY(run.results.recordSupplementary(QStringLiteral("一等奖"), QStringLiteral("员工40")));
        QVERIFY(run.results.cancelLine(0));
        QCOMPARE(env.readFile(AppPaths::kWinners), winners);
        QCOMPARE(keys(), before);
        run.results.restoreProgress();
        QCOMPARE(run.lists.saved(), day1.saved);
        QCOMPARE(stateOf(run).counts, day1.counts);
    }
    QVERIFY(env.dialogs.boxes.isEmpty());
}

void TestEventStore::everySavedStateIsOffered() {
    TestEnv env;
    writeEvent(env);
    const SlotNames names{QStringLiteral("一等奖")};
    State day1, day2;
    {
        Run run;
        QVERIFY(drawOnce(env, run));
        QVERIFY(drawOnce(env, run));
        QVERIFY(run.results.cancelLine(2));
        day1 = stateOf(run);
    }
    {
        // A No at start-up, then a draw: day 1 goes to a pair of dated copies.
        Run run;
        QVERIFY(drawOnce(env, run));
        day2 = stateOf(run);
    }
    QList<SavedStates::Entry> states = SavedStates::list(names);
    QCOMPARE(states.size(), 2);
    QVERIFY(states[0].current && !states[1].current);
    QCOMPARE(states[1].state.all, day1.all);
    QCOMPARE(states[1].state.counts, day1.counts);
    const QString item = SavedStates::describe(states[1], names);
    QVERIFY2(item.contains(QStringLiteral("一等奖 6人")) && item.contains(QStringLiteral("最后一次：")),
             qPrintable(item));

    // The copy chosen: restored whole (counts and corrections), and at once the current state, the one
    // it replaces kept as dated copies in its turn.
    env.clock.advance(5'000);
    {
        Run run;
        env.dialogs.itemChoices.enqueue(1);
        const std::optional<Resolved> restored = SavedStates::askAndRestore(run.results);
        QVERIFY(restored);
        QCOMPARE(env.dialogs.boxes.last().kind, QStringLiteral("choose"));
        QVERIFY(env.dialogs.boxes.last().text.contains(item));
        QCOMPARE(stateOf(run), day1);
    }
    states = SavedStates::list(names);
    QCOMPARE(states.size(), 3);
    QCOMPARE(states[0].state.all, day1.all);
    QCOMPARE(states[0].state.counts, day1.counts);
    QVERIFY(std::any_of(states.begin(), states.end(), [&](const SavedStates::Entry& e) {
        return !e.current && e.state.all == day2.all && e.state.counts == day2.counts;
    }));
    // The default is the current files, as restore always was; a cancel restores nothing.
    Run run;
    QVERIFY(SavedStates::askAndRestore(run.results));
    QCOMPARE(stateOf(run), day1);
    Run other;
    env.dialogs.itemChoices.enqueue(-1);
    QVERIFY(!SavedStates::askAndRestore(other.results));
    QVERIFY(other.lists.saved().isEmpty());
}

QTEST_GUILESS_MAIN(TestEventStore)
#include "test_eventstore.moc"
