#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

// The arithmetic of the verifiable draw, exactly as docs/verifiable-draw.md states it, so that anyone
// can recompute it: hashes of the entrant list, of the prizes and of the seed, and the winners of a
// draw derived from the seed, the hall's number, the draw's number in the journal and the list it
// drew from (SHA-256 blocks, rejection sampling: no modulo bias). Plain functions, no state.
namespace DrawDerivation {

// Lower-case hex SHA-256 of bytes.
QString sha256Hex(const QByteArray& bytes);
// The hash of a list of lines: SHA-256 of the UTF-8 lines, each followed by one LF.
QString listHash(const QStringList& lines);
// The commitment: SHA-256 of the seed's 32 bytes (given as 64 hex digits).
QString commitment(const QString& seedHex);
// Whether a text is 64 lower-case hex digits (a seed or a hash).
bool isHex64(const QString& text);

// The hall's number as it is kept and derived from: the digits of what was typed, 1 to 64 of them
// (blanks and separators dropped); nothing when the text holds no digit, another character, or more
// than 64 digits.
std::optional<QString> hallNumber(const QString& typed);

// The block for counter c: SHA-256 of the UTF-8 text
// "orvanta-draw-1|<seed>|<hall>|<entry>|<list hash>|<c>".
QByteArray block(const QString& seedHex, const QString& hall, int entry, const QString& listHash, quint64 c);

// up to count distinct indices into a list of size entries, in the order they are drawn: each pick
// takes 64-bit big-endian numbers from successive blocks (c = 0, 1, ...), refuses those at or above
// the largest multiple of the remaining size below 2^64, and takes the remaining entry at the
// number modulo the remaining size (the entries keep their order; the picked one leaves).
std::vector<int> pick(const QString& seedHex, const QString& hall, int entry, const QString& listHash,
                      int size, int count);

// Sorted distinct indices as ranges "0-41,43,45-99", and back (nothing for any other text).
QString ranges(const std::vector<int>& sorted);
std::optional<std::vector<int>> parseRanges(const QString& text);

} // namespace DrawDerivation
