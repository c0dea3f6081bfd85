#include "atomicfile.h"

#include "durablefile.h"
#include "operationerror.h"
#include "systemreason.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>

namespace {
QString systemReason(int error) {
    return SystemReason::ofErrno(error);
}

// A name beside the target that nothing uses yet.
QString freshName(const QString& target) {
    return target + u'.' + QString::number(QRandomGenerator::system()->generate() & 0xFFFFFF, 16) +
           QStringLiteral(".tmp");
}

// Where new content for path goes: the path, or the file a symbolic link names, which keeps pointing
// where it did. Refuses a read-only file, a folder without write access and a folder as the target.
QString writableTarget(const QString& path) {
    const QFileInfo info(path);
    const QString target = info.isSymLink() ? info.symLinkTarget() : path;
    const QFileInfo targetInfo(target);
    if (targetInfo.exists() && !AtomicFile::ownerWritable(target))
        throw OperationError::cannotCreate(path, systemReason(EACCES));
    if (!AtomicFile::ownerWritable(targetInfo.absolutePath()))
        throw OperationError::cannotCreate(path, systemReason(EACCES));
    if (targetInfo.isDir())
        throw OperationError::cannotCreate(path, systemReason(EISDIR));
    return target;
}

void (*beforeRename)(const QString& path) = nullptr;

} // namespace

namespace AtomicFile {

void setBeforeRenameHook(void (*hook)(const QString& path)) {
    beforeRename = hook;
}

void removeLeftovers(const QString& path) {
    const QFileInfo info(path);
    const QRegularExpression ours(QStringLiteral("^") + QRegularExpression::escape(info.fileName()) +
                                  QStringLiteral("\\.[0-9a-f]{1,6}\\.tmp$"));
    QDir folder = info.absoluteDir();
    for (const QString& name :
         folder.entryList({info.fileName() + QStringLiteral(".*.tmp")}, QDir::Files | QDir::Hidden))
        if (ours.match(name).hasMatch())
            folder.remove(name);
}

bool ownerWritable(const QString& path) {
    return QFileInfo(path).permissions() & QFileDevice::WriteOwner;
}

QString writeTrial(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        return systemReason(info.exists() ? ENOTDIR : ENOENT);
    if (!ownerWritable(folder))
        return systemReason(EACCES);
    // A file without a name where the file system has them, so a power cut leaves nothing behind.
    QString trial;
    int fd = DurableFile::openUnnamed(folder);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        trial = QDir(folder).filePath(QStringLiteral(".write-trial.tmp"));
        DurableFile::remove(trial); // one a power cut left behind
        fd = DurableFile::open(trial, DurableFile::Mode::CreateNew);
    }
    if (fd < 0)
        return systemReason(errno);
    const bool written = DurableFile::writeAll(fd, QByteArrayLiteral("Orvanta"));
    const int error = errno;
    DurableFile::close(fd);
    const bool removed = trial.isEmpty() || DurableFile::remove(trial);
    if (!written)
        return systemReason(error);
    return removed ? QString() : systemReason(errno);
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly)) {
        const int error = errno;
        const QString reason = file.exists() ? SystemReason::ofFile(file, error) : systemReason(ENOENT);
        throw OperationError::cannotOpen(path, reason);
    }
    errno = 0;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw OperationError::cannotOpen(path, SystemReason::ofFile(file, errno));
    return data;
}

Batch::~Batch() {
    for (const Staged& staged : m_staged) {
        if (staged.fd >= 0)
            DurableFile::close(staged.fd);
        if (!staged.temporary.isEmpty())
            DurableFile::remove(staged.temporary);
    }
}

void Batch::stage(const QString& path, const QByteArray& data) {
    const QString target = writableTarget(path);
    const QString folder = QFileInfo(target).absolutePath();

    // The new content is an unnamed file of the folder until commit() gives it the target's name; a
    // file system without unnamed files (a FAT stick) gets a named one beside the target.
    QString temporary;
    int fd = DurableFile::openUnnamed(folder);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            temporary = freshName(target);
            fd = DurableFile::open(temporary, DurableFile::Mode::CreateNew);
            if (fd < 0 && errno != EEXIST)
                break;
        }
    }
    if (fd < 0)
        throw OperationError::cannotCreate(path, systemReason(errno));
    DurableFile::keepPermissions(fd, target);
    if (!DurableFile::writeAll(fd, data) || !DurableFile::flush(fd)) {
        const int error = errno;
        DurableFile::close(fd);
        if (!temporary.isEmpty())
            DurableFile::remove(temporary);
        throw OperationError::cannotCreate(path, systemReason(error));
    }
    m_staged.append({path, target, temporary, fd});
}

void Batch::commit() {
    // First every staged file gets a name beside its target, then the renames follow back to back:
    // nothing but the renames themselves lies between the first file changing and the last.
    for (Staged& staged : m_staged) {
        if (!staged.temporary.isEmpty())
            continue;
        int error = EEXIST;
        for (int attempt = 0; error == EEXIST && attempt < 16; ++attempt) {
            const QString name = freshName(staged.target);
            error = DurableFile::nameUnnamed(staged.fd, name) ? 0 : errno;
            if (error == 0)
                staged.temporary = name;
        }
        if (error != 0)
            throw OperationError::cannotCreate(staged.path, systemReason(error));
    }
    // Each rename reaches the disk before the next one is made: a file system may write the renames
    // of one folder in any order until the folder is flushed, and a power cut must never leave a
    // later file of the batch replaced while an earlier one is not (the winners file ahead of the
    // drawn counts would let the restored event draw the same places twice). The staged file is
    // closed first (its content is on the disk already): Windows moves no file that is open.
    while (!m_staged.isEmpty()) {
        Staged& staged = m_staged.first();
        if (beforeRename)
            beforeRename(staged.path);
        DurableFile::close(staged.fd);
        staged.fd = -1;
        if (!DurableFile::replace(staged.temporary, staged.target))
            throw OperationError::cannotCreate(staged.path, systemReason(errno));
        DurableFile::syncFolder(QFileInfo(staged.target).absolutePath());
        m_staged.removeFirst();
    }
}

void write(const QString& path, const QByteArray& data) {
    Batch batch;
    batch.stage(path, data);
    batch.commit();
}

QString createTemporary(const QString& path) {
    const QString target = writableTarget(path);
    for (int attempt = 0; attempt < 16; ++attempt) {
        const QString name = freshName(target);
        const int fd = DurableFile::open(name, DurableFile::Mode::CreateNew);
        if (fd >= 0) {
            DurableFile::close(fd);
            return name;
        }
        if (errno != EEXIST)
            throw OperationError::cannotCreate(path, systemReason(errno));
    }
    throw OperationError::cannotCreate(path, systemReason(EEXIST));
}

void replaceWith(const QString& temporary, const QString& path) {
    const auto fail = [&](int error) {
        DurableFile::remove(temporary);
        return OperationError::cannotCreate(path, systemReason(error));
    };
    QString target;
    try {
        target = writableTarget(path);
    } catch (const OperationError&) {
        DurableFile::remove(temporary);
        throw;
    }
    const int fd = DurableFile::open(temporary, DurableFile::Mode::ReadWrite);
    if (fd < 0)
        throw fail(errno);
    DurableFile::keepPermissions(fd, target);
    if (!DurableFile::flush(fd)) {
        const int error = errno;
        DurableFile::close(fd);
        throw fail(error);
    }
    DurableFile::close(fd);
    if (!DurableFile::replace(temporary, target))
        throw fail(errno);
    DurableFile::syncFolder(QFileInfo(target).absolutePath());
}

} // namespace AtomicFile
