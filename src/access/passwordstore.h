#pragma once

#include <QString>

// The settings password, kept in plain text as Setting/Pwd of prize.db. No password set means the
// empty text.
namespace PasswordStore {

// The stored password; empty when none is set.
QString read();
// Stores the password so that it reads back exactly as given. Throws OperationError ("Unable to
// write to ...") when prize.db cannot be written.
void write(const QString& password);
// The longest password prize.db gives back whole, in GBK bytes (a Chinese character takes two).
inline constexpr qsizetype kMaxBytes = 2047;
// Whether the password reads back exactly as written: no longer than kMaxBytes in GBK.
bool fits(const QString& password);
// The value written for a password: the password itself, or, when the store would otherwise drop
// blanks or a pair of quotes around it on reading, the password in double quotes.
QString storedForm(const QString& password);

} // namespace PasswordStore
