#include "durablefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_WIN
#include <fcntl.h>
#include <io.h>
#include <limits>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace DurableFile {

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

#ifdef Q_OS_WIN

namespace {
// Windows' error codes as the errno values whose texts the program shows.
int errnoOf(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_DIRECTORY:
        return EISDIR;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_NOT_SUPPORTED:
        return EOPNOTSUPP;
    default:
        return EIO;
    }
}

template <typename Result> Result failWithLastError(Result result) {
    errno = errnoOf(GetLastError());
    return result;
}

std::wstring wide(const QString& path) {
    return QString(path).replace(u'/', u'\\').toStdWString();
}

HANDLE handleOf(int fd) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

OVERLAPPED at(qint64 offset) {
    OVERLAPPED where{};
    where.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

constexpr DWORD kLargestPiece = 1 << 30;
} // namespace

int open(const QString& path, Mode mode) {
    DWORD access = GENERIC_WRITE;
    DWORD disposition = OPEN_EXISTING;
    int flags = _O_WRONLY;
    switch (mode) {
    case Mode::Read:
        access = GENERIC_READ;
        flags = _O_RDONLY;
        break;
    case Mode::ReadWrite:
        access = GENERIC_READ | GENERIC_WRITE;
        flags = _O_RDWR;
        break;
    case Mode::WriteOnly:
        break;
    case Mode::CreateNew:
        disposition = CREATE_NEW;
        break;
    case Mode::AppendLog:
        disposition = OPEN_ALWAYS;
        flags |= _O_APPEND;
        break;
    }
    // Shared as POSIX files are: others may read, write, rename or delete it meanwhile.
    const HANDLE handle =
        CreateFileW(wide(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWithLastError(-1);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0)
        CloseHandle(handle);
    return fd;
}

void close(int fd) {
    _close(fd);
}

bool remove(const QString& path) {
    return DeleteFileW(wide(path).c_str()) ? true : failWithLastError(false);
}

namespace {
// One write, at the position (offset < 0) or at an offset: the bytes the system took, or -1.
qint64 writeSome(int fd, const char* data, qint64 size, qint64 offset) {
    const auto piece = static_cast<DWORD>(std::min<qint64>(size, kLargestPiece));
    if (offset < 0)
        return _write(fd, data, piece);
    OVERLAPPED where = at(offset);
    DWORD n = 0;
    return WriteFile(handleOf(fd), data, piece, &n, &where) ? qint64(n) : failWithLastError(qint64(-1));
}
} // namespace

qint64 readAt(int fd, char* buffer, qint64 size, qint64 offset) {
    qint64 done = 0;
    while (done < size) {
        OVERLAPPED where = at(offset + done);
        DWORD n = 0;
        const auto piece = static_cast<DWORD>(std::min<qint64>(size - done, kLargestPiece));
        if (!ReadFile(handleOf(fd), buffer + done, piece, &n, &where)) {
            if (GetLastError() == ERROR_HANDLE_EOF)
                break;
            return failWithLastError(qint64(-1));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

qint64 size(int fd) {
    LARGE_INTEGER size{};
    return GetFileSizeEx(handleOf(fd), &size) ? size.QuadPart : failWithLastError(qint64(-1));
}

bool truncate(int fd, qint64 size) {
    const errno_t error = _chsize_s(fd, size);
    if (error != 0)
        errno = error;
    return error == 0;
}

bool flush(int fd) {
    return FlushFileBuffers(handleOf(fd)) ? true : failWithLastError(false);
}

bool flushData(int fd) {
    return flush(fd);
}

int openUnnamed(const QString&) {
    errno = EOPNOTSUPP;
    return -1;
}

bool nameUnnamed(int, const QString&) {
    errno = EOPNOTSUPP;
    return false;
}

bool replace(const QString& source, const QString& target) {
    return MoveFileExW(wide(source).c_str(), wide(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? true
               : failWithLastError(false);
}

void syncFolder(const QString&) {}

void keepPermissions(int, const QString&) {}

namespace {
Identity identityOf(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return {};
    Identity identity;
    identity.exists = true;
    identity.regular = !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
    identity.device = info.dwVolumeSerialNumber;
    identity.file = quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    identity.size = qint64(quint64(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    return identity;
}
} // namespace

Identity identify(int fd) {
    return identityOf(handleOf(fd));
}

Identity identify(const QString& path) {
    // Only the attributes are read; anyone may go on reading, writing, renaming or deleting it.
    const HANDLE handle = CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    const Identity identity = identityOf(handle);
    CloseHandle(handle);
    return identity;
}

#else

int open(const QString& path, Mode mode) {
    const QByteArray name = QFile::encodeName(path);
    switch (mode) {
    case Mode::Read:
        return ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    case Mode::ReadWrite:
        return ::open(name.constData(), O_RDWR | O_CLOEXEC);
    case Mode::WriteOnly:
        return ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    case Mode::CreateNew:
        return ::open(name.constData(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    case Mode::AppendLog:
        return ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    }
    errno = EINVAL;
    return -1;
}

void close(int fd) {
    ::close(fd);
}

bool remove(const QString& path) {
    return ::unlink(QFile::encodeName(path).constData()) == 0;
}

namespace {
// One write, at the position (offset < 0) or at an offset: the bytes the system took, or -1.
qint64 writeSome(int fd, const char* data, qint64 size, qint64 offset) {
    for (;;) {
        const ssize_t n = offset < 0 ? ::write(fd, data, static_cast<size_t>(size))
                                     : ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}
} // namespace

qint64 readAt(int fd, char* buffer, qint64 size, qint64 offset) {
    return ::pread(fd, buffer, static_cast<size_t>(size), offset);
}

qint64 size(int fd) {
    return ::lseek(fd, 0, SEEK_END);
}

bool truncate(int fd, qint64 size) {
    return ::ftruncate(fd, size) == 0;
}

bool flush(int fd) {
    return ::fsync(fd) == 0;
}

bool flushData(int fd) {
    return ::fdatasync(fd) == 0;
}

int openUnnamed(const QString& folder) {
    return ::open(QFile::encodeName(folder).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
}

bool nameUnnamed(int fd, const QString& name) {
    const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(fd);
    return ::linkat(AT_FDCWD, procPath.constData(), AT_FDCWD, QFile::encodeName(name).constData(),
                    AT_SYMLINK_FOLLOW) == 0;
}

bool replace(const QString& source, const QString& target) {
    return ::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) == 0;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void keepPermissions(int fd, const QString& target) {
    struct stat old {};
    if (::stat(QFile::encodeName(target).constData(), &old) == 0)
        (void)::fchmod(fd, old.st_mode & 07777);
}

namespace {
Identity identityOf(const struct stat& info) {
    Identity identity;
    identity.exists = true;
    identity.regular = S_ISREG(info.st_mode);
    identity.device = info.st_dev;
    identity.file = info.st_ino;
    identity.size = info.st_size;
    return identity;
}
} // namespace

Identity identify(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 ? identityOf(info) : Identity{};
}

Identity identify(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? identityOf(info) : Identity{};
}

#endif

namespace {
bool writeWhole(int fd, const char* data, qint64 size, qint64 offset) {
    qint64 done = 0;
    while (done < size) {
        const qint64 n = writeSome(fd, data + done, size - done, offset < 0 ? -1 : offset + done);
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}
} // namespace

bool writeAll(int fd, const QByteArray& data) {
    return writeWhole(fd, data.constData(), data.size(), -1);
}

bool writeAllAt(int fd, const char* data, qint64 size, qint64 offset) {
    return writeWhole(fd, data, size, offset);
}

} // namespace DurableFile
