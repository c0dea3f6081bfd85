#include "textcodec.h"

#include "codepage.h"

#include <QStringDecoder>

#include <uchardet.h>

#include <algorithm>
#include <memory>
#include <type_traits>
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
// How much of a text's non-ASCII bytes are common Chinese characters (the 3755 of GB2312's first
// level, which is where names come from), read as GBK. gbk holds the text's GBK or GB18030 bytes;
// each such character stood for perCharacter bytes in the text as read.
double commonChineseShare(QByteArrayView gbk, qsizetype nonAsciiBytes, int perCharacter) {
    if (nonAsciiBytes == 0)
        return 0;
    qsizetype common = 0;
    for (qsizetype i = 0; i < gbk.size();) {
        const auto lead = static_cast<unsigned char>(gbk[i]);
        if (lead < 0x80 || i + 1 >= gbk.size()) {
            ++i;
            continue;
        }
        const auto trail = static_cast<unsigned char>(gbk[i + 1]);
        if (trail >= 0x30 && trail <= 0x39) {
            i += 4; // a four-byte GB18030 sequence: outside GBK
            continue;
        }
        if (lead >= 0xB0 && lead <= 0xD7 && trail >= 0xA1 && trail <= 0xFE)
            ++common;
        i += 2;
    }
    return static_cast<double>(common * perCharacter) / static_cast<double>(nonAsciiBytes);
}

// Valid UTF-8 that is GBK all the same: short Chinese lists in GBK ("卢梅 陆茂 鲁毛") are often
// valid UTF-8 too. libuchardet tells most texts apart; where it takes such a list for UTF-8, the
// reading that gives more common Chinese characters wins, and a tie stays UTF-8.
bool looksLikeGbk(QByteArrayView bytes) {
    constexpr qsizetype kSample = 64 * 1024;
    // A character cut at the sample's end costs one character of the count, no more.
    const QByteArrayView sample = bytes.first(std::min(bytes.size(), kSample));

    std::unique_ptr<std::remove_pointer_t<uchardet_t>, void (*)(uchardet_t)> detector(uchardet_new(),
                                                                                      &uchardet_delete);
    if (detector &&
        uchardet_handle_data(detector.get(), sample.data(), static_cast<size_t>(sample.size())) == 0) {
        uchardet_data_end(detector.get());
        const QByteArray charset = QByteArray(uchardet_get_charset(detector.get())).toUpper();
        if (charset == "GB18030" || charset == "GBK" || charset == "GB2312")
            return true;
    }
    const qsizetype nonAscii = std::count_if(sample.begin(), sample.end(),
                                             [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    const double asGbk = commonChineseShare(sample, nonAscii, 2);
    const double asUtf8 = commonChineseShare(TextCodec::toGbk(QString::fromUtf8(sample)), nonAscii, 3);
    return asGbk > asUtf8;
}
} // namespace

namespace TextCodec {

QByteArray toGbk(QStringView text) {
    return CodePage::toGb18030(text);
}

QString fromGbk(QByteArrayView bytes) {
    return CodePage::fromGb18030(bytes);
}

QString decodeEntrantList(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.sliced(3));
    return isUtf8(bytes) ? QString::fromUtf8(bytes) : fromGbk(bytes);
}

bool isUtf8(QByteArrayView bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return true;
    return !isAscii(bytes) && isValidUtf8(bytes) && !looksLikeGbk(bytes);
}

} // namespace TextCodec
