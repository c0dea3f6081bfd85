// The event as one archive: pictures kept in the event folder, the backup, and the restore that takes
// only a whole archive of this program's, and the results it replaced offered back by restore progress.
#include "codepage.h"
#include "configstore.h"
#include "drive.h"
#include "eventbackup.h"
#include "eventpictures.h"
#include "hostilesheets.h"
#include "mediaplayer.h"
#include "operationerror.h"
#include "savedstates.h"
#include "setting.h"
#include "testenv.h"
#include "unit1.h"
#include "winnerlists.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {
QString stored(const QString& section, const QString& key) {
    return ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).readString(section, key, QString());
}

// Every file of the event folder (sub-folders included) with its bytes.
QMap<QString, QByteArray> snapshot() {
    QMap<QString, QByteArray> files;
    const QDir root(AppPaths::folder());
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        files.insert(root.relativeFilePath(path), file.readAll());
    }
    return files;
}
// The events restored here carry music: the draw screens that find it play it silently.
struct SilentPlayer : MediaPlayer {
    bool open(const QString&) override { return true; }
    bool isOpen() const override { return true; }
    void play() override {}
    void stop() override {}
    void setPosition(qint64) override {}
    qint64 length() const override { return 60000; }
    qint64 position() const override { return 0; }
};
} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        MediaPlayer::installFactory([] { return std::make_unique<SilentPlayer>(); });
    }
    void cleanupTestCase() { MediaPlayer::installFactory(nullptr); }
    void picturesStayWithTheEvent();
    void eventTravels();
    void refusesForeignOrDamagedArchives();
    void takesOnlyTheEvent();
    void replacedResultsAreOffered();
};

void TestBackup::picturesStayWithTheEvent() {
    TestEnv env;
    QTemporaryDir elsewhere;
    const QString photo = elsewhere.filePath(QStringLiteral("一等奖.jpg"));
    {
        QFile file(photo);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("photo one");
    }
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    // A chosen picture is copied into 图片 and kept relative to the event folder.
    env.dialogs.files.enqueue(photo);
    QTest::mouseClick(child<QToolButton>(dialog, "sb1"), Qt::LeftButton);
    QCOMPARE(stored("Showpicture", "Picture1"), QStringLiteral("图片/一等奖.jpg"));
    QCOMPARE(env.readFile(QStringLiteral("图片/一等奖.jpg")), QByteArray("photo one"));
    QCOMPARE(EventPictures::resolve(QStringLiteral("图片/一等奖.jpg")),
             env.path(QStringLiteral("图片/一等奖.jpg")));
    // Another file of the same name does not replace it; the same file again is not copied twice.
    {
        QFile file(photo);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("photo two");
    }
    QCOMPARE(EventPictures::adopt(photo), QStringLiteral("图片/一等奖-2.jpg"));
    QCOMPARE(EventPictures::adopt(photo), QStringLiteral("图片/一等奖-2.jpg"));
    QCOMPARE(EventPictures::adopt(env.path(QStringLiteral("图片/一等奖.jpg"))),
             QStringLiteral("图片/一等奖.jpg"));
    QCOMPARE(env.readFile(QStringLiteral("图片/一等奖.jpg")), QByteArray("photo one"));
    // A path from another machine that no longer exists is found in 图片 by its name.
    QCOMPARE(EventPictures::resolve(QStringLiteral("C:\\\\活动\\\\图片\\\\一等奖.jpg")),
             env.path(QStringLiteral("图片/一等奖.jpg")));
    QCOMPARE(EventPictures::resolve(QStringLiteral("/home/other/一等奖-2.jpg")),
             env.path(QStringLiteral("图片/一等奖-2.jpg")));
    QVERIFY(!QFileInfo::exists(EventPictures::resolve(QStringLiteral("/home/other/没有.jpg"))));
    // A picture that cannot be copied is not stored: the error box, the old value kept.
    env.dialogs.files.enqueue(elsewhere.filePath(QStringLiteral("不存在.jpg")));
    QTest::mouseClick(child<QToolButton>(dialog, "sb1"), Qt::LeftButton);
    QCOMPARE(env.dialogs.boxes.constLast().icon, Dialogs::Icon::Critical);
    QCOMPARE(stored("Showpicture", "Picture1"), QStringLiteral("图片/一等奖.jpg"));
}

void TestBackup::eventTravels() {
    QTemporaryDir outside;
    const QString zip = outside.filePath(QStringLiteral("年会.zip"));
    // The background as an older prize.db stored it, by its path on the laptop it was chosen on.
    const QString background = QStringLiteral("D:\\年会\\背景.png");
    QMap<QString, QByteArray> prepared;
    int written = 0;
    QStringList shown;
    {
        TestEnv env;
        QStringList entrants;
        for (int i = 1; i <= 30; ++i)
            entrants << QStringLiteral("员工%1").arg(i);
        env.writeGbk(QStringLiteral("抽奖名单.txt"),
                     entrants.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
        env.writeGbk(
            QStringLiteral("prize.db"),
            QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=3\r\nEvery1=3\r\n[Setting]\r\nTitle1=年会\r\n"
                           "Picture=%1\r\n")
                .arg(background));
        env.writeGbk(QStringLiteral("签到名单.txt"), QStringLiteral("2025-01-18 20:00:00\t员工1\r\n"));
        env.writeFile(QStringLiteral("lottery.exe"), "not the event's");
        env.writeFile(QStringLiteral("lottery.chm"), "the program's help, not the event's");
        QDir(env.dir.path()).mkdir(QStringLiteral("图片"));
        env.writeFile(QStringLiteral("图片/奖品.jpg"), "prize picture");
        env.writeFile(QStringLiteral("图片/背景.png"), "background");
        ConfigStore(env.path("prize.db"))
            .writeString("Showpicture", "Picture1", QStringLiteral("图片/奖品.jpg"));
        TForm1 form;
        form.show();
        draw(form);
        shown = form.winnerLists().all();
        QCOMPARE(shown.size(), 4);
        // The music only travels here: a draw screen that found it would play it through the system's
        // sound server.
        env.writeFile(QStringLiteral("bgmusic.mp3"), "music");

        // The settings' 活动备份 offers a dated name after the event's title in the event folder.
        Tfsetting dialog(form);
        dialog.show();
        child<QPushButton>(dialog, "btn_backup")->click();
        QCOMPARE(env.dialogs.boxes.constLast().suggested, env.path("年会-活动备份-20250118-2031.zip"));
        written = EventBackup::write(zip).files;
        // That background is the one in 图片, stored as such first, so the archive holds it.
        QCOMPARE(stored("Setting", "Picture"), QStringLiteral("图片/背景.png"));
        prepared = snapshot();
        prepared.remove(QStringLiteral("lottery.exe"));
        prepared.remove(QStringLiteral("lottery.chm"));
        QCOMPARE(written, prepared.size());
        QVERIFY(prepared.contains(QStringLiteral("图片/背景.png")) &&
                prepared.contains(QStringLiteral("签到名单.txt")) &&
                prepared.contains(QStringLiteral("bgmusic.mp3")) &&
                prepared.contains(QStringLiteral("allwinners.txt")));
    }

    // Another folder on another machine, holding an event of its own.
    TestEnv standby;
    standby.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=旧奖项\r\n"));
    standby.writeGbk(QStringLiteral("中奖名单.txt"), QStringLiteral("旧结果\r\n"));
    const QMap<QString, QByteArray> before = snapshot();
    const EventBackup::Restored restored = EventBackup::restore(zip);
    QCOMPARE(restored.files, prepared.size());
    QMap<QString, QByteArray> now = snapshot();
    // What it replaced is kept whole in the dated folder.
    const QString copies = QDir(standby.dir.path()).relativeFilePath(restored.copyFolder);
    QCOMPARE(copies, QStringLiteral("恢复前备份-20250118-203105"));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(now.take(copies + u'/' + it.key()), it.value());
    QCOMPARE(now, prepared);

    // The same stage, pictures included, and the results back with restore progress.
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    QCOMPARE(child<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("一等奖"));
    QCOMPARE(child<QLineEdit>(dialog, "edt_title1")->text(), QStringLiteral("年会"));
    QCOMPARE(QFile(EventPictures::resolve(stored("Showpicture", "Picture1"))).size(), 13);
    QVERIFY(QFileInfo::exists(EventPictures::resolve(stored("Setting", "Picture"))));
    form.results().restoreProgress();
    QCOMPARE(form.winnerLists().all(), shown);
    QCOMPARE(form.model().pool.count(), 30);
}

void TestBackup::refusesForeignOrDamagedArchives() {
    TestEnv env;
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=一等奖\r\n"));
    env.writeGbk(QStringLiteral("抽奖名单.txt"), QStringLiteral("甲\r\n"));
    QTemporaryDir outside;
    const QString good = outside.filePath(QStringLiteral("good.zip"));
    QCOMPARE(EventBackup::write(good).files, 2);
    const QMap<QString, QByteArray> before = snapshot();
    const auto part = [](const QString& name, const QByteArray& data = "x", qint64 times = 1) {
        return HostileSheets::Part{name, {}, data, times, {}};
    };
    const HostileSheets::Part db = part(QStringLiteral("prize.db"));
    struct Case {
        const char* what;
        QList<HostileSheets::Part> parts;
        EventBackup::Limits limits = {};
    };
    EventBackup::Limits fewEntries;
    fewEntries.entries = 2;
    const QList<Case> cases{
        {"climbs out", {db, part(QStringLiteral("../prize.db"))}},
        {"climbs out of 图片", {db, part(QStringLiteral("图片/../../x.txt"))}},
        {"absolute", {db, part(QStringLiteral("/tmp/prize.db"))}},
        {"drive letter", {db, part(QStringLiteral("C:/prize.db"))}},
        {"backslashes", {db, part(QStringLiteral("图片\\..\\..\\x.jpg"))}},
        {"foreign file", {db, part(QStringLiteral("lottery.exe"))}},
        {"no prize.db", {part(QStringLiteral("抽奖名单.txt"))}},
        {"twice", {db, part(QStringLiteral("PRIZE.DB"))}},
        {"bomb", {db, part(QStringLiteral("bgmusic.mp3"), QByteArray(1 << 20, '\0'), 200)}},
        {"too many",
         {db, part(QStringLiteral("history.txt")), part(QStringLiteral("progress.txt"))},
         fewEntries},
    };
    for (const Case& c : cases) {
        const QString path = outside.filePath(QStringLiteral("bad.zip"));
        QVERIFY(HostileSheets::writePackage(path, c.parts));
        QVERIFY_THROWS_EXCEPTION(OperationError, EventBackup::restore(path, c.limits));
        QVERIFY2(snapshot() == before, c.what);
    }
    // Damaged bytes, a file that is no zip at all, a missing file.
    QFile file(good);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    for (qsizetype i = 40; i < 60; ++i)
        bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
    file.seek(0);
    file.write(bytes);
    file.close();
    for (const QString& path :
         {good, env.path("抽奖名单.txt"), outside.filePath(QStringLiteral("none.zip"))}) {
        try {
            EventBackup::restore(path);
            QFAIL("restored");
        } catch (const OperationError& error) {
            QVERIFY(error.message().contains(path));
        }
        QVERIFY(snapshot() == before);
    }
}

// An archive may carry what the system would open (the help file, a link in 图片) and a prize.db whose
// pictures lie elsewhere on the machine: the restore takes the event and its pictures only, and the
// next backup copies no file from elsewhere.
void TestBackup::takesOnlyTheEvent() {
    TestEnv env;
    env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=旧奖项\r\n"));
    env.writeFile(QStringLiteral("lottery.chm"), "the program's help");
    const QStringList outsidePaths{QStringLiteral("../../秘密.jpg"), QStringLiteral("/etc/passwd"),
                                   QStringLiteral("C:\\Users\\甲\\合同.jpg"),
                                   QStringLiteral("图片\\..\\..\\x.png")};
    QString db = QStringLiteral("[JP]\r\nName1=一等奖\r\n[Showpicture]\r\nPicture1=图片/奖品.jpg\r\n");
    for (qsizetype i = 0; i < outsidePaths.size(); ++i)
        db += QStringLiteral("Picture%1=%2\r\n").arg(i + 2).arg(outsidePaths[i]);
    const auto part = [](const QString& name, const QByteArray& data) {
        return HostileSheets::Part{name, {}, data, 1, {}};
    };
    QTemporaryDir outside;
    const QString zip = outside.filePath(QStringLiteral("年会.zip"));
    QVERIFY(HostileSheets::writePackage(
        zip, {part(QStringLiteral("prize.db"), CodePage::toGb18030(db)),
              part(QStringLiteral("抽奖名单.txt"), CodePage::toGb18030(QStringLiteral("甲\r\n乙\r\n"))),
              part(QStringLiteral("图片/奖品.jpg"), "prize"), part(QStringLiteral("lottery.chm"), "ITSF"),
              part(QStringLiteral("图片/打开.lnk"), "link")}));
    TForm1 form;
    Tfsetting dialog(form);
    dialog.show();
    env.dialogs.files.enqueue(zip);
    child<QPushButton>(dialog, "btn_restore")->click();
    const QString report = env.dialogs.texts().constLast();
    for (const QString& name :
         outsidePaths + QStringList{QStringLiteral("lottery.chm"), QStringLiteral("图片/打开.lnk")})
        QVERIFY2(report.contains(name), qPrintable(report));
    QCOMPARE(env.readFile(QStringLiteral("lottery.chm")), QByteArray("the program's help"));
    QVERIFY(!QFileInfo::exists(env.path(QStringLiteral("图片/打开.lnk"))));
    QCOMPARE(stored("Showpicture", "Picture1"), QStringLiteral("图片/奖品.jpg"));
    for (qsizetype i = 0; i < outsidePaths.size(); ++i)
        QCOMPARE(stored("Showpicture", QStringLiteral("Picture%1").arg(i + 2)), QString());
    QCOMPARE(child<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("一等奖"));
    QCOMPARE(form.model().pool.count(), 2);

    // A picture prize.db names elsewhere is not copied in, nor into the next backup; the box says so.
    const QString secret = outside.filePath(QStringLiteral("秘密.jpg"));
    QFile(secret).open(QIODevice::WriteOnly);
    ConfigStore(env.path("prize.db")).writeString("Showpicture", "Picture2", secret);
    env.dialogs.saveFiles.enqueue(outside.filePath(QStringLiteral("再次.zip")));
    child<QPushButton>(dialog, "btn_backup")->click();
    QVERIFY2(env.dialogs.texts().constLast().contains(secret), qPrintable(env.dialogs.texts().constLast()));
    QCOMPARE(QDir(env.path(QStringLiteral("图片"))).entryList(QDir::Files),
             QStringList{QStringLiteral("奖品.jpg")});
}

void TestBackup::replacedResultsAreOffered() {
    TestEnv env;
    QStringList entrants;
    for (int i = 1; i <= 30; ++i)
        entrants << QStringLiteral("员工%1").arg(i);
    env.writeGbk(QStringLiteral("抽奖名单.txt"),
                 entrants.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    env.writeGbk(QStringLiteral("prize.db"),
                 QStringLiteral("[JP]\r\nName1=一等奖\r\nNum1=9\r\nEvery1=3\r\n"));
    TForm1 form;
    form.show();
    draw(form);
    QTemporaryDir outside;
    const QString zip = outside.filePath(QStringLiteral("年会.zip"));
    EventBackup::write(zip);
    draw(form);
    const QStringList replaced = form.winnerLists().all();
    Tfsetting dialog(form);
    dialog.show();
    env.dialogs.files.enqueue(zip);
    child<QPushButton>(dialog, "btn_restore")->click();
    dialog.hide();

    // 读出抽奖进度 offers what the restore replaced, beside the restored results; chosen, it comes back
    // with its drawn counts.
    env.dialogs.itemChoices.enqueue(1);
    child<QAction>(form, "N20")->trigger();
    const QString offered = env.dialogs.boxes.at(env.dialogs.boxes.size() - 2).text;
    QVERIFY2(offered.contains(QStringLiteral("从备份恢复前的结果（2025-01-18 20:31:05）：一等奖 6人")),
             qPrintable(offered));
    QCOMPARE(env.dialogs.texts().constLast(), QStringLiteral("抽奖信息读取成功!"));
    QCOMPARE(form.winnerLists().all(), replaced);
    QCOMPARE(form.model().slots[0].drawn, 6);
    // The restored results it replaced are kept as a dated pair in their turn.
    QCOMPARE(SavedStates::list(form.results().slotNames()).size(), 3);
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
