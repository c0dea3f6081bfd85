#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <vector>

namespace {
bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Qt's own UTF-8 decoder tells validity, a slice at a time into a small buffer, so a GBK file is
// turned down at its first Chinese character and no whole decoded copy of the file is ever made.
// Slices end before a byte that starts a character, so no sequence is cut in two.
bool isValidUtf8(QByteArrayView bytes) {
    constexpr qsizetype kSlice = 16 * 1024;
    constexpr qsizetype kLongestSequence = 4;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    std::vector<QChar> buffer(static_cast<std::size_t>(decoder.requiredSpace(kSlice)));
    const auto isContinuation = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = std::min(bytes.size(), start + kSlice);
        if (end < bytes.size()) {
            const qsizetype limit = end - kLongestSequence;
            while (end > limit && isContinuation(bytes[end]))
                --end;
            // More continuation bytes in a row than any character has.
            if (end == limit)
                return false;
        }
        decoder.appendToBuffer(buffer.data(), bytes.sliced(start, end - start));
        if (decoder.hasError())
            return false;
        start = end;
    }
    return true;
}
} // namespace

namespace TextCodec {

QByteArray toGbk(QStringView text) {
    QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

QString fromGbk(QByteArrayView bytes) {
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

QString decodeEntrantList(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    if (!isAscii(bytes) && isValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    return fromGbk(bytes);
}

} // namespace TextCodec
