#include "apppaths.h"

#include "configstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>

namespace {
QString& overrideFolder() {
    static QString folder;
    return folder;
}
} // namespace

namespace AppPaths {

QString folder() {
    QString dir = overrideFolder().isEmpty() ? QCoreApplication::applicationDirPath() : overrideFolder();
    dir = QDir::toNativeSeparators(QDir::cleanPath(dir));
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}

QString file(const QString& name) {
    return folder() + name;
}

QString offeredFile(const QString& what, const QString& stamp, const QString& suffix) {
    const ConfigStore store(file(kPrizeDb));
    QString title = store.readString(QStringLiteral("Setting"), QStringLiteral("Title1"),
                                     QStringLiteral("某某公司现场抽奖仪式"));
    static const QRegularExpression unfit(QStringLiteral(R"([\\/:*?"<>|\x00-\x1F])"));
    title = title.remove(unfit).simplified();
    while (title.endsWith(QLatin1Char('.')))
        title.chop(1);
    const QString name = what + QLatin1Char('-') + stamp + suffix;
    return folder() + (title.isEmpty() ? name : title + QLatin1Char('-') + name);
}

void setFolder(const QString& folder) {
    overrideFolder() = folder;
}

} // namespace AppPaths
