#include "codepage.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QStringEncoder>
#endif

namespace CodePage {

#ifdef Q_OS_WIN

namespace {
constexpr UINT kGb18030 = 54936;

bool isHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The length of the longest start of bytes that ends between two characters: what remains is the
// beginning of a character whose other bytes have not come yet (at most three bytes).
qsizetype completePart(QByteArrayView bytes) {
    qsizetype i = 0;
    const qsizetype size = bytes.size();
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x81 || lead == 0xFF) {
            ++i;
            continue;
        }
        if (i + 1 >= size)
            return i;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second >= 0x30 && second <= 0x39) {
            if (i + 4 > size)
                return i;
            i += 4;
        } else {
            i += 2;
        }
    }
    return size;
}

} // namespace

QByteArray toGb18030(QStringView text) {
    if (text.isEmpty())
        return {};
    // A lone surrogate is no character: it becomes the substitute control character (0x1A), as Qt's
    // converter (ICU) makes it on Linux.
    QString clean;
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = units[i];
        if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(units[i + 1])) {
            clean += QChar(c);
            clean += QChar(units[++i]);
        } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
            clean += QChar(0x1A);
        } else {
            clean += QChar(c);
        }
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(clean.utf16());
    const int length = static_cast<int>(clean.size());
    const int needed = WideCharToMultiByte(kGb18030, 0, wide, length, nullptr, 0, nullptr, nullptr);
    QByteArray bytes(needed, Qt::Uninitialized);
    WideCharToMultiByte(kGb18030, 0, wide, length, bytes.data(), needed, nullptr, nullptr);
    return bytes;
}

QString fromGb18030(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(kGb18030, 0, bytes.data(), length, nullptr, 0);
    QString text(needed, Qt::Uninitialized);
    MultiByteToWideChar(kGb18030, 0, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()), needed);
    return text;
}

Gb18030Decoder::Gb18030Decoder() = default;

QString Gb18030Decoder::decode(QByteArrayView slice) {
    m_pending += slice;
    const qsizetype complete = completePart(m_pending);
    const QString text = fromGb18030(QByteArrayView(m_pending).first(complete));
    m_pending.remove(0, complete);
    return text;
}

#else

QByteArray toGb18030(QStringView text) {
    QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
    return encoder.encode(text);
}

QString fromGb18030(QByteArrayView bytes) {
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    return decoder.decode(bytes);
}

Gb18030Decoder::Gb18030Decoder() : m_decoder("GB18030") {}

QString Gb18030Decoder::decode(QByteArrayView slice) {
    return m_decoder.decode(slice);
}

#endif

} // namespace CodePage
