#include "atomicfile.h"

#include "operationerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A name beside the target that nothing uses yet.
QByteArray freshName(const QString& target) {
    return QFile::encodeName(target) + '.' +
           QByteArray::number(QRandomGenerator::system()->generate() & 0xFFFFFF, 16) + ".tmp";
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

// Gives the new file the old one's permissions (best effort: not every file system has them).
void keepPermissions(int fd, const QString& target) {
    struct stat old {};
    if (::stat(QFile::encodeName(target).constData(), &old) == 0)
        (void)::fchmod(fd, old.st_mode & 07777);
}

void (*beforeRename)(const QString& path) = nullptr;

} // namespace

namespace AtomicFile {

void setBeforeRenameHook(void (*hook)(const QString& path)) {
    beforeRename = hook;
}

// Flushes a folder's entries (the renames) to disk.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.constData() + done, static_cast<size_t>(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
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

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = file.exists() ? file.errorString() : systemReason(ENOENT);
        throw OperationError::cannotOpen(path, reason);
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw OperationError::cannotOpen(path, file.errorString());
    return data;
}

Batch::~Batch() {
    for (const Staged& staged : m_staged) {
        ::close(staged.fd);
        if (!staged.temporary.isEmpty())
            ::unlink(staged.temporary.constData());
    }
}

void Batch::stage(const QString& path, const QByteArray& data) {
    const QString target = writableTarget(path);
    const QString folder = QFileInfo(target).absolutePath();

    // The new content is an unnamed file of the folder until commit() gives it the target's name; a
    // file system without unnamed files (a FAT stick) gets a named one beside the target.
    QByteArray temporary;
    int fd = ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
            temporary = freshName(target);
            fd = ::open(temporary.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST)
                break;
        }
    }
    if (fd < 0)
        throw OperationError::cannotCreate(path, systemReason(errno));
    keepPermissions(fd, target);
    if (!writeAll(fd, data) || ::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
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
        const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(staged.fd);
        int error = EEXIST;
        for (int attempt = 0; error == EEXIST && attempt < 16; ++attempt) {
            const QByteArray name = freshName(staged.target);
            error =
                ::linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0
                    ? 0
                    : errno;
            if (error == 0)
                staged.temporary = name;
        }
        if (error != 0)
            throw OperationError::cannotCreate(staged.path, systemReason(error));
    }
    // Each rename reaches the disk before the next one is made: a file system may write the renames
    // of one folder in any order until the folder is flushed, and a power cut must never leave a
    // later file of the batch replaced while an earlier one is not (the winners file ahead of the
    // drawn counts would let the restored event draw the same places twice).
    while (!m_staged.isEmpty()) {
        const Staged& staged = m_staged.first();
        if (beforeRename)
            beforeRename(staged.path);
        if (::rename(staged.temporary.constData(), QFile::encodeName(staged.target).constData()) != 0)
            throw OperationError::cannotCreate(staged.path, systemReason(errno));
        syncFolder(QFileInfo(staged.target).absolutePath());
        ::close(staged.fd);
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
        const QByteArray name = freshName(target);
        const int fd = ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return QFile::decodeName(name);
        }
        if (errno != EEXIST)
            throw OperationError::cannotCreate(path, systemReason(errno));
    }
    throw OperationError::cannotCreate(path, systemReason(EEXIST));
}

void replaceWith(const QString& temporary, const QString& path) {
    const QByteArray name = QFile::encodeName(temporary);
    const auto fail = [&](int error) {
        ::unlink(name.constData());
        return OperationError::cannotCreate(path, systemReason(error));
    };
    QString target;
    try {
        target = writableTarget(path);
    } catch (const OperationError&) {
        ::unlink(name.constData());
        throw;
    }
    const int fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw fail(errno);
    keepPermissions(fd, target);
    if (::fsync(fd) != 0) {
        const int error = errno;
        ::close(fd);
        throw fail(error);
    }
    ::close(fd);
    if (::rename(name.constData(), QFile::encodeName(target).constData()) != 0)
        throw fail(errno);
    syncFolder(QFileInfo(target).absolutePath());
}

} // namespace AtomicFile
