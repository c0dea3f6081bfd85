#pragma once

#include <QByteArray>
#include <QString>

// The settings password. It is kept as a salted, slow hash (PBKDF2-HMAC-SHA256) in Setting/PwdHash
// of prize.db. A prize.db written before hashes has the password in plain text in Setting/Pwd: it
// still opens with that password, and the next change moves it to the hash and empties Pwd in the
// same write. No password set means both keys absent or empty.
namespace PasswordStore {

// Whether a password guards the settings.
bool isSet();
// Whether the typed text is the password (with none set, only the empty text is).
bool matches(const QString& typed);
// Stores the password as its hash, emptying the plain Pwd in the same write; an empty password
// removes the protection. Throws OperationError ("Unable to write to ...") when prize.db cannot be
// written; nothing changes then.
void write(const QString& password);

// The longest password accepted, in GBK bytes (a Chinese character takes two): what a prize.db of
// plain passwords gives back whole, so a password works the same whichever way it was kept.
inline constexpr qsizetype kMaxBytes = 2047;
bool fits(const QString& password);

// The hash as stored: "pbkdf2-sha256$<iterations>$<salt>$<key>", salt and key in base64url.
QString hashed(const QString& password, const QByteArray& salt, int iterations);
// Whether the password gives the stored hash; false for a hash that cannot be read (a damaged
// value protects rather than opens).
bool verifyHash(const QString& password, const QString& stored);
inline constexpr int kIterations = 20000;

} // namespace PasswordStore
