#include "apppaths.h"

#include <QCoreApplication>
#include <QDir>

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

void setFolder(const QString& folder) {
    overrideFolder() = folder;
}

} // namespace AppPaths
