#include "atomicfile.h"
#include "entrantpool.h"
#include "eventfixture.h"
#include "operationerror.h"
#include "testenv.h"
#include "textcodec.h"
#include "textfiles.h"
#include "winnerlists.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace TextFiles;

namespace {
QStringList poolLines(const EntrantPool& pool) {
    QStringList lines;
    for (int i = 0; i < pool.count(); ++i)
        lines << pool.line(i).toString();
    return lines;
}

// The message of the OperationError that f throws, or "" when it throws none.
template <typename F> QString errorOf(F f) {
    try {
        f();
    } catch (const OperationError& e) {
        return e.message();
    }
    return QString();
}

const QDateTime kStop(QDate(2025, 1, 8), QTime(9, 3, 5));
} // namespace

class TestTextFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void splittingLines() {
        QCOMPARE(splitLines(u"a\r\nb\rc\nd"), QStringList({"a", "b", "c", "d"}));
        QCOMPARE(splitLines(u"a\r\n"), QStringList({"a"}));
        QCOMPARE(splitLines(u"a\n\n"), QStringList({"a", ""}));
        QCOMPARE(splitLines(u"a\r\r\nb\n\rc"), QStringList({"a", "", "b", "", "c"}));
        QCOMPARE(splitLines(u"\r"), QStringList({""}));
        QCOMPARE(splitLines(u""), QStringList());
        QCOMPARE(splitLines(u"  \n\t x \n"), QStringList({"  ", "\t x "}));

        // The pool splits exactly as the files do, whatever mix of breaks the text holds.
        EntrantPool pool;
        QCOMPARE(pool.count(), 0);
        QVERIFY(!pool.isLoaded());
        QCOMPARE(pool.line(0), u"listdata");
        QRandomGenerator gen(7);
        const QString alphabet = QStringLiteral("a \r\n张");
        for (int round = 0; round < 500; ++round) {
            QString text;
            for (int n = gen.bounded(12); n > 0; --n)
                text += alphabet.at(gen.bounded(alphabet.size()));
            pool.setText(text);
            QCOMPARE(poolLines(pool), splitLines(text));
            // The line of each character: the number of breaks before it (a break's own characters
            // belong to the line they end).
            int expected = 0;
            for (qsizetype pos = 0; pos < text.size(); ++pos) {
                QCOMPARE(pool.lineAt(pos), std::min(expected, pool.count() - 1));
                const QChar c = text.at(pos);
                if (c == u'\n' || (c == u'\r' && (pos + 1 == text.size() || text.at(pos + 1) != u'\n')))
                    ++expected;
            }
        }
        pool.setText(QStringLiteral("ab\r\ncd\ref"));
        QCOMPARE(pool.lineAt(0), 0);
        QCOMPARE(pool.lineAt(3), 0);
        QCOMPARE(pool.lineAt(4), 1);
        QCOMPARE(pool.lineAt(6), 1);
        QCOMPARE(pool.lineAt(7), 2);
        QCOMPARE(pool.lineAt(100), 2);
        pool.setText(QString());
        QCOMPARE(pool.count(), 0);
        QVERIFY(pool.isLoaded());
        QVERIFY(pool.line(0).isEmpty());
        QCOMPARE(pool.lineAt(0), 0);

        pool.setText(QStringLiteral("\t 张三 \x01\r\n   \r\nA0001"));
        QCOMPARE(pool.count(), 3);
        QCOMPARE(pool.name(0), QStringLiteral("张三"));
        QCOMPARE(pool.name(1), QString());
        QCOMPARE(pool.name(2), QStringLiteral("A0001"));
        QVERIFY(pool.line(3).isEmpty());
        QVERIFY(pool.line(-1).isEmpty());
    }

    void entrantListEncodings() {
        TestEnv env;
        QCOMPARE(
            errorOf(loadEntrantText)
                .startsWith(QStringLiteral("Cannot open file \"%1\"").arg(env.path(AppPaths::kEntrants))),
            true);

        const QString text = QStringLiteral("王建国\tA0001\r\n李秀英\tA0002\r\n");
        env.writeGbk(AppPaths::kEntrants, text);
        QCOMPARE(loadEntrantText(), text);
        env.writeFile(AppPaths::kEntrants, text.toUtf8());
        QCOMPARE(loadEntrantText(), text);
        env.writeFile(AppPaths::kEntrants, "\xEF\xBB\xBF" + text.toUtf8());
        QCOMPARE(loadEntrantText(), text);

        // A long UTF-8 list is told apart from GBK wherever its characters fall: two-, three- and
        // four-byte characters across the whole file, and one stray byte near its end makes it GBK.
        QString longText;
        for (int i = 0; i < 20'000; ++i)
            longText += QStringLiteral("é王\U0001F600%1\r\n").arg(i);
        QByteArray utf8 = longText.toUtf8();
        env.writeFile(AppPaths::kEntrants, utf8);
        QCOMPARE(loadEntrantText(), longText);
        utf8.insert(utf8.size() - 100, '\xB0');
        env.writeFile(AppPaths::kEntrants, utf8);
        QCOMPARE(loadEntrantText(), TextCodec::fromGbk(utf8));

        // GBK names whose bytes are valid UTF-8 as well read as GBK, in short and long lists; the
        // same names in UTF-8, with or without the mark, read as UTF-8.
        const QString names = QStringLiteral("卢梅\r\n陆茂\r\n鲁毛\r\n");
        QString manyNames;
        for (int i = 0; i < 3000; ++i)
            manyNames += QStringLiteral("卢梅 陆茂 鲁毛 %1\r\n").arg(i);
        for (const QString& list : {names, QStringLiteral("卢梅"), manyNames}) {
            const QByteArray bytes = TextCodec::toGbk(list);
            QVERIFY(QString::fromUtf8(bytes).toUtf8() == bytes); // valid UTF-8 indeed
            env.writeFile(AppPaths::kEntrants, bytes);
            QCOMPARE(loadEntrantText(), list);
            env.writeFile(AppPaths::kEntrants, list.toUtf8());
            QCOMPARE(loadEntrantText(), list);
            env.writeFile(AppPaths::kEntrants, "\xEF\xBB\xBF" + list.toUtf8());
            QCOMPARE(loadEntrantText(), list);
        }

        // Invalid GBK, NUL bytes and lone CRs load without harm; NUL is no line break.
        env.writeFile(AppPaths::kEntrants, QByteArray("\x81\x20\xFF\r\x00"
                                                      "a\x00\r\n\xFE\xFE\xFE\n\x80",
                                                      14));
        EntrantPool pool;
        pool.setText(loadEntrantText());
        QCOMPARE(pool.count(), 4);
        QCOMPARE(pool.line(1), QStringView(u"\0a\0", 3));
        QCOMPARE(pool.name(1), QStringLiteral("a"));
    }

    // What the pool takes of a list, at every load: nothing of a file that is no text (the file kept
    // as it is), and of a text the lines that name someone, with one box telling what was left out.
    void entrantListsThatAreNoText() {
        TestEnv env;
        env.writeGbk(AppPaths::kEntrants, QStringLiteral("张三\r\n李四\r\n"));
        EventFixture fixture;
        const EntrantPool& pool = fixture.event.model().pool;
        QCOMPARE(pool.count(), 2);
        QVERIFY(env.dialogs.boxes.isEmpty());

        QByteArray noise;
        QRandomGenerator gen(3);
        for (int i = 0; i < 4096; ++i)
            noise.append(static_cast<char>(gen.bounded(1, 256)));
        QByteArray utf16;
        for (const QChar c : QStringLiteral("张三\r\n李四\r\n"))
            utf16.append(static_cast<char>(c.unicode() & 0xFF)).append(static_cast<char>(c.unicode() >> 8));
        for (const QByteArray& bytes : {noise, utf16, QByteArray("\x80\x81\xFF\x01\x02")}) {
            env.writeFile(AppPaths::kEntrants, bytes);
            env.dialogs.clear();
            QVERIFY(!fixture.session.reloadPool());
            QCOMPARE(pool.count(), 0);
            QCOMPARE(env.dialogs.boxes.size(), 1);
            QCOMPARE(env.dialogs.boxes[0].icon, Dialogs::Icon::Critical);
            QVERIFY(env.dialogs.boxes[0].text.contains(QStringLiteral("不是文本文件")));
            QCOMPARE(env.readFile(AppPaths::kEntrants), bytes);
        }

        // Bytes that are no GBK character, a control character inside a name: left out and reported. A
        // blank line stays, as it always has.
        const QByteArray partly = gbk(QStringLiteral("王五\r\n")) + "\x81\x20\xFF\r\n   \r\n" +
                                  gbk(QStringLiteral("赵六\x01"
                                                     "A1\n\t孙七\t A0007 \r\n"));
        env.writeFile(AppPaths::kEntrants, partly);
        env.dialogs.clear();
        QVERIFY(fixture.session.reloadPool());
        QCOMPARE(poolLines(pool), QStringList({QStringLiteral("王五"), QStringLiteral("   "),
                                               QStringLiteral("\t孙七\t A0007 ")}));
        QCOMPARE(
            env.dialogs.texts(),
            QStringList(QStringLiteral("抽奖名单文件“%1”中有 2 行没有载入：含有无法识别的字节或控制字符。"
                                       "已载入其余 3 位抽奖人员。\n\n"
                                       "请用文本编辑器检查名单文件，或在“设置”中重新导入名单。")
                            .arg(env.path(AppPaths::kEntrants))));
        QCOMPARE(env.readFile(AppPaths::kEntrants), partly);
    }

    void millionLinePool() {
        TestEnv env;
        QByteArray bytes;
        bytes.reserve(12'000'000);
        for (int i = 1; i <= 1'000'000; ++i)
            bytes += "A" + QByteArray::number(i).rightJustified(7, '0') + "\r\n";
        env.writeFile(AppPaths::kEntrants, bytes);
        EntrantPool pool;
        pool.setText(loadEntrantText());
        QCOMPARE(pool.count(), 1'000'000);
        QCOMPARE(pool.line(0), u"A0000001");
        QCOMPARE(pool.line(999'999), u"A1000000");
        QCOMPARE(pool.lineAt(pool.text().size() - 1), 999'999);
        QCOMPARE(pool.lineAt(10 * 500'000), 500'000);
    }

    void winnersAndProgressFiles() {
        TestEnv env;
        WinnerLists lists;
        lists.appendSaved(WinnerLists::headerLine(3, QStringLiteral("一等奖"), kStop));
        for (const char* name : {"张三", "李四", "王五"})
            lists.appendSaved(WinnerLists::winnerLine(QStringLiteral("一等奖"), QString::fromUtf8(name)));
        lists.appendSaved(WinnerLists::headerLine(2, QStringLiteral("二等奖"), kStop.addSecs(61)));
        lists.appendSaved(WinnerLists::winnerLine(QStringLiteral("二等奖"), QStringLiteral("赵六")));
        lists.appendSaved(WinnerLists::winnerLine(QStringLiteral("二等奖"), QStringLiteral("A0007")));
        AtomicFile::write(env.path(AppPaths::kWinners), joinCrLf(lists.saved()));

        const QByteArray onDisk = env.readFile(AppPaths::kWinners);
        QVERIFY(onDisk.startsWith("      \xD2\xD4\xCF\xC2\xCA\xC7\xA3\xBA"
                                  "3 \xCE\xBB "));
        QVERIFY(onDisk.contains("2025-01-08 09:03:05\r\n"
                                "\xD2\xBB\xB5\xC8\xBD\xB1: \xD5\xC5\xC8\xFD\r\n"));
        QVERIFY(onDisk.endsWith("2025-01-08 09:04:06\r\n\xB6\xFE\xB5\xC8\xBD\xB1: \xD5\xD4\xC1\xF9\r\n"
                                "\xB6\xFE\xB5\xC8\xBD\xB1: A0007\r\n"));
        QCOMPARE(onDisk.count("\r\n"), 7);
        QCOMPARE(loadWinners(), lists.saved());

        // A write that cannot happen leaves the old file as it was.
        QFile::setPermissions(env.path(AppPaths::kWinners), QFileDevice::ReadOwner);
        QVERIFY(errorOf([&] {
                    AtomicFile::write(env.path(AppPaths::kWinners), "x");
                }).startsWith("Cannot create file"));
        QCOMPARE(env.readFile(AppPaths::kWinners), onDisk);

        env.writeFile(AppPaths::kProgress, "old progress");
        emptyProgress();
        QVERIFY(env.exists(AppPaths::kProgress));
        QCOMPARE(env.readFile(AppPaths::kProgress), QByteArray());
    }

    void winnerGrammarAndHasWon() {
        QCOMPARE(WinnerLists::headerLine(3, QStringLiteral("一等奖"), kStop),
                 QStringLiteral("      以下是：3 位 一等奖 2025-01-08 09:03:05"));
        QCOMPARE(WinnerLists::supplementaryCell(QStringLiteral("二等奖"), QStringLiteral("李四")),
                 QStringLiteral("二等奖：李四---补抽奖"));
        QCOMPARE(WinnerLists::winnerName(u"二等奖: 王五---补抽奖---取消---取消"), QStringLiteral("王五"));
        QCOMPARE(WinnerLists::winnerName(u"二等奖: A: B---取消"), QStringLiteral("A: B"));
        QCOMPARE(WinnerLists::winnerName(u"no colon here"), QString());
        QCOMPARE(WinnerLists::winnerName(WinnerLists::headerLine(1, QStringLiteral("x: y"), kStop)),
                 QString());

        WinnerLists lists;
        QSignalSpy appended(&lists, &WinnerLists::allLineAppended);
        QSignalSpy changed(&lists, &WinnerLists::allLineChanged);
        QSignalSpy reset(&lists, &WinnerLists::allReset);
        lists.appendAll(WinnerLists::headerLine(2, QStringLiteral("一等奖"), kStop));
        lists.appendAll(WinnerLists::winnerLine(QStringLiteral("一等奖"), QStringLiteral("张三丰")));
        lists.appendAll(WinnerLists::winnerLine(QStringLiteral("一等奖"), QStringLiteral("5")));
        lists.appendAll(WinnerLists::supplementaryLine(QStringLiteral("二等奖"), QStringLiteral("李四")));
        QCOMPARE(appended.size(), 4);
        QCOMPARE(appended.last().at(0).toInt(), 3);

        // Only whole names count: not a part of another name, a prize name or a header's date.
        QVERIFY(lists.hasWon(QStringLiteral("张三丰")));
        QVERIFY(!lists.hasWon(QStringLiteral("张三")));
        for (const char* text : {"一等奖", "2025", "01", "09", "03", "2", "李四---补抽奖", ""})
            QVERIFY2(!lists.hasWon(QString::fromUtf8(text)), text);
        QVERIFY(lists.hasWon(QStringLiteral("5")));
        QVERIFY(lists.hasWon(QStringLiteral("李四")));

        // Cancelled winners still count; a line that stops naming a winner stops counting.
        lists.setAllLine(3, WinnerLists::cancelLine(lists.all().at(3)));
        QVERIFY(lists.hasWon(QStringLiteral("李四")));
        lists.appendAll(WinnerLists::winnerLine(QStringLiteral("三等奖"), QStringLiteral("张三丰")));
        lists.setAllLine(1, QStringLiteral("edited"));
        QVERIFY(lists.hasWon(QStringLiteral("张三丰")));
        lists.setAllLine(4, QStringLiteral("edited"));
        QVERIFY(!lists.hasWon(QStringLiteral("张三丰")));
        lists.setAllLine(99, QStringLiteral("一等奖: 越界"));
        QVERIFY(!lists.hasWon(QStringLiteral("越界")));
        QCOMPARE(changed.size(), 3);

        lists.setAll({QStringLiteral("一等奖: 王五")});
        QVERIFY(lists.hasWon(QStringLiteral("王五")));
        QVERIFY(!lists.hasWon(QStringLiteral("李四")));
        lists.setAll({});
        QVERIFY(!lists.hasWon(QStringLiteral("王五")));
        QCOMPARE(reset.size(), 2);

        WinnerLists marked;
        // A cancel mark inside the prize part (fuzz finding ":---取消 : \x01"): the name is read with
        // the marks removed, so cancelling and restoring the line keeps its winner.
        const QString odd =
            TextCodec::fromGbk(QByteArray("\x3a\x2d\x2d\x2d\xc8\xa1\xcf\xfb\x20\x3a\x20\x01", 12));
        marked.setAll({odd});
        const QString oddName = marked.nameAt(0);
        QVERIFY(marked.hasWon(oddName));
        marked.setAllLine(0, WinnerLists::cancelLine(odd));
        marked.setAllLine(0, WinnerLists::restoreLine(marked.all().at(0)));
        QCOMPARE(marked.nameAt(0), oddName);
        QVERIFY(marked.hasWon(oddName));
        // Marks that taking one out joins into another (fuzz finding): a restore leaves none, and the
        // line names the same winner as before the cancel.
        const QString joined = QStringLiteral("一等奖: 李四------取消取消");
        marked.setAll({joined});
        const QString joinedName = marked.nameAt(0);
        marked.setAllLine(0, WinnerLists::cancelLine(joined));
        marked.setAllLine(0, WinnerLists::restoreLine(marked.all().at(0)));
        QCOMPARE(marked.nameAt(0), joinedName);
        QVERIFY(marked.hasWon(joinedName));
        QCOMPARE(WinnerLists::restoreCell(QStringLiteral("取取消---消---员工1")), QStringLiteral("员工1"));

        // A mark in front of a header (fuzz finding): a restore makes it a header again, so it is one.
        const QString markedHeader =
            WinnerLists::kCancelSuffix + WinnerLists::headerLine(1, QStringLiteral("X"), kStop);
        QVERIFY(WinnerLists::isHeaderLine(markedHeader));
        QCOMPARE(WinnerLists::headerPrize(markedHeader), QStringLiteral("X"));

        // A prize name holding ": " keeps its winner whole: read after the block's prize, or for a
        // supplementary line after the longest known prize.
        marked.setAll({WinnerLists::headerLine(1, QStringLiteral("X: Y"), kStop),
                       QStringLiteral("X: Y: 张三"), QStringLiteral("X: Y: 李四---补抽奖")});
        QCOMPARE(marked.nameAt(1), QStringLiteral("张三"));
        QVERIFY(marked.hasWon(QStringLiteral("张三")) && !marked.hasWon(QStringLiteral("Y: 张三")));
        QCOMPARE(marked.nameAt(2), QStringLiteral("李四"));
        marked.appendAll(QStringLiteral("X: Y: 王五---补抽奖"));
        marked.setPrizeNames({QStringLiteral("X")});
        QCOMPARE(marked.nameAt(3), QStringLiteral("Y: 王五"));
        marked.setPrizeNames({QStringLiteral("X"), QStringLiteral("X: Y")});
        QCOMPARE(marked.nameAt(3), QStringLiteral("王五"));
        QCOMPARE(marked.findLineForCell(QStringLiteral("张三"), false), 1);
        QCOMPARE(marked.findLineForCell(
                     WinnerLists::supplementaryCell(QStringLiteral("X: Y"), QStringLiteral("李四")), false),
                 2);
        QCOMPARE(marked.cellNameOf(QStringLiteral("取消---X: Y：李四---补抽奖")), QStringLiteral("李四"));
        // A header edited to another prize reads its block again.
        marked.setAllLine(0, WinnerLists::headerLine(1, QStringLiteral("X"), kStop));
        QCOMPARE(marked.nameAt(1), QStringLiteral("Y: 张三"));
    }
};

QTEST_GUILESS_MAIN(TestTextFiles)
#include "test_textfiles.moc"
