#pragma once

#include <QDateTime>
#include <QString>

class ConfigStore;

// When each supplementary winner was drawn. A supplementary line of the all-winners list carries no
// time of its own (its text is the list's grammar); the time is kept in prize.db's section
// [SupplementaryTimes] under the line's number, with a digest of the line's text, so a time never
// goes with another line after the list was read back or initialised.
namespace SupplementaryTimes {

inline const QString kSection = QStringLiteral("SupplementaryTimes");

// Keeps the time of line number line (its text without cancel marks). Throws OperationError when
// prize.db cannot be written.
void remember(int line, const QString& text, const QDateTime& when);
// "yyyy-MM-dd hh:mm:ss" of the line, or nothing when no time is kept for this text there.
QString of(const ConfigStore& store, int line, const QString& text);

} // namespace SupplementaryTimes
