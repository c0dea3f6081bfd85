// Files in a folder whose name the system's 8-bit code page cannot spell (Korean and Thai on a
// Chinese Windows, code page 936): the event backup is written there and restored from there, and the
// results' workbook is exported there and imported from there.
#include "eventbackup.h"
#include "resultsexport.h"
#include "sheettable.h"
#include "testenv.h"

#include <QDir>
#include <QTest>

class TestBackupPath : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void folderOutsideTheCodePage() {
        TestEnv env;
        const QString event = env.dir.filePath(QStringLiteral("활동-กิจกรรม"));
        QVERIFY(QDir().mkpath(event + QStringLiteral("/图片")));
        AppPaths::setFolder(event);
        env.writeGbk(QStringLiteral("prize.db"),
                     QStringLiteral("[JP]\r\nName1=一等奖\r\n[Showpicture]\r\nPicture1=图片/奖品.jpg\r\n"));
        env.writeFile(QStringLiteral("图片/奖品.jpg"), "prize picture");
        const QByteArray db = env.readFile(QStringLiteral("prize.db"));
        const QString zip = event + QStringLiteral("/백업.zip");
        QCOMPARE(EventBackup::write(zip).files, 2);

        env.writeGbk(QStringLiteral("prize.db"), QStringLiteral("[JP]\r\nName1=另一个\r\n"));
        QFile::remove(env.path(QStringLiteral("图片/奖品.jpg")));
        QCOMPARE(EventBackup::restore(zip).files, 2);
        QCOMPARE(env.readFile(QStringLiteral("prize.db")), db);
        QCOMPARE(env.readFile(QStringLiteral("图片/奖品.jpg")), QByteArray("prize picture"));
    }

    void workbookOutsideTheCodePage() {
        TestEnv env;
        const QString folder = env.dir.filePath(QStringLiteral("명단-รายชื่อ"));
        QVERIFY(QDir().mkpath(folder));
        const QString book = folder + QStringLiteral("/결과.xlsx");
        const QList<QStringList> table{{QStringLiteral("姓名"), QStringLiteral("工号")},
                                       {QStringLiteral("김민준"), QStringLiteral("00123")}};
        QVERIFY_THROWS_NO_EXCEPTION(ResultsExport::writeXlsx(book, table));
        QVERIFY_THROWS_NO_EXCEPTION(ResultsExport::writeXlsx(book, table)); // over the file there
        SheetTable back;
        QVERIFY_THROWS_NO_EXCEPTION(back = SheetImport::readFile(book));
        QCOMPARE(back.rows(), table);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("결과.xlsx")});
    }
};

QTEST_MAIN(TestBackupPath)
#include "test_backuppath.moc"
