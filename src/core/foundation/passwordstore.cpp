#include "passwordstore.h"

#include "apppaths.h"
#include "configstore.h"
#include "textcodec.h"

#include <QCryptographicHash>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QStringList>

namespace {
const QString kSetting = QStringLiteral("Setting");
const QString kPwd = QStringLiteral("Pwd");
const QString kPwdHash = QStringLiteral("PwdHash");
const QString kScheme = QStringLiteral("pbkdf2-sha256");
constexpr qsizetype kSaltBytes = 16;
constexpr qsizetype kKeyBytes = 32;
// A hand-edited count far beyond this would hold up the prompt for minutes.
constexpr int kMostIterations = 10'000'000;
const auto kBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QByteArray derive(const QString& password, const QByteArray& salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              kKeyBytes);
}

// Compares without stopping at the first difference, so the time taken tells nothing.
bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

ConfigStore openStore() {
    return ConfigStore(AppPaths::file(AppPaths::kPrizeDb));
}
} // namespace

namespace PasswordStore {

bool isSet() {
    const ConfigStore store = openStore();
    return !store.readString(kSetting, kPwdHash, QString()).isEmpty() ||
           !store.readString(kSetting, kPwd, QString()).isEmpty();
}

bool matches(const QString& typed) {
    const ConfigStore store = openStore();
    const QString hash = store.readString(kSetting, kPwdHash, QString());
    if (!hash.isEmpty())
        return !typed.isEmpty() && verifyHash(typed, hash);
    // A prize.db from before hashes.
    return typed == store.readString(kSetting, kPwd, QString());
}

void write(const QString& password) {
    ConfigStore store = openStore();
    QString hash;
    if (!password.isEmpty()) {
        QByteArray salt(kSaltBytes, Qt::Uninitialized);
        QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()), kSaltBytes / 4);
        hash = hashed(password, salt, kIterations);
    }
    // One write: the hash arrives and the plain text goes together, so no moment holds neither.
    store.writeStrings(kSetting, {{kPwdHash, hash}, {kPwd, QString()}});
}

bool fits(const QString& password) {
    return TextCodec::toGbk(password).size() <= kMaxBytes;
}

QString hashed(const QString& password, const QByteArray& salt, int iterations) {
    return QStringList{kScheme, QString::number(iterations), QString::fromLatin1(salt.toBase64(kBase64)),
                       QString::fromLatin1(derive(password, salt, iterations).toBase64(kBase64))}
        .join(u'$');
}

bool verifyHash(const QString& password, const QString& stored) {
    const QStringList parts = stored.split(u'$');
    if (parts.size() != 4 || parts[0] != kScheme)
        return false;
    bool ok = false;
    const int iterations = parts[1].toInt(&ok);
    if (!ok || iterations < 1 || iterations > kMostIterations)
        return false;
    const auto salt = QByteArray::fromBase64Encoding(parts[2].toLatin1(),
                                                     kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    const auto key = QByteArray::fromBase64Encoding(parts[3].toLatin1(),
                                                    kBase64 | QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !key || salt.decoded.isEmpty() || key.decoded.size() != kKeyBytes)
        return false;
    return sameBytes(derive(password, salt.decoded, iterations), key.decoded);
}

} // namespace PasswordStore
