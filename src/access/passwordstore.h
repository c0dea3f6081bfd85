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
// The value written for a password: the password itself, or, when the store would otherwise drop
// blanks or a pair of quotes around it on reading, the password in double quotes.
QString storedForm(const QString& password);

} // namespace PasswordStore
