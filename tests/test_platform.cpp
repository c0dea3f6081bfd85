// The platform layer: the same bytes and the same file guarantees on Linux and on Windows (this test
// also runs, cross-built, under Wine).
#include "codepage.h"
#include "durablefile.h"
#include "listenprobe.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {
QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
}
} // namespace

class TestPlatform : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The bytes every saved file gets: GBK's for GBK's characters, GB18030's four-byte sequences for
    // the rest (names with rare characters), the same on both systems.
    void gb18030Bytes_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("names") << QStringLiteral("张伟 喆堃") << QByteArray::fromHex("d5c5ceb02086b488d2");
        QTest::newRow("prize") << QStringLiteral("一等奖：笔记本电脑")
                               << QByteArray::fromHex("d2bbb5c8bdb1a3bab1cabcc7b1beb5e7c4d4");
        QTest::newRow("punctuation") << QStringLiteral("，。！（）【】“”")
                                     << QByteArray::fromHex("a3aca1a3a3a1a3a8a3a9a1bea1bfa1b0a1b1");
        QTest::newRow("euro") << QStringLiteral("€") << QByteArray::fromHex("a2e3");
        QTest::newRow("outside GBK") << QStringLiteral("\U00020000\u3400\u9fa6")
                                     << QByteArray::fromHex("953282368139ee3982358f33");
        QTest::newRow("lines") << QStringLiteral("a\r\nb") << QByteArray("a\r\nb");
        QTest::newRow("empty") << QString() << QByteArray();
    }
    void gb18030Bytes() {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(CodePage::toGb18030(text), bytes);
        QCOMPARE(CodePage::fromGb18030(bytes), text);
    }

    // Every character of the basic plane and the ends of the others: Windows builds its converter
    // from code page 936 and GB18030's rules, and must give Linux's bytes (their digest, taken on
    // Linux) and read them back.
    void everyCharacter() {
        QString text;
        for (char32_t c = 0x80; c <= 0xFFFF; ++c)
            if (!QChar::isSurrogate(c))
                text += QChar(char16_t(c));
        text += QString::fromUcs4(U"\U00010000\U00020000\U0010FFFF");
        const QByteArray bytes = CodePage::toGb18030(text);
        QCOMPARE(bytes.size(), 2 * 23940 + 4 * 39420 + 12);
        QCOMPARE(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex(),
                 QByteArray("2c7dc0b1cd49053e7807e357050c10aa7271ef07b4be638b915003019af9a0f1"));
        QCOMPARE(CodePage::fromGb18030(bytes), text);
    }

    // A lone surrogate (a broken paste) is no character: it gets the substitute byte 0x1A. Broken
    // bytes read as Linux's converter reads them: one replacement character for the broken sequence,
    // a byte that may begin a character read again, the text around kept.
    void brokenText() {
        const QString lone = QStringLiteral("张") + QChar(0xD800) + QStringLiteral("伟");
        QCOMPARE(CodePage::toGb18030(lone), QByteArray::fromHex("d5c51aceb0"));
        const std::pair<const char*, const char16_t*> cases[] = {
            {"80", u"\uFFFD"},
            {"ff41", u"\uFFFDA"},
            {"41d5", u"A"}, // cut short at the end
            {"812041", u"\uFFFD A"},
            {"81302041", u"\uFFFD0 A"},
            {"81307f41", u"\uFFFD0\x7F"
                         u"A"},
            {"fe7f41", u"\uFFFD\x7F"
                       u"A"},
            {"feff41", u"\uFFFDA"},
            {"81308141", u"\uFFFD0\u4E04"},
            {"8130ff3041", u"\uFFFD0\uFFFD0A"},
            {"8431a530", u"\uFFFD"}, // after U+FFFF's code
            {"e3329a36", u"\uFFFD"}, // after U+10FFFF's code
            {"a140", u"\uE4C6"}};
        for (const auto& [hex, text] : cases)
            QCOMPARE(CodePage::fromGb18030(QByteArray::fromHex(hex)), QString::fromUtf16(text));
    }

    // Read a slice at a time (large lists), a character cut at any point comes out whole; bytes cut
    // short at the very end are dropped.
    void slicedDecoding() {
        const QString text = QStringLiteral("张伟 \U00020000 a\r\n喆堃");
        const QByteArray bytes = CodePage::toGb18030(text);
        for (qsizetype cut = 0; cut <= bytes.size(); ++cut) {
            CodePage::Gb18030Decoder decoder;
            QString read = decoder.decode(bytes.first(cut));
            read += decoder.decode(bytes.sliced(cut));
            QCOMPARE(read, text);
        }
        CodePage::Gb18030Decoder decoder;
        QCOMPARE(decoder.decode("a\xD5"), QStringLiteral("a"));
        QCOMPARE(decoder.decode(""), QString());
    }

    // Replace and append, on Chinese file names: an append goes to the end, a replace puts the new
    // file in place (the log closed first, as CheckinLog does), a failed replace leaves the target.
    void replaceAndAppend() {
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("中奖名单.txt"));
        const QString staged = dir.filePath(QStringLiteral("中奖名单.txt.1.tmp"));
        writeFile(target, "old");
        const int log = DurableFile::open(target, DurableFile::Mode::AppendLog);
        QVERIFY(log >= 0);
        QVERIFY(DurableFile::writeAll(log, "+log"));
        QVERIFY(DurableFile::flushData(log));
        QCOMPARE(readFile(target), QByteArray("old+log"));

        DurableFile::close(log);
        writeFile(staged, "new");
        QVERIFY(DurableFile::replace(staged, target));
        DurableFile::syncFolder(dir.path());
        QCOMPARE(readFile(target), QByteArray("new"));
        QVERIFY(!QFile::exists(staged));

        errno = 0;
        QVERIFY(!DurableFile::replace(staged, target));
        QCOMPARE(errno, ENOENT);
        QCOMPARE(readFile(target), QByteArray("new"));
    }

    // Writing in place at offsets (the history log's repair): size, read, write, cut.
    void inPlace() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.txt"));
        writeFile(path, QByteArray("record\r\n\0\0\0", 11));
        const int fd = DurableFile::open(path, DurableFile::Mode::ReadWrite);
        QVERIFY(fd >= 0);
        QCOMPARE(DurableFile::size(fd), 11);
        char tail[3] = {};
        QCOMPARE(DurableFile::readAt(fd, tail, 3, 8), 3);
        QCOMPARE(QByteArray(tail, 3), QByteArray(3, '\0'));
        QVERIFY(DurableFile::truncate(fd, 8));
        QVERIFY(DurableFile::writeAllAt(fd, "next\r\n", 6, 8));
        QVERIFY(DurableFile::flush(fd));
        DurableFile::close(fd);
        QCOMPARE(readFile(path), QByteArray("record\r\nnext\r\n"));
    }

    // The check-in log's test whether somebody else put another file in its place.
    void identity() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("签到名单.txt"));
        QVERIFY(!DurableFile::identify(path).exists);
        writeFile(path, "one\r\n");
        const int fd = DurableFile::open(path, DurableFile::Mode::Read);
        const DurableFile::Identity first = DurableFile::identify(path);
        QVERIFY(first.regular);
        QCOMPARE(first.size, 5);
        QVERIFY(DurableFile::identify(fd).sameFile(first));
        DurableFile::close(fd);
        const QString other = dir.filePath(QStringLiteral("other.txt"));
        writeFile(other, "two\r\n");
        QVERIFY(DurableFile::replace(other, path));
        QVERIFY(!DurableFile::identify(path).sameFile(first));
        QVERIFY(!DurableFile::identify(dir.path()).regular);
    }

    // The errors that the program's messages tell apart.
    void errors() {
        QTemporaryDir dir;
        const QString taken = dir.filePath(QStringLiteral("prize.db"));
        writeFile(taken, "x");
        errno = 0;
        QCOMPARE(DurableFile::open(taken, DurableFile::Mode::CreateNew), -1);
        QCOMPARE(errno, EEXIST);
        errno = 0;
        QCOMPARE(DurableFile::open(dir.filePath(QStringLiteral("missing")), DurableFile::Mode::Read), -1);
        QCOMPARE(errno, ENOENT);
        QVERIFY(DurableFile::remove(taken));
        QVERIFY(!QFile::exists(taken));
    }

    // The check-in server's port test: a port in use, a bad address, an address the machine lacks.
    void listenProbe() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
        QCOMPARE(ListenProbe::probe(QStringLiteral("127.0.0.1"), server.serverPort()).result,
                 ListenProbe::Result::InUse);
        QCOMPARE(ListenProbe::probe(QStringLiteral("300.1.2.3"), 8080).result,
                 ListenProbe::Result::BadAddress);
        QCOMPARE(ListenProbe::probe(QStringLiteral("203.0.113.7"), 8080).result,
                 ListenProbe::Result::AddressMissing);
        const quint16 port = server.serverPort();
        server.close();
        QCOMPARE(ListenProbe::probe(QStringLiteral("127.0.0.1"), port).result, ListenProbe::Result::Free);
    }
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
