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
#include <QRegularExpression>

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

// Keys to write, by section.
using Changes = QMap<QString, QList<std::pair<QString, QString>>>;

void save(ConfigStore& store, const Changes& changed) {
    for (auto it = changed.cbegin(); it != changed.cend(); ++it)
        store.writeStrings(it.key(), it.value());
}

// The file name of a stored path that lies in 图片 as the program stores it ("图片/a.jpg", either
// separator) and names a picture; empty for any other path.
QString nameInFolder(QString stored) {
    stored.replace(u'\\', u'/');
    const QString prefix = EventPictures::kFolder + u'/';
    if (!stored.startsWith(prefix))
        return {};
    const QString name = stored.mid(prefix.size());
    return EventPictures::isPictureName(name) ? name : QString();
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

bool isPictureName(const QString& name) {
    static const QRegularExpression unsafe(QStringLiteral("[/\\\\:*?\"<>|\\x00-\\x1f]"));
    // Windows' device names, which no file of that name (with any suffix) can have.
    static const QRegularExpression device(QStringLiteral("^(con|prn|aux|nul|com[0-9]|lpt[0-9])(\\.|$)"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QStringList suffixes{QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("jpe"),
                                      QStringLiteral("jfif"), QStringLiteral("png"),  QStringLiteral("bmp"),
                                      QStringLiteral("dib"),  QStringLiteral("ico"),  QStringLiteral("gif"),
                                      QStringLiteral("tif"),  QStringLiteral("tiff"), QStringLiteral("webp")};
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 && !name.startsWith(u'.') && !name.contains(unsafe) && !name.contains(device) &&
           suffixes.contains(name.mid(dot + 1), Qt::CaseInsensitive);
}

QStringList keepInFolder() {
    ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    Changes changed;
    QStringList outside;
    for (const Key& key : keys()) {
        const QString stored = store.readString(key.section, key.key, QString());
        if (stored.isEmpty())
            continue;
        const QFileInfo file(resolve(stored));
        if (file.isFile() && isPictureName(file.fileName()) &&
            sameFile(file.absolutePath(), pictureFolder())) {
            const QString kept = kFolder + u'/' + file.fileName();
            if (kept != stored)
                changed[key.section].append({key.key, kept});
        } else if (!outside.contains(stored)) {
            outside << stored;
        }
    }
    save(store, changed);
    return outside;
}

QStringList confineRestored(const QString& folder) {
    ConfigStore store(folder + AppPaths::kPrizeDb);
    Changes changed;
    QStringList dropped;
    for (const Key& key : keys()) {
        const QString stored = store.readString(key.section, key.key, QString());
        if (stored.isEmpty())
            continue;
        QString name = nameInFolder(stored);
        const QString base = baseName(stored);
        if (name.isEmpty() && isPictureName(base) && QFileInfo(folder + kFolder + u'/' + base).isFile())
            name = base;
        const QString kept = name.isEmpty() ? QString() : kFolder + u'/' + name;
        if (kept.isEmpty() && !dropped.contains(stored))
            dropped << stored;
        if (kept != stored)
            changed[key.section].append({key.key, kept});
    }
    save(store, changed);
    return dropped;
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
