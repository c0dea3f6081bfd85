#include "drawderivation.h"

#include <QCryptographicHash>
#include <QRegularExpression>

namespace DrawDerivation {

QString sha256Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString listHash(const QStringList& lines) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& line : lines) {
        hash.addData(line.toUtf8());
        hash.addData(QByteArrayView("\n"));
    }
    return QString::fromLatin1(hash.result().toHex());
}

bool isHex64(const QString& text) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(text).hasMatch();
}

QString commitment(const QString& seedHex) {
    return sha256Hex(QByteArray::fromHex(seedHex.toLatin1()));
}

std::optional<QString> hallNumber(const QString& typed) {
    QString digits;
    for (const QChar c : typed) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digits += c;
        else if (c.isDigit() && c.digitValue() >= 0) // full-width digits typed with a Chinese IME
            digits += QChar(u'0' + c.digitValue());
        else if (!c.isSpace() && c != QLatin1Char('-') && c != QLatin1Char(',') && c != QChar(u'，'))
            return std::nullopt;
    }
    if (digits.isEmpty() || digits.size() > 64)
        return std::nullopt;
    return digits;
}

QByteArray block(const QString& seedHex, const QString& hall, int entry, const QString& listHash, quint64 c) {
    const QString text =
        QStringLiteral("orvanta-draw-1|%1|%2|%3|%4|%5").arg(seedHex, hall).arg(entry).arg(listHash).arg(c);
    return QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
}

std::vector<int> pick(const QString& seedHex, const QString& hall, int entry, const QString& listHash,
                      int size, int count) {
    std::vector<int> remaining;
    for (int i = 0; i < size; ++i)
        remaining.push_back(i);
    std::vector<int> picked;
    quint64 c = 0;
    while (static_cast<int>(picked.size()) < count && !remaining.empty()) {
        const quint64 m = remaining.size();
        // 2^64 mod m: the numbers of the last, incomplete round of m (the top r of the 64-bit range)
        // are refused, so every remaining entry is equally likely.
        const quint64 r = (UINT64_MAX % m + 1) % m;
        for (;;) {
            const QByteArray h = block(seedHex, hall, entry, listHash, c++);
            quint64 v = 0;
            for (int i = 0; i < 8; ++i)
                v = (v << 8) | static_cast<quint8>(h.at(i));
            if (r != 0 && v > UINT64_MAX - r)
                continue;
            const auto at = static_cast<std::size_t>(v % m);
            picked.push_back(remaining[at]);
            remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        }
    }
    return picked;
}

QString ranges(const std::vector<int>& sorted) {
    QStringList parts;
    for (std::size_t i = 0; i < sorted.size();) {
        std::size_t j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
            ++j;
        parts << (i == j ? QString::number(sorted[i])
                         : QStringLiteral("%1-%2").arg(sorted[i]).arg(sorted[j]));
        i = j + 1;
    }
    return parts.join(QLatin1Char(','));
}

std::optional<std::vector<int>> parseRanges(const QString& text) {
    std::vector<int> out;
    if (text.isEmpty())
        return out;
    for (const QString& part : text.split(QLatin1Char(','))) {
        const QStringList ends = part.split(QLatin1Char('-'));
        bool ok1 = false, ok2 = true;
        const int from = ends.value(0).toInt(&ok1);
        const int to = ends.size() == 2 ? ends.at(1).toInt(&ok2) : from;
        if (!ok1 || !ok2 || ends.size() > 2 || from < 0 || to < from || (!out.empty() && from <= out.back()))
            return std::nullopt;
        for (int i = from; i <= to; ++i)
            out.push_back(i);
    }
    return out;
}

} // namespace DrawDerivation
