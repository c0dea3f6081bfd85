#include "functionunit.h"

#include "operationerror.h"
#include "operatorprompts.h"
#include "randomsource.h"
#include "textcodec.h"

#include <algorithm>

namespace {

const QByteArray& effectiveKey(const QByteArray& key) {
    return key.isEmpty() ? FunctionUnit::kDefaultKey : key;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// The value of one or two hex digits; an empty or non-hex piece is not a number.
int hexValue(QByteArrayView piece) {
    if (piece.isEmpty())
        throw OperationError::notAnInteger(QStringLiteral("$"));
    int value = 0;
    for (char c : piece) {
        const int digit = hexDigit(c);
        if (digit < 0)
            throw OperationError::notAnInteger(QLatin1Char('$') + TextCodec::fromGbk(piece));
        value = value * 16 + digit;
    }
    return value;
}

// Moves the key index on (1-based, cycling) and returns that key byte.
int nextKeyByte(const QByteArray& key, qsizetype& index) {
    index = index < key.size() ? index + 1 : 1;
    return static_cast<unsigned char>(key.at(index - 1));
}

} // namespace

namespace FunctionUnit {

void warning(const QString& text) {
    OperatorPrompts::instance().message(OperatorPrompts::Icon::Warning, QStringLiteral("Warning"), text);
}

bool confirm(const QString& text) {
    return OperatorPrompts::instance().question(QStringLiteral("Confirm"), text);
}

void information(const QString& text) {
    OperatorPrompts::instance().message(OperatorPrompts::Icon::Information, QStringLiteral("Information"),
                                        text);
}

QByteArray rightPart(const QByteArray& s, int n) {
    if (n <= 0)
        return {};
    return n >= s.size() ? s : s.right(n);
}

QByteArray encodeBytes(const QByteArray& plain, const QByteArray& key, int seedByte) {
    const QByteArray& k = effectiveKey(key);
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(2 + 2 * plain.size());
    int a = seedByte & 0xFF;
    const auto put = [&out](int value) {
        out.append(kDigits[(value >> 4) & 0xF]);
        out.append(kDigits[value & 0xF]);
    };
    put(a);
    qsizetype index = 0;
    for (char c : plain) {
        a = (a + static_cast<unsigned char>(c)) % 255;
        a ^= nextKeyByte(k, index);
        put(a);
    }
    return out;
}

QByteArray decodeBytes(const QByteArray& cipher, const QByteArray& key) {
    const QByteArray& k = effectiveKey(key);
    const QByteArrayView c(cipher);
    int a = hexValue(c.first(std::min<qsizetype>(2, c.size())));
    QByteArray plain;
    plain.reserve(c.size() / 2);
    qsizetype index = 0;
    // q is the 0-based read position; the loop always reads at least once, so a cipher text of two
    // characters or fewer fails on the empty piece after the seed.
    qsizetype q = 2;
    do {
        const qsizetype from = std::min(q, c.size());
        const int value = hexValue(c.sliced(from, std::min<qsizetype>(2, c.size() - from)));
        const int t = value ^ nextKeyByte(k, index);
        plain.append(static_cast<char>(a < t ? t - a : t + 255 - a));
        a = value;
        q += 2;
    } while (c.size() > q + 1);
    return plain;
}

QString encode(const QString& plain, const QString& key) {
    const int seed = static_cast<int>(RandomSource::instance().bounded(256));
    return QString::fromLatin1(encodeBytes(TextCodec::toGbk(plain), TextCodec::toGbk(key), seed));
}

QString decode(const QString& cipher, const QString& key) {
    return TextCodec::fromGbk(decodeBytes(TextCodec::toGbk(cipher), TextCodec::toGbk(key)));
}

} // namespace FunctionUnit
