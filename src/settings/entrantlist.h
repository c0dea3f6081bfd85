#pragma once

#include <QString>

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

// Reads a file chosen for import (GBK or UTF-8, with or without a byte-order mark) as the text the
// list file will hold. Throws OperationError (cannot open) when it cannot be read.
QString readForImport(const QString& path);

// Replaces 抽奖名单.txt with the text as GBK, all or nothing. Throws OperationError (cannot create).
void writeList(QStringView text);

} // namespace EntrantList
