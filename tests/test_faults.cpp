// File faults during an event: read-only folder and files, a folder that turns read-only midway, a full
// disk, a missing entrant list, an unreadable winners file and a history that cannot be written. Each
// shows its error box, leaves what was saved before intact, and the event goes on once the fault is
// gone without losing a winner. The tests run as root too, where only the mode bits say "read-only".
#include "configstore.h"
#include "drawsession.h"
#include "drive.h"
#include "mediaplayer.h"
#include "prizebanner.h"
#include "systemreason.h"
#include "testenv.h"
#include "textcodec.h"
#include "textfiles.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {
const QString kEntrants = QStringLiteral("抽奖名单.txt");
const QString kDb = QStringLiteral("prize.db");
const QString kWinners = QStringLiteral("中奖名单.txt");
const QString kHistory = QStringLiteral("history.txt");

void setUpEvent(const TestEnv& env, int auto_stop = 0) {
    QString entrants;
    for (int i = 1; i <= 200; ++i)
        entrants += QStringLiteral("员工%1 一个相当长的部门名称和工号 %2\r\n").arg(i).arg(10000 + i);
    env.writeGbk(kEntrants, entrants);
    env.writeGbk(
        kDb, QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=100\r\nEvery1=5\r\n[Setting]\r\nStoptime=%1\r\n")
                 .arg(auto_stop));
}

int saved(const TestEnv& env) {
    return ConfigStore(env.path(kDb)).readInteger(QStringLiteral("State"), QStringLiteral("have0"), 0);
}

// The winners file agrees with memory: every block drawn so far, nothing else.
void verifyAllOnDisk(const TestEnv& env, TForm1& form) {
    QCOMPARE(env.readFile(kWinners), TextFiles::joinCrLf(form.winnerLists().saved()));
    QCOMPARE(env.restorableAllWinners(), form.winnerLists().all());
    QCOMPARE(saved(env), form.model().slots[0].drawn);
    QCOMPARE(form.winnerLists().saved().size(), form.model().slots[0].drawn / 5 * 6);
}

void setMode(const QString& path, QFileDevice::Permissions permissions) {
    QVERIFY(QFile::setPermissions(path, permissions));
}

const QFileDevice::Permissions kReadOnly =
    QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
const QFileDevice::Permissions kReadOnlyFolder =
    kReadOnly | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
const QFileDevice::Permissions kWritable = kReadOnly | QFileDevice::WriteOwner;
const QFileDevice::Permissions kWritableFolder = kReadOnlyFolder | QFileDevice::WriteOwner;

// Counts what the music player does, so a test sees that the music stops.
struct CountingPlayer : MediaPlayer {
    static inline int stops = 0;
    bool open(const QString&) override { return true; }
    bool isOpen() const override { return true; }
    void play() override {}
    void stop() override { ++stops; }
    void setPosition(qint64) override {}
    qint64 length() const override { return 60000; }
    qint64 position() const override { return 0; }
};

// Records, when an error box appears, whether any of the draw's timers still runs.
struct TimerWatchingDialogs : ScriptedDialogs {
    TForm1* form = nullptr;
    QStringList runningAtError;
    void message(Icon icon, const QString& caption, const QString& text) override {
        ScriptedDialogs::message(icon, caption, text);
        if (form && icon == Icon::Critical)
            for (const char* name : {"time1", "calc_time"})
                if (child<QTimer>(*form, name)->isActive())
                    runningAtError << QLatin1String(name);
    }
};
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readOnlyFolderAndFilesRefuseEveryWrite();
    void folderTurnsReadOnlyMidEvent();
    void failedSaveStillEndsTheStop();
    void fullDiskByFileSizeLimit();
    void fullDiskOnSmallFileSystem();
    void missingEntrantListAndUnreadableWinners();
    void historyThatCannotBeWrittenIsReportedOnce();
    void leftoversOfACutSaveAreRemovedAtStart();
    void readOnlyPrizeDbStillCloses();
    void correctionThatCannotBeSavedKeepsTheList();
};

void TestFaults::readOnlyFolderAndFilesRefuseEveryWrite() {
    TestEnv env;
    setUpEvent(env);
    TForm1 form;
    form.show();
    draw(form);
    verifyAllOnDisk(env, form);

    struct Fault {
        QString path;
        QFileDevice::Permissions readOnly;
        QFileDevice::Permissions writable;
        QString message;
    };
    const QString denied = SystemReason::ofErrno(EACCES);
    const QList<Fault> faults{
        // The folder is tried at the draw's start: nothing is drawn, each press says why.
        {env.dir.path(), kReadOnlyFolder, kWritableFolder, QStringLiteral("活动文件夹不能写入")},
        // A file refuses the stop's save: its draw is taken back.
        {env.path(kDb), kReadOnly, kWritable,
         DrawSession::kNotSaved + QStringLiteral("Unable to write to ") + env.path(kDb)},
        {env.path(kWinners), kReadOnly, kWritable,
         DrawSession::kNotSaved +
             QStringLiteral("Cannot create file \"%1\". %2").arg(env.path(kWinners), denied)},
    };
    for (const Fault& fault : faults) {
        const QByteArray dbBefore = env.readFile(kDb);
        const QByteArray winnersBefore = env.readFile(kWinners);
        const QStringList blocksBefore = form.winnerLists().saved();
        const QStringList allBefore = form.winnerLists().all();
        const int drawnBefore = form.model().slots[0].drawn;
        env.dialogs.clear();
        setMode(fault.path, fault.readOnly);
        draw(form);
        // The operator is told which file failed; neither file changes, and nobody is drawn.
        QVERIFY(!env.dialogs.texts().isEmpty());
        for (const QString& text : env.dialogs.texts())
            QVERIFY2(text.startsWith(fault.message), qPrintable(text));
        QCOMPARE(env.dialogs.texts().size(), fault.path == env.dir.path() ? 2 : 1);
        QCOMPARE(env.dialogs.boxes.first().icon, Dialogs::Icon::Critical);
        QCOMPARE(env.readFile(kDb), dbBefore);
        QCOMPARE(env.readFile(kWinners), winnersBefore);
        QCOMPARE(form.winnerLists().saved(), blocksBefore);
        QCOMPARE(form.winnerLists().all(), allBefore);
        QCOMPARE(form.model().slots[0].drawn, drawnBefore);
        QCOMPARE(QDir(env.dir.path()).entryList(QDir::Files).size(), 4); // no temporary file left
        // Once the file can be written again, the next draw is saved.
        setMode(fault.path, fault.writable);
        env.dialogs.clear();
        draw(form);
        QVERIFY(env.dialogs.texts().isEmpty());
        QCOMPARE(form.model().slots[0].drawn, drawnBefore + 5);
        verifyAllOnDisk(env, form);
    }
    // A replaced file keeps the mode bits it had.
    QCOMPARE(::chmod(QFile::encodeName(env.path(kWinners)).constData(), 0640), 0);
    draw(form);
    verifyAllOnDisk(env, form);
    struct stat info {};
    QCOMPARE(::stat(QFile::encodeName(env.path(kWinners)).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0640u);
}

void TestFaults::folderTurnsReadOnlyMidEvent() {
    TestEnv env;
    setUpEvent(env);
    {
        TForm1 form;
        form.show();
        draw(form);
        draw(form);
        const QByteArray dbAfterTwo = env.readFile(kDb);
        const QByteArray winnersAfterTwo = env.readFile(kWinners);
        // The folder turns read-only while names roll: the stop's save fails and nobody has won.
        press(form);
        setMode(env.dir.path(), kReadOnlyFolder);
        press(form);
        QCOMPARE(env.dialogs.texts(),
                 QStringList{DrawSession::kNotSaved + QStringLiteral("Unable to write to ") + env.path(kDb) +
                             QStringLiteral("\n原因：") + SystemReason::ofErrno(EACCES)});
        // No draw starts while it stays read-only.
        env.dialogs.clear();
        press(form);
        QVERIFY(!form.isRolling());
        QVERIFY(env.dialogs.texts().first().startsWith(QStringLiteral("活动文件夹不能写入")));
        QCOMPARE(env.readFile(kDb), dbAfterTwo);
        QCOMPARE(env.readFile(kWinners), winnersAfterTwo);
        QCOMPARE(form.model().slots[0].drawn, 10);
        setMode(env.dir.path(), kWritableFolder);
        draw(form);
        verifyAllOnDisk(env, form);
        form.hide();
    } // power cut
    TForm1 form;
    form.show();
    child<QAction>(form, "N20")->trigger();
    QCOMPARE(form.model().slots[0].drawn, 15);
    QCOMPARE(form.winnerLists().all().size(), 18);
    draw(form);
    verifyAllOnDisk(env, form);
}

void TestFaults::failedSaveStillEndsTheStop() {
    MediaPlayer::installFactory([] { return std::make_unique<CountingPlayer>(); });
    TestEnv env;
    TimerWatchingDialogs dialogs; // replaces the environment's double while it lives
    setUpEvent(env, 30);
    env.writeFile(QStringLiteral("bgmusic.mp3"), QByteArray("not really music"));
    TForm1 form;
    dialogs.form = &form;
    form.show();
    auto* button = child<QPushButton>(form, "btn_prize");
    QTest::keyClick(button, Qt::Key_Space);
    QVERIFY(child<QTimer>(form, "calc_time")->isActive());
    QVERIFY(child<QTimer>(form, "Timer5")->isActive());
    // The folder turns read-only while the names roll.
    setMode(env.dir.path(), kReadOnlyFolder);
    CountingPlayer::stops = 0;
    QTest::keyClick(button, Qt::Key_Space);
    QCOMPARE(dialogs.texts(),
             QStringList{DrawSession::kNotSaved + QStringLiteral("Unable to write to ") + env.path(kDb) +
                         QStringLiteral("\n原因：") + SystemReason::ofErrno(EACCES)});
    // While the error box is up, neither the roll nor the auto-stop runs; afterwards the stop is complete.
    QCOMPARE(dialogs.runningAtError, QStringList());
    QVERIFY(!form.isRolling());
    for (const char* name : {"time1", "calc_time", "Timer5", "Cycle_timer"})
        QVERIFY2(!child<QTimer>(form, name)->isActive(), name);
    QCOMPARE(CountingPlayer::stops, 1);
    // Nobody is shown as won: no cards, no announcement, the counts as before, the band says why.
    QVERIFY(!child<QWidget>(form, "Panel2")->isVisible());
    QVERIFY(!child<QWidget>(form, "Label1")->isVisible());
    QCOMPARE(child<PrizeBanner>(form, "prizeBanner")->content().caption, DrawSession::kFolderStageNotice);
    QCOMPARE(child<PrizeBanner>(form, "prizeBanner")->content().counts, PrizeBanner::countsText(5, 0, 100));
    QVERIFY(form.winnerLists().current().isEmpty());
    QVERIFY(form.winnerLists().all().isEmpty());
    QVERIFY(form.session().results().isEmpty());
    QVERIFY(!env.exists(kWinners));
    // Put right, the next press draws again without a restart.
    setMode(env.dir.path(), kWritableFolder);
    dialogs.clear();
    QTest::keyClick(button, Qt::Key_Space);
    QVERIFY(form.isRolling());
    QTest::keyClick(button, Qt::Key_Space);
    QVERIFY(dialogs.texts().isEmpty());
    QCOMPARE(form.winnerLists().current().size(), 5);
    QVERIFY(child<QWidget>(form, "Panel2")->isVisible());
    verifyAllOnDisk(env, form);
    MediaPlayer::installFactory(nullptr);
}

void TestFaults::fullDiskByFileSizeLimit() {
    TestEnv env;
    setUpEvent(env);
    TForm1 form;
    form.show();
    for (int i = 0; i < 4; ++i)
        draw(form);
    verifyAllOnDisk(env, form);
    const QByteArray dbBefore = env.readFile(kDb);
    const QByteArray winnersBefore = env.readFile(kWinners);

    // Files may not grow past what the winners file holds now: the next save runs out of room in the
    // middle of writing it, as on a full disk.
    rlimit old{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(winnersBefore.size() + 10);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
    draw(form);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(env.dialogs.texts(), QStringList{DrawSession::kNotSaved +
                                              QStringLiteral("Cannot create file \"%1\". %2")
                                                  .arg(env.path(kWinners), SystemReason::ofErrno(EFBIG))});
    QCOMPARE(env.readFile(kDb), dbBefore);
    QCOMPARE(env.readFile(kWinners), winnersBefore);
    QCOMPARE(QDir(env.dir.path()).entryList(QDir::Files).size(), 4);
    QCOMPARE(form.model().slots[0].drawn, 20);
    env.dialogs.clear();
    draw(form);
    QVERIFY(env.dialogs.texts().isEmpty());
    verifyAllOnDisk(env, form);
}

void TestFaults::fullDiskOnSmallFileSystem() {
    TestEnv env;
    const QByteArray folder = QFile::encodeName(env.dir.path());
    if (::mount("tmpfs", folder.constData(), "tmpfs", 0, "size=64k") != 0)
        QSKIP("no tmpfs can be mounted here (needs root); the file-size limit test covers a full disk");
    struct Unmount {
        QByteArray folder;
        ~Unmount() { ::umount(folder.constData()); }
    } unmount{folder};
    setUpEvent(env);
    {
        TForm1 form;
        form.show();
        draw(form);
        verifyAllOnDisk(env, form);
        const QByteArray dbBefore = env.readFile(kDb);
        const QByteArray winnersBefore = env.readFile(kWinners);
        // Fill the file system to the last byte.
        QFile filler(env.path(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
        }
        filler.close();
        // Not even the folder's trial file fits: no draw starts, and the reason is said.
        draw(form);
        QCOMPARE(env.dialogs.texts().size(), 2);
        QVERIFY(env.dialogs.texts().first().startsWith(QStringLiteral("活动文件夹不能写入")));
        QVERIFY(env.dialogs.texts().first().contains(SystemReason::ofErrno(ENOSPC)));
        QCOMPARE(form.model().slots[0].drawn, 5);
        QCOMPARE(env.readFile(kDb), dbBefore);
        QCOMPARE(env.readFile(kWinners), winnersBefore);
        QVERIFY(filler.remove());
        env.dialogs.clear();
        draw(form);
        QVERIFY(env.dialogs.texts().isEmpty());
        verifyAllOnDisk(env, form);
    }
}

void TestFaults::missingEntrantListAndUnreadableWinners() {
    TestEnv env;
    setUpEvent(env);
    const QByteArray entrants = env.readFile(kEntrants);
    QVERIFY(QFile::remove(env.path(kEntrants)));
    TForm1 form;
    form.show();
    const QString missing =
        QStringLiteral("Cannot open file \"%1\". %2").arg(env.path(kEntrants), SystemReason::ofErrno(ENOENT));
    QCOMPARE(env.dialogs.texts(), QStringList{missing});
    // Start-up went on: the prize is offered, and the draw asks for the list instead of drawing.
    QCOMPARE(child<QComboBox>(form, "ComboBox1")->currentText(), QStringLiteral("一等奖"));
    env.dialogs.clear();
    draw(form);
    QCOMPARE(env.dialogs.texts(),
             (QStringList{QStringLiteral("请导入抽奖名单资料!"), QStringLiteral("请导入抽奖名单资料!")}));
    QVERIFY(!env.exists(kWinners));

    // With the list back, initialise progress loads it and the event starts.
    env.writeFile(kEntrants, entrants);
    env.dialogs.clear();
    child<QAction>(form, "N18")->trigger();
    QCOMPARE(env.dialogs.texts().last(), QStringLiteral("抽奖信息初始化成功!"));
    draw(form);
    draw(form);
    verifyAllOnDisk(env, form);

    // A winners file that cannot be read (here: a folder in its place) stops the restore before it
    // changes anything, the drawn counts included.
    const QStringList lists = form.winnerLists().all();
    QVERIFY(QFile::rename(env.path(kWinners), env.path(QStringLiteral("kept.txt"))));
    QVERIFY(QDir(env.dir.path()).mkdir(kWinners));
    form.model().slots[0].drawn = 7;
    env.dialogs.clear();
    child<QAction>(form, "N20")->trigger();
    QCOMPARE(env.dialogs.texts().size(), 2);
    QVERIFY(env.dialogs.texts().last().startsWith(
        QStringLiteral("Cannot open file \"%1\".").arg(env.path(kWinners))));
    QCOMPARE(form.model().slots[0].drawn, 7);
    QCOMPARE(form.winnerLists().all(), lists);
    // And a save meanwhile reports it cannot replace a folder, leaving prize.db as it was.
    const QByteArray db = env.readFile(kDb);
    env.dialogs.clear();
    draw(form);
    QCOMPARE(env.dialogs.texts().size(), 1);
    QVERIFY(env.dialogs.texts().first().startsWith(
        DrawSession::kNotSaved + QStringLiteral("Cannot create file \"%1\".").arg(env.path(kWinners))));
    QCOMPARE(env.readFile(kDb), db);
    QCOMPARE(form.model().slots[0].drawn, 7);
}

void TestFaults::historyThatCannotBeWrittenIsReportedOnce() {
    TestEnv env;
    setUpEvent(env);
    env.writeGbk(kHistory, QStringLiteral("上一场的记录\r\n"));
    {
        // The record is appended to the file (a nearly full disk takes an append long after it
        // refuses a rewrite): the file stays the same file.
        TForm1 form;
        form.show();
        draw(form);
        struct stat before {};
        QCOMPARE(::stat(QFile::encodeName(env.path(kHistory)).constData(), &before), 0);
        QVERIFY(form.close());
        struct stat after {};
        QCOMPARE(::stat(QFile::encodeName(env.path(kHistory)).constData(), &after), 0);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(env.readFile(kHistory), gbk(QStringLiteral("上一场的记录\r\n") +
                                             TextFiles::kHistorySeparator + QStringLiteral("\r\n")) +
                                             TextFiles::joinCrLf(form.winnerLists().all()) + "\r\n");
    }
    // A history that cannot be written is reported once, and the program still closes: the results
    // are in their own files already.
    const QByteArray history = env.readFile(kHistory);
    TForm1 form;
    form.show();
    draw(form);
    setMode(env.path(kHistory), kReadOnly);
    env.dialogs.clear();
    QSignalSpy closed(&form, &TForm1::closed);
    QVERIFY(form.close());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(env.dialogs.texts(), QStringList{QStringLiteral("Cannot create file \"%1\". %2")
                                                  .arg(env.path(kHistory), SystemReason::ofErrno(EACCES))});
    QCOMPARE(env.readFile(kHistory), history);
    QVERIFY(ConfigStore(env.path(kDb)).contains(QStringLiteral("Setting"), QStringLiteral("automatic")));
    setMode(env.path(kHistory), kWritable);
}

void TestFaults::leftoversOfACutSaveAreRemovedAtStart() {
    TestEnv env;
    setUpEvent(env);
    // What a kill between naming and renaming a staged file leaves, and look-alikes that are not ours.
    env.writeFile(kDb + QStringLiteral(".3fa9c1.tmp"), "[State]\r\nhave0=5\r\n");
    env.writeFile(kWinners + QStringLiteral(".0b.tmp"), "half");
    env.writeFile(kDb + QStringLiteral(".notes.tmp"), "mine");
    env.writeFile(QStringLiteral("other.txt.3fa9c1.tmp"), "mine");
    TForm1 form;
    QVERIFY(!env.exists(kDb + QStringLiteral(".3fa9c1.tmp")));
    QVERIFY(!env.exists(kWinners + QStringLiteral(".0b.tmp")));
    QVERIFY(env.exists(kDb + QStringLiteral(".notes.tmp")));
    QVERIFY(env.exists(QStringLiteral("other.txt.3fa9c1.tmp")));
    QCOMPARE(form.model().pool.count(), 200);
}

void TestFaults::readOnlyPrizeDbStillCloses() {
    TestEnv env;
    setUpEvent(env);
    TForm1 form;
    form.show();
    draw(form);
    setMode(env.path(kDb), kReadOnly);
    QSignalSpy closed(&form, &TForm1::closed);
    env.dialogs.clear();
    QVERIFY(form.close());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(env.dialogs.boxes.size(), 1);
    QVERIFY(env.dialogs.texts().first().contains(env.path(kDb)));
    const QByteArray record = TextFiles::joinCrLf(form.winnerLists().all());
    QCOMPARE(env.readFile(kHistory), record);
    // Another close (the system's, at the end) adds no second record.
    form.show();
    QVERIFY(form.close());
    QCOMPARE(env.readFile(kHistory), record);
    setMode(env.path(kDb), kWritable);
}

void TestFaults::correctionThatCannotBeSavedKeepsTheList() {
    TestEnv env;
    setUpEvent(env);
    TForm1 form;
    form.show();
    draw(form);
    const QByteArray before = env.readFile(AppPaths::kAllWinners);
    setMode(env.path(AppPaths::kAllWinners), kReadOnly);
    env.dialogs.clear();
    child<QAction>(form, "N13")->trigger();
    QCOMPARE(env.dialogs.boxes.size(), 2); // the question, then the error
    QVERIFY(env.dialogs.texts().last().contains(env.path(AppPaths::kAllWinners)));
    QCOMPARE(form.winnerLists().all().filter(WinnerLists::kCancelSuffix).size(), 1);
    QCOMPARE(env.readFile(AppPaths::kAllWinners), before);
    // Writable again: the next change writes the whole list, the earlier mark included.
    setMode(env.path(AppPaths::kAllWinners), kWritable);
    child<QAction>(form, "N21")->trigger();
    QCOMPARE(env.restorableAllWinners(), form.winnerLists().all());
    // A main draw does not rewrite allwinners.txt: with the file read-only the draw is still saved,
    // and restore puts the new block after the corrections.
    setMode(env.path(AppPaths::kAllWinners), kReadOnly);
    env.dialogs.clear();
    draw(form);
    QVERIFY(env.dialogs.texts().isEmpty());
    verifyAllOnDisk(env, form);
    // A supplementary draw, saved in allwinners.txt alone, is taken back when that file refuses it.
    const QStringList all = form.winnerLists().all();
    const QList<DrawSession::Result> results = form.session().results();
    env.dialogs.clear();
    QVERIFY(form.session().openSupplementary().isEmpty());
    form.session().toggleSupplementary();
    form.session().toggleSupplementary();
    QCOMPARE(env.dialogs.texts().size(), 1);
    QVERIFY(env.dialogs.texts().first().startsWith(DrawSession::kNotSaved +
                                                   QStringLiteral("Cannot create file")));
    QCOMPARE(form.winnerLists().all(), all);
    QCOMPARE(form.session().results(), results);
    QVERIFY(form.session().closeSupplementary().isEmpty());
    setMode(env.path(AppPaths::kAllWinners), kWritable);
}

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
