#include "eventpictures.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "configstore.h"
#include "operationerror.h"
#include "systemreason.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QMap>

namespace {
// The last part of a path written on either system ("C:\活动\图片\a.jpg" or "/home/x/a.jpg").
QString baseName(const QString& path) {
    const qsizetype slash = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(slash + 1);
}

QString pictureFolder() {
    return AppPaths::folder() + EventPictures::kFolder;
}

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo x(a), y(b);
    return x.exists() && y.exists() && x.canonicalFilePath() == y.canonicalFilePath();
}

bool sameContent(const QString& a, const QString& b) {
    QFile x(a), y(b);
    if (x.size() != y.size() || !x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly))
        return false;
    while (!x.atEnd())
        if (x.read(1 << 20) != y.read(1 << 20))
            return false;
    return true;
}
} // namespace

namespace EventPictures {

QString adopt(const QString& chosen) {
    const QFileInfo source(chosen);
    const QString name = source.fileName();
    if (sameFile(source.absolutePath(), pictureFolder()))
        return kFolder + u'/' + name;
    if (!QDir().mkpath(pictureFolder()))
        throw OperationError::cannotCreate(pictureFolder(), QStringLiteral("无法创建文件夹"));
    QString target = name;
    for (int n = 2;; ++n) {
        const QString path = pictureFolder() + u'/' + target;
        if (!QFileInfo::exists(path))
            break;
        if (sameContent(path, chosen))
            return kFolder + u'/' + target;
        target = source.completeBaseName() + QStringLiteral("-%1").arg(n) +
                 (source.suffix().isEmpty() ? QString() : u'.' + source.suffix());
    }
    AtomicFile::write(pictureFolder() + u'/' + target, AtomicFile::readAll(chosen));
    return kFolder + u'/' + target;
}

QString resolve(const QString& stored) {
    if (stored.isEmpty())
        return stored;
    const QString native = QDir::fromNativeSeparators(stored);
    const bool relative = QDir::isRelativePath(native) && !native.contains(u':');
    const QString direct = relative ? AppPaths::folder() + native : stored;
    if (QFileInfo::exists(direct))
        return QDir::cleanPath(direct);
    const QString name = baseName(stored);
    const QString inFolder = pictureFolder() + u'/' + name;
    if (!name.isEmpty() && QFileInfo(inFolder).isFile())
        return inFolder;
    return direct;
}

QList<Key> keys() {
    QList<Key> out;
    for (int n = 1; n <= 8; ++n)
        out.append({QStringLiteral("Showpicture"), QStringLiteral("Picture%1").arg(n)});
    out.append({QStringLiteral("Setting"), QStringLiteral("Picture")});
    return out;
}

void adoptAll() {
    ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    QMap<QString, QList<std::pair<QString, QString>>> changed;
    for (const Key& key : keys()) {
        const QString stored = store.readString(key.section, key.key, QString());
        const QString file = resolve(stored);
        if (stored.isEmpty() || !QFileInfo(file).isFile())
            continue;
        const QString kept = adopt(file);
        if (kept != stored)
            changed[key.section].append({key.key, kept});
    }
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        store.writeStrings(it.key(), it.value());
}

QString unreadable(const QImageReader& reader) {
    switch (reader.error()) {
    case QImageReader::FileNotFoundError:
        return QStringLiteral("文件不存在");
    case QImageReader::DeviceError:
        if (const auto* file = qobject_cast<const QFileDevice*>(reader.device()))
            return SystemReason::ofFile(*file);
        return QStringLiteral("无法读取文件");
    case QImageReader::UnsupportedFormatError:
        return QStringLiteral("不是可以显示的图片（可用 jpg、bmp、ico、png）");
    case QImageReader::InvalidDataError:
        return QStringLiteral("图片数据已损坏");
    case QImageReader::UnknownError:
        break;
    }
    return QStringLiteral("无法读取这张图片");
}

} // namespace EventPictures
