#include "passwordstore.h"

#include "apppaths.h"
#include "configstore.h"
#include "textcodec.h"

namespace {
const QString kSetting = QStringLiteral("Setting");
const QString kPwd = QStringLiteral("Pwd");

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
} // namespace

namespace PasswordStore {

QString read() {
    return ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).readString(kSetting, kPwd, QString());
}

void write(const QString& password) {
    ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    store.writeString(kSetting, kPwd, storedForm(password));
}

bool fits(const QString& password) {
    return TextCodec::toGbk(password).size() <= kMaxBytes;
}

QString storedForm(const QString& password) {
    if (password.isEmpty())
        return password;
    const QChar first = password.front();
    const QChar last = password.back();
    const bool quoted = password.size() >= 2 && (first == u'"' || first == u'\'') && last == first;
    if (isBlank(first) || isBlank(last) || quoted)
        return QLatin1Char('"') + password + QLatin1Char('"');
    return password;
}

} // namespace PasswordStore
