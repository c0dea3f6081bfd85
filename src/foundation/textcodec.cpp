#include "textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {
bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isValidUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString ignored = decoder.decode(bytes);
    return !decoder.hasError();
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
