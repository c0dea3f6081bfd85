#include "colortext.h"
#include "configstore.h"
#include "operationerror.h"
#include "testenv.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTest>

namespace {
const QString kDb = QStringLiteral("prize.db");

// The message of the OperationError the call throws, or an empty text when it throws none.
template <typename F> QString errorOf(F&& call) {
    try {
        call();
    } catch (const OperationError& error) {
        return error.message();
    }
    return {};
}
} // namespace

class TestConfigStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void missingFileReadsDefaultsAndFirstWriteCreatesIt() {
        TestEnv env;
        {
            const ConfigStore store(env.path(kDb));
            QCOMPARE(store.readString("Setting", "Title1", "某某公司现场抽奖仪式"),
                     QString("某某公司现场抽奖仪式"));
            QCOMPARE(store.readInteger("JP", "Num1", 0), 0);
            QCOMPARE(store.readBool("Setting", "FullScreen", true), true);
            QCOMPARE(store.readDate("Setting", "Date", QDate(2025, 1, 18)), QDate(2025, 1, 18));
            QVERIFY(!store.contains("Setting", "Pwd"));
        }
        QVERIFY(!env.exists(kDb));

        ConfigStore store(env.path(kDb));
        store.writeString("Setting", "Title1", "年会抽奖");
        // On disk at once, GBK, CR LF.
        QCOMPARE(env.readFile(kDb), gbk("[Setting]\r\nTitle1=年会抽奖\r\n"));
        store.writeInteger("Setting", "Stoptime", -3);
        store.writeBool("Setting", "Repeated", true);
        store.writeBool("Setting", "showhelp", false);
        store.writeInteger("JP", "Num1", 400);
        QCOMPARE(env.readFile(kDb),
                 gbk("[Setting]\r\nTitle1=年会抽奖\r\nStoptime=-3\r\nRepeated=1\r\nshowhelp=0\r\n"
                     "[JP]\r\nNum1=400\r\n"));
        // The same object and a fresh open both see every write.
        QCOMPARE(store.readInteger("JP", "Num1", 0), 400);
        const ConfigStore again(env.path(kDb));
        QCOMPARE(again.readString("Setting", "Title1", "x"), QString("年会抽奖"));
        QCOMPARE(again.readInteger("Setting", "Stoptime", 0), -3);
        QCOMPARE(again.readBool("Setting", "Repeated", false), true);
        QCOMPARE(again.readBool("Setting", "showhelp", true), false);
    }

    void writesKeepEveryOtherByte() {
        TestEnv env;
        // Mixed line breaks, a comment, blanks around names, a blank line ending the section and no
        // line break after the last line.
        const QByteArray before = gbk("; 抽奖设置\r\n"
                                      "[ jp ]\n"
                                      "  NAME1 = 一等奖 \r\n"
                                      "num1 =5\n"
                                      "\r\n"
                                      "[Setting]\r\n"
                                      "Title1=旧标题");
        env.writeFile(kDb, before);
        ConfigStore store(env.path(kDb));
        QCOMPARE(store.readString("JP", "Name1", ""), QString("一等奖"));
        QCOMPARE(store.readInteger("Jp", "NUM1", 0), 5);

        store.writeInteger("JP", "Num1", 12);
        QCOMPARE(env.readFile(kDb), gbk("; 抽奖设置\r\n[ jp ]\n  NAME1 = 一等奖 \r\nnum1 =12\n\r\n"
                                        "[Setting]\r\nTitle1=旧标题"));
        store.writeString("jp", "name1", "特等奖");
        // A missing key goes after the last entry of its section, before the blank line.
        store.writeInteger("JP", "Every1", 2);
        QCOMPARE(env.readFile(kDb), gbk("; 抽奖设置\r\n[ jp ]\n  NAME1 =特等奖\r\nnum1 =12\nEvery1=2\r\n\r\n"
                                        "[Setting]\r\nTitle1=旧标题"));
        // Adding to the last section gives the unterminated last line its line break.
        store.writeString("Setting", "Title2", "");
        QCOMPARE(env.readFile(kDb), gbk("; 抽奖设置\r\n[ jp ]\n  NAME1 =特等奖\r\nnum1 =12\nEvery1=2\r\n\r\n"
                                        "[Setting]\r\nTitle1=旧标题\r\nTitle2=\r\n"));
        // An empty section gets its first key right after its header.
        env.writeFile(kDb, "[State]\n[Show]\nShow1=1");
        ConfigStore other(env.path(kDb));
        other.writeInteger("State", "have0", 3);
        other.writeBool("Show", "Show2", true);
        QCOMPARE(env.readFile(kDb), QByteArray("[State]\nhave0=3\r\n[Show]\nShow1=1\r\nShow2=1\r\n"));
        // A value with line breaks stays on its one line.
        other.writeString("Setting", "Title2", "第一行\r\n第二行\n第三行\r");
        QVERIFY(env.readFile(kDb).endsWith(gbk("[Setting]\r\nTitle2=第一行 第二行 第三行 \r\n")));
        QCOMPARE(ConfigStore(env.path(kDb)).readString("Setting", "Title2", "x"),
                 QString("第一行 第二行 第三行"));
    }

    void valuesAsRead() {
        TestEnv env;
        env.writeFile(
            kDb, gbk("[Setting]\r\n"
                     "Title1=\r\n"
                     "Title2 = \t \"  带引号  \" \t\r\n"
                     "Pwd='abc'\r\n"
                     "Picture=\"c:\\a.jpg'\r\n"
                     "Time=\"\"\r\n"
                     "Sped0=\"\r\n"
                     "Repeated=2\r\n"
                     "automatic=-1\r\n"
                     "showhelp=yes\r\n"
                     "FullScreen=0\r\n"
                     "[JP]\r\n"
                     "Num1=\r\nNum2=abc\r\nNum3=0x0A\r\nNum4= 7 \r\nNum5=$1F\r\nNum6=0X1f\r\nNum7=\"8\"\r\n"
                     "Num8=007\r\n"
                     "Every1=$FFFFFFFF\r\nEvery2=2147483648\r\nEvery3=-2147483648\r\nEvery4=1.5\r\n"
                     "Every5=$100000000\r\nEvery6=0x\r\nEvery7=+9\r\nEvery8=1 2\r\n"
                     "a line without an equals sign\r\n"
                     "=orphan value\r\n"));
        const ConfigStore store(env.path(kDb));
        // Present and empty is the empty text; absent is the default.
        QCOMPARE(store.readString("Setting", "Title1", "某某公司现场抽奖仪式"), QString(""));
        QVERIFY(store.contains("Setting", "Title1"));
        QCOMPARE(store.readString("Setting", "Title9", "默认"), QString("默认"));
        // Blanks, then one pair of matching quotes.
        QCOMPARE(store.readString("Setting", "Title2", ""), QString("  带引号  "));
        QCOMPARE(store.readString("Setting", "Pwd", ""), QString("abc"));
        QCOMPARE(store.readString("Setting", "Picture", ""), QString("\"c:\\a.jpg'"));
        QCOMPARE(store.readString("Setting", "Time", "x"), QString(""));
        QCOMPARE(store.readString("Setting", "Sped0", ""), QString("\""));

        QCOMPARE(store.readBool("Setting", "Repeated", false), true);
        QCOMPARE(store.readBool("Setting", "automatic", false), true);
        QCOMPARE(store.readBool("Setting", "showhelp", false), false);
        QCOMPARE(store.readBool("Setting", "FullScreen", true), false);

        const int expected[] = {-5, -5, 10, 7, 31, 31, 8, 7};
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(store.readInteger("JP", QStringLiteral("Num%1").arg(n), -5), expected[n - 1]);
        const int every[] = {-1, -5, int(-2147483648ll), -5, -5, -5, 9, -5};
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(store.readInteger("JP", QStringLiteral("Every%1").arg(n), -5), every[n - 1]);
        QVERIFY(!store.contains("JP", "a line without an equals sign"));
    }

    void valuesAreCutAt2047Bytes() {
        TestEnv env;
        const QByteArray ascii(10000, 'x');
        const QString chinese = QString("中").repeated(1500); // 3000 bytes
        env.writeFile(kDb, "[Setting]\r\nPwd=" + ascii + "\r\nTitle1=a" + gbk(chinese) + "\r\nTitle2=ab" +
                               gbk(chinese) + "\r\nPicture=" + QByteArray(2047, 'y') + "\r\n");
        ConfigStore store(env.path(kDb));
        QCOMPARE(store.readString("Setting", "Pwd", ""), QString(2047, 'x'));
        // 1 + 1023 * 2 bytes fit exactly; with one more lead byte the half character is dropped.
        QCOMPARE(store.readString("Setting", "Title1", ""), "a" + QString("中").repeated(1023));
        QCOMPARE(store.readString("Setting", "Title2", ""), "ab" + QString("中").repeated(1022));
        QCOMPARE(store.readString("Setting", "Picture", ""), QString(2047, 'y'));
        // The cut is on reading only: a long value is written whole.
        store.writeString("Setting", "Pwd", QString(3000, 'z'));
        QVERIFY(env.readFile(kDb).contains("Pwd=" + QByteArray(3000, 'z') + "\r\n"));
    }

    void duplicatesAndGarbage() {
        TestEnv env;
        env.writeFile(kDb, "[JP]\r\nNum1=1\r\nnum1=2\r\n[jp]\r\nNum1=3\r\nNum2=4\r\n[JP]\r\nNum3=5\r\n");
        ConfigStore store(env.path(kDb));
        QCOMPARE(store.readInteger("JP", "Num1", 0), 1);
        QVERIFY(!store.contains("JP", "Num2"));
        QVERIFY(!store.contains("JP", "Num3"));
        store.writeInteger("JP", "Num1", 7);
        store.writeInteger("JP", "Num2", 8);
        QCOMPARE(env.readFile(kDb),
                 QByteArray(
                     "[JP]\r\nNum1=7\r\nnum1=2\r\nNum2=8\r\n[jp]\r\nNum1=3\r\nNum2=4\r\n[JP]\r\nNum3=5\r\n"));

        // Random bytes, NULs and lone CRs included: nothing is read, nothing is lost.
        QByteArray garbage(8192, '\0');
        QRandomGenerator random(7);
        for (char& c : garbage)
            c = char(random.bounded(256));
        garbage += "\xFF\x81";
        env.writeFile(kDb, garbage);
        ConfigStore junk(env.path(kDb));
        QCOMPARE(junk.readInteger("JP", "Num1", 42), 42);
        QCOMPARE(junk.readString("Setting", "Title1", "d"), QString("d"));
        junk.writeInteger("JP", "Num1", 6);
        QCOMPARE(env.readFile(kDb), garbage + "\r\n[JP]\r\nNum1=6\r\n");
        QCOMPARE(ConfigStore(env.path(kDb)).readInteger("JP", "Num1", 0), 6);
    }

    void unwritableFile() {
        TestEnv env;
        const QByteArray before = "[Setting]\r\nPwd=old\r\n";
        env.writeFile(kDb, before);
        QVERIFY(QFile::setPermissions(env.path(kDb), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        ConfigStore store(env.path(kDb));
        const QString expected = "Unable to write to " + env.path(kDb);
        QCOMPARE(errorOf([&] { store.writeString("Setting", "Pwd", "new"); }), expected);
        QCOMPARE(errorOf([&] { store.writeBool("Setting", "Repeated", true); }), expected);
        QCOMPARE(env.readFile(kDb), before);
        // What failed to reach the disk is not read back either.
        QCOMPARE(store.readString("Setting", "Pwd", ""), QString("old"));
        QVERIFY(!store.contains("Setting", "Repeated"));
        QFile::setPermissions(env.path(kDb), QFile::ReadOwner | QFile::WriteOwner);
    }

    void dates() {
        TestEnv env;
        const QString localeShort = QLocale::system().toString(QDate(2024, 12, 3), QLocale::ShortFormat);
        env.writeFile(kDb, gbk("[Setting]\r\nDate=2025-1-18\r\nD2=2025/01/18\r\nD4= 2025/1/8 \r\n"
                               "D5=明天\r\nD6=2025-13-01\r\nD7=\r\nD8=") +
                               localeShort.toUtf8() + "\r\n");
        const ConfigStore store(env.path(kDb));
        const QDate fallback(2000, 1, 1);
        QCOMPARE(store.readDate("Setting", "Date", fallback), QDate(2025, 1, 18));
        QCOMPARE(store.readDate("Setting", "D2", fallback), QDate(2025, 1, 18));
        QCOMPARE(store.readDate("Setting", "D4", fallback), QDate(2025, 1, 8));
        QCOMPARE(store.readDate("Setting", "D5", fallback), fallback);
        QCOMPARE(store.readDate("Setting", "D6", fallback), fallback);
        QCOMPARE(store.readDate("Setting", "D7", fallback), fallback);
        QVERIFY(store.readDate("Setting", "D8", fallback).isValid());
        QVERIFY(store.readDate("Setting", "D8", fallback) != fallback);
    }

    void colourText() {
        using namespace ColorText;
        TestEnv env;
        env.writeFile(kDb, "[Setting]\r\nGrid_color=clred\r\nGrid_font_color=CLRED\r\n"
                           "[PrizeMemo]\r\nmemocolor=$000000FF\r\nfontcolor=255\r\nFontStyle=bad\r\n");
        ConfigStore store(env.path(kDb));
        for (const auto& [section, key] : {std::pair{"Setting", "Grid_color"},
                                           {"Setting", "Grid_font_color"},
                                           {"PrizeMemo", "memocolor"},
                                           {"PrizeMemo", "fontcolor"}})
            QCOMPARE(stringToColor(store.readString(section, key, "")), 0x0000FFu);
        store.writeString("Setting", "Grid_color", colorToString(stringToColor("CLRED")));
        QCOMPARE(env.readFile(kDb).left(32), QByteArray("[Setting]\r\nGrid_color=clRed\r\nGri"));

        QCOMPARE(colorToString(fromQColor(QColor(0x80, 0x40, 0x20))), QString("$00204080"));
        QCOMPARE(colorToString(0xFF00001A), QString("clHotLight"));
        QCOMPARE(colorToString(0xFF000019), QString("$FF000019"));
        QCOMPARE(colorToString(0x1FFFFFFF), QString("clNone"));
        QCOMPARE(colorToString(0xabcdef), QString("$00ABCDEF"));
        QCOMPARE(stringToColor("Clyellow"), 0x00FFFFu);
        QCOMPARE(stringToColor("CL3ddKSHADOW"), 0xFF000015u);
        QCOMPARE(stringToColor("0x10"), 16u);
        QCOMPARE(stringToColor("-1"), 0xFFFFFFFFu);
        QCOMPARE(errorOf([] { stringToColor("red"); }), QString("'red' is not a valid integer value"));
        QCOMPARE(errorOf([] { stringToColor("clRed2"); }), QString("'clRed2' is not a valid integer value"));

        QCOMPARE(toQColor(0x00204080), QColor(0x80, 0x40, 0x20));
        QCOMPARE(fromQColor(toQColor(0xF0CAA6)), 0xF0CAA6u);
        QCOMPARE(toQColor(stringToColor("clWindow")), QGuiApplication::palette().color(QPalette::Base));
        QCOMPARE(toQColor(0x1FFFFFFF).alpha(), 0);
        QCOMPARE(fromQColor(QColor()), 0x1FFFFFFFu);
        QCOMPARE(fromQColor(toQColor(0x20000000)), 0x1FFFFFFFu);
    }

    void fontStyleText() {
        using namespace ColorText;
        QFont font;
        QCOMPARE(fontStyleToString(font), QString("[]"));
        font.setBold(true);
        font.setUnderline(true);
        font.setStrikeOut(true);
        QCOMPARE(fontStyleToString(font), QString("[fsBold,fsUnderline,fsStrikeOut]"));

        QFont read;
        applyFontStyle("[fsBold,fsUnderline,fsStrikeOut]", read);
        QVERIFY(read.bold());
        QVERIFY(!read.italic() && !read.underline() && !read.strikeOut());
        applyFontStyle("[fsItalic]", read);
        QVERIFY(!read.bold() && read.italic());
    }
};

QTEST_MAIN(TestConfigStore)
#include "test_configstore.moc"
