#include "supplementarytimes.h"

#include "apppaths.h"
#include "configstore.h"
#include "winnerlists.h"

#include <QCryptographicHash>

namespace SupplementaryTimes {
namespace {
constexpr qsizetype kStamp = 19; // "yyyy-MM-dd hh:mm:ss"

QString digest(const QString& text) {
    const QByteArray bare = WinnerLists::restoreLine(text).toUtf8();
    return QString::fromLatin1(QCryptographicHash::hash(bare, QCryptographicHash::Sha256).toHex().left(16));
}
} // namespace

void remember(int line, const QString& text, const QDateTime& when) {
    ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    store.writeString(kSection, QString::number(line),
                      when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + u' ' + digest(text));
}

QString of(const ConfigStore& store, int line, const QString& text) {
    const QString value = store.readString(kSection, QString::number(line), QString());
    if (value.size() <= kStamp + 1 || value.mid(kStamp + 1) != digest(text))
        return {};
    const QString stamp = value.left(kStamp);
    return QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid() ? stamp : QString();
}

} // namespace SupplementaryTimes
