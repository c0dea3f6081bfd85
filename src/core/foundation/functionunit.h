#pragma once

#include <QByteArray>
#include <QString>

// The small helpers every window shares: the three message boxes, the right part of a text and the
// reversible string cipher used for the pre-set winner entries of prize.db.
namespace FunctionUnit {

// Modal boxes through the dialog seam: "Warning" with OK, "Confirm" with Yes/No, "Information" with OK.
void warning(const QString& text);
bool confirm(const QString& text);
void information(const QString& text);

// The last n bytes of s; all of s when shorter; empty when n <= 0.
QByteArray rightPart(const QByteArray& s, int n);

inline const QByteArray kDefaultKey = QByteArrayLiteral("morvek");

// The cipher on bytes. The cipher text starts with the seed byte as two upper-case hex digits, then
// one pair per plain byte: a = ((a + b) mod 255) xor k, with the key's bytes cycling. An empty key
// stands for kDefaultKey.
QByteArray encodeBytes(const QByteArray& plain, const QByteArray& key, int seedByte);
// Throws OperationError ("'<pair>' is not a valid integer value") when a pair is not hexadecimal or
// the cipher text has two characters or fewer. An odd final digit is ignored, except in a cipher text
// of exactly three characters, where it is the one plain byte.
QByteArray decodeBytes(const QByteArray& cipher, const QByteArray& key);

// The same on text: the plain text is taken as its GBK bytes; the seed byte comes from the program's
// random generator.
QString encode(const QString& plain, const QString& key);
QString decode(const QString& cipher, const QString& key);

} // namespace FunctionUnit
