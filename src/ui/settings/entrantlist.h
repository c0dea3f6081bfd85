#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The entrant list as the settings dialog views, searches and imports it, without any widget.
namespace EntrantList {

// The text with every line break (CR LF, a lone CR, a lone LF) made CR LF; a final line break stays
// exactly when the text had one.
QString withCrLf(QStringView text);

// The text with the letters A to Z made lower case and every other character left alone.
QString lowerLatin(QStringView text);

// The position of the first occurrence of needle in text at or after from, ignoring the case of A to
// Z only; -1 when there is none or the needle is empty.
qsizetype find(QStringView text, QStringView needle, qsizetype from);

// What the not-found box says for a search text: "<lowered text>" 没有找到。
QString notFoundText(QStringView needle);

// The confirmation asked before an import replaces the list file at path.
QString importQuestion(const QString& path);

// The bytes with every line break (CR LF, a lone CR, a lone LF) made CR LF and every other byte as
// it was (GBK text: its second bytes are never CR or LF).
QByteArray withCrLfBytes(QByteArrayView bytes);

// A file chosen for import: the text the view shows, and the bytes 抽奖名单.txt gets.
struct Import {
    QString text;
    QByteArray bytes;
};
// Reads a file chosen for import. A GBK file keeps its bytes, line breaks made CR LF (bytes that are
// no GBK character included); a UTF-8 file (with or without a byte-order mark, which is dropped) is
// transcoded to GBK. Throws OperationError (cannot open) when it cannot be read.
Import readForImport(const QString& path);

// Replaces 抽奖名单.txt with the bytes, all or nothing. Throws OperationError (cannot create).
void writeList(const QByteArray& bytes);
// Replaces 抽奖名单.txt with the lines as GBK, each followed by CR LF (the last one only when
// finalBreak), all or nothing. Throws OperationError (cannot create).
void writeLines(const QStringList& lines, bool finalBreak = true);

} // namespace EntrantList
