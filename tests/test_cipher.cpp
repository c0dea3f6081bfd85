#include "functionunit.h"
#include "operationerror.h"
#include "testenv.h"

#include <QTest>

using namespace FunctionUnit;

class TestCipher : public QObject {
    Q_OBJECT

private:
    static QString decodeError(const QString& cipher) {
        try {
            decode(cipher, QStringLiteral("5817"));
        } catch (const OperationError& e) {
            return e.message();
        }
        return QStringLiteral("<no error>");
    }

private Q_SLOTS:
    void handComputedVectors() {
        // "A" (0x41) with key "5817" and seed 0x10:
        //   a = (0x10 + 0x41) mod 255 = 0x51; 0x51 xor '5' (0x35) = 0x64      -> "1064"
        QCOMPARE(encodeBytes("A", "5817", 0x10), QByteArray("1064"));
        // "AB" with key "k" (0x6B) and seed 0xFF:
        //   a = (0xFF + 0x41) mod 255 = 0x41; 0x41 xor 0x6B = 0x2A
        //   a = (0x2A + 0x42) mod 255 = 0x6C; 0x6C xor 0x6B = 0x07            -> "FF2A07"
        QCOMPARE(encodeBytes("AB", "k", 0xFF), QByteArray("FF2A07"));
        // "hi" with the empty key ("morvek") and seed 0:
        //   0x68 xor 'm' (0x6D) = 0x05; (0x05 + 0x69) = 0x6E xor 'o' (0x6F) = 0x01 -> "000501"
        QCOMPARE(encodeBytes("hi", "", 0), QByteArray("000501"));
        QCOMPARE(encodeBytes("hi", "morvek", 0), QByteArray("000501"));
        // The encoder writes upper case; the decoder takes either.
        QCOMPARE(encodeBytes("\xD5\xC5", "5817", 0xAB).toUpper(), encodeBytes("\xD5\xC5", "5817", 0xAB));
        QCOMPARE(decodeBytes("1064", "5817"), QByteArray("A"));
        QCOMPARE(decodeBytes("ff2a07", "k"), QByteArray("AB"));
        QCOMPARE(decodeBytes("000501", ""), QByteArray("hi"));

        // Odd lengths: a trailing single digit is ignored, except in a cipher text of three characters,
        // where it is the one plain byte: "105" -> c = 5, 5 xor 0x35 = 0x30, 0x30 - 0x10 = 0x20.
        QCOMPARE(decodeBytes("10647", "5817"), QByteArray("A"));
        QCOMPARE(decodeBytes("FF2A07A", "k"), QByteArray("AB"));
        QCOMPARE(decodeBytes("105", "5817"), QByteArray(" "));
    }

    void everyByteAndSeedRoundTrips() {
        // Every plain byte 1..254 under every seed, with keys of one byte and of several bytes.
        for (const QByteArray& key : {QByteArray("k"), QByteArray("5817"), QByteArray("\xFF\x01z")}) {
            for (int seed = 0; seed < 256; ++seed) {
                QByteArray plain;
                for (int b = 1; b <= 254; ++b)
                    plain.append(static_cast<char>(b));
                const QByteArray cipher = encodeBytes(plain, key, seed);
                QCOMPARE(cipher.size(), 2 + 2 * plain.size());
                QCOMPARE(decodeBytes(cipher, key), plain);
                QCOMPARE(decodeBytes(cipher.toLower(), key), plain);
            }
        }
        // Byte 255 comes back as 255, except after a cipher byte (here the seed) of 255, where it is 0.
        QCOMPARE(decodeBytes(encodeBytes("\xFF", "k", 0x10), "k"), QByteArray("\xFF"));
        QCOMPARE(decodeBytes(encodeBytes("\xFF", "k", 0xFF), "k"), QByteArray(1, '\0'));
    }

    void textRoundTrips() {
        TestEnv env;
        const QString ascii = QStringLiteral("Orvanta-2027 lucky draw, staff A0001..");
        const QString chinese =
            QStringLiteral("张三李四王五赵六一等奖特等奖新能源汽车笔记本电脑平板蓝牙耳机感谢付出好运");
        const QStringList keys = {QString(), QStringLiteral("5817"), QStringLiteral("k"),
                                  QStringLiteral("密钥key"),
                                  QStringLiteral("a-key-longer-than-the-text-0123456789")};
        for (int length = 1; length <= 40; ++length) {
            const QString mixed = (ascii.left(length / 2) + chinese).left(length);
            for (const QString& plain : {ascii.left(length), chinese.left(length), mixed}) {
                for (const QString& key : keys) {
                    const QString cipher = encode(plain, key);
                    QCOMPARE(cipher.size(), 2 + 2 * gbk(plain).size());
                    QCOMPARE(cipher, cipher.toUpper());
                    QCOMPARE(decode(cipher, key), plain);
                }
            }
        }
        // The empty key stands for "morvek" both ways.
        const QString plain = QStringLiteral("王建国\tA0001");
        QCOMPARE(decode(encode(plain, QString()), QStringLiteral("morvek")), plain);
        QCOMPARE(decode(encode(plain, QStringLiteral("morvek")), QString()), plain);
        // The seed byte is random: the same text rarely enciphers the same way twice.
        QStringList ciphers;
        for (int i = 0; i < 8; ++i)
            ciphers << encode(plain, QStringLiteral("5817"));
        ciphers.removeDuplicates();
        QVERIFY(ciphers.size() > 1);
    }

    void decodeFailures() {
        QCOMPARE(decodeError(QString()), QStringLiteral("'$' is not a valid integer value"));
        QCOMPARE(decodeError(QStringLiteral("A")), QStringLiteral("'$' is not a valid integer value"));
        QCOMPARE(decodeError(QStringLiteral("AB")), QStringLiteral("'$' is not a valid integer value"));
        QCOMPARE(decodeError(QStringLiteral("GZ11")), QStringLiteral("'$GZ' is not a valid integer value"));
        QCOMPARE(decodeError(QStringLiteral("10G1")), QStringLiteral("'$G1' is not a valid integer value"));
        QCOMPARE(decodeError(QStringLiteral("1064 1")), QStringLiteral("'$ 1' is not a valid integer value"));
        QCOMPARE(decodeError(QStringLiteral("10641G")), QStringLiteral("'$1G' is not a valid integer value"));
        // Text that is no cipher text at all fails rather than crashing.
        QVERIFY(decodeError(QStringLiteral("10张三")) != QStringLiteral("<no error>"));
        QVERIFY(decodeError(QString(QChar(0)) + QStringLiteral("000")) != QStringLiteral("<no error>"));
    }

    void rightPartAndBoxes() {
        QCOMPARE(rightPart("123456", 3), QByteArray("456"));
        QCOMPARE(rightPart("123456", 10), QByteArray("123456"));
        QCOMPARE(rightPart("123456", 6), QByteArray("123456"));
        QCOMPARE(rightPart("123456", 0), QByteArray());
        QCOMPARE(rightPart("123456", -2), QByteArray());

        TestEnv env;
        env.dialogs.answers << true << false;
        warning(QStringLiteral("w"));
        QVERIFY(confirm(QStringLiteral("c1")));
        QVERIFY(!confirm(QStringLiteral("c2")));
        information(QStringLiteral("i"));
        QCOMPARE(env.dialogs.boxes.size(), 4);
        QCOMPARE(env.dialogs.boxes[0].icon, Dialogs::Icon::Warning);
        QCOMPARE(env.dialogs.boxes[0].caption, QStringLiteral("Warning"));
        QCOMPARE(env.dialogs.boxes[1].kind, QStringLiteral("question"));
        QCOMPARE(env.dialogs.boxes[1].caption, QStringLiteral("Confirm"));
        QCOMPARE(env.dialogs.boxes[3].icon, Dialogs::Icon::Information);
        QCOMPARE(env.dialogs.boxes[3].caption, QStringLiteral("Information"));
        QCOMPARE(env.dialogs.texts(), QStringList({"w", "c1", "c2", "i"}));
    }
};

QTEST_GUILESS_MAIN(TestCipher)
#include "test_cipher.moc"
