#pragma once

#include <QByteArray>
#include <QString>

#ifndef Q_OS_WIN
#include <QStringDecoder>
#endif

// GB18030 text (GBK's bytes for GBK's characters), the same bytes on Linux and on Windows. Linux:
// Qt's converter (ICU). Windows, where Qt has no ICU: GB18030's mapping rules on top of the system's
// code page 936 (codepage.cpp).
namespace CodePage {

QByteArray toGb18030(QStringView text);
QString fromGb18030(QByteArrayView bytes);

// Decodes GB18030 a slice at a time: the bytes of a character cut at a slice's end wait for the next
// slice (bytes cut short at the very end are dropped, as Qt's stateful decoder drops them).
class Gb18030Decoder {
public:
    Gb18030Decoder();
    QString decode(QByteArrayView slice);

private:
#ifdef Q_OS_WIN
    QByteArray m_pending;
#else
    QStringDecoder m_decoder;
#endif
};

// The 8-bit name by which a library that opens files with fopen() reaches an existing file or folder.
// Linux: the path's bytes. Windows: the path in the system's code page, or its short (8.3) name where
// the code page lacks some of its characters (Korean in a folder's name on a Chinese Windows); empty
// when neither spells it (a volume that keeps no short names).
QByteArray systemName(const QString& path);

} // namespace CodePage
