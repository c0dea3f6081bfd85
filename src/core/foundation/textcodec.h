#pragma once

#include <QByteArray>
#include <QString>

// The program's files hold GBK text. GB18030 is a superset of GBK: GBK's characters get GBK's bytes,
// and nothing outside GBK is lost.
namespace TextCodec {

QByteArray toGbk(QStringView text);
QString fromGbk(QByteArrayView bytes);

// An entrant list may also come as UTF-8 (what editors on Linux save): a UTF-8 byte-order mark, or
// bytes that are valid UTF-8, not plain ASCII and not GBK by the look of them (libuchardet, and
// which reading gives common Chinese characters), are read as UTF-8 (the mark dropped); anything
// else is read as GBK.
QString decodeEntrantList(QByteArrayView bytes);
// Whether decodeEntrantList reads the bytes as UTF-8.
bool isUtf8(QByteArrayView bytes);

} // namespace TextCodec
