#include "atomicfile.h"

#include "operationerror.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Flushes a folder's entries (the rename) to disk.
void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
} // namespace

namespace AtomicFile {

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

void write(const QString& path, const QByteArray& data) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    if (info.exists() && !ownerWritable(path))
        throw OperationError::cannotCreate(path, systemReason(EACCES));
    if (!ownerWritable(folder))
        throw OperationError::cannotCreate(path, systemReason(EACCES));

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw OperationError::cannotCreate(path, file.errorString());
    if (file.write(data) != data.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw OperationError::cannotCreate(path, reason);
    }
    // commit() flushes and fsyncs the temporary file before renaming it over the old one.
    if (!file.commit())
        throw OperationError::cannotCreate(path, file.errorString());
    syncFolder(folder);
}

} // namespace AtomicFile
