#include "eventbackup.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "durablefile.h"
#include "eventpictures.h"
#include "operationerror.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>

#include <zlib.h>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <minizip/iowin32.h>
#endif

#include <algorithm>
#include <cerrno>

namespace {
constexpr qint64 kChunk = 256 * 1024;
// Bit 11 of a zip entry's flags: its name is UTF-8.
constexpr uLong kUtf8Flag = 1u << 11;

QStringList topFiles() {
    return {AppPaths::kPrizeDb,       AppPaths::kEntrants,   AppPaths::kWinners,  AppPaths::kProgress,
            AppPaths::kHistory,       AppPaths::kAllWinners, AppPaths::kCheckins, AppPaths::kMusic,
            AppPaths::kVerifyJournal, AppPaths::kVerifySeed};
}

// What earlier backups carried beside the event, left out of a restore: the help file, and any
// other plain name in 图片.
bool leftOut(const QString& name) {
    const QString prefix = EventPictures::kFolder + u'/';
    return name == AppPaths::kHelp ||
           (name.startsWith(prefix) && !name.mid(prefix.size()).contains(u'/') && !name.contains(u'\\'));
}

OperationError refused(const QString& zip, const QString& why) {
    return OperationError::cannotOpen(zip, QStringLiteral("不是完好的活动备份：") + why);
}

QString folder() {
    return AppPaths::folder();
}

// Windows opens the archive by its wide path: minizip's plain functions take the local 8-bit code
// page's, which cannot name a folder outside it (Korean in a user's name on a Chinese Windows).
#ifdef Q_OS_WIN
zlib_filefunc64_def wideFiles() {
    zlib_filefunc64_def files;
    fill_win32_filefunc64W(&files);
    return files;
}
#endif

zipFile createZip(const QString& path) {
#ifdef Q_OS_WIN
    zlib_filefunc64_def files = wideFiles();
    return zipOpen2_64(QDir::toNativeSeparators(path).toStdWString().c_str(), APPEND_STATUS_CREATE, nullptr,
                       &files);
#else
    return zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
#endif
}

unzFile openZip(const QString& path) {
#ifdef Q_OS_WIN
    zlib_filefunc64_def files = wideFiles();
    return unzOpen2_64(QDir::toNativeSeparators(path).toStdWString().c_str(), &files);
#else
    return unzOpen64(QFile::encodeName(path).constData());
#endif
}

class ZipWriter {
public:
    explicit ZipWriter(const QString& path) : m_path(path) {
        m_zip = createZip(path);
        if (!m_zip)
            throw OperationError::cannotCreate(path, QStringLiteral("无法创建压缩文件"));
    }
    ZipWriter(const ZipWriter&) = delete;
    ZipWriter& operator=(const ZipWriter&) = delete;
    ~ZipWriter() {
        if (m_zip)
            zipClose(m_zip, nullptr);
    }
    void add(const QString& name, const QString& file) {
        QFile in(file);
        if (!in.open(QIODevice::ReadOnly))
            throw OperationError::cannotOpen(file, in.errorString());
        const QDateTime stamp = QFileInfo(file).lastModified();
        zip_fileinfo info{};
        // Debian's minizip has unsigned fields, zlib's own (the Windows build's) signed ones.
        using Field = decltype(info.tmz_date.tm_sec);
        info.tmz_date = {
            static_cast<Field>(stamp.time().second()),    static_cast<Field>(stamp.time().minute()),
            static_cast<Field>(stamp.time().hour()),      static_cast<Field>(stamp.date().day()),
            static_cast<Field>(stamp.date().month() - 1), static_cast<Field>(stamp.date().year())};
        const int large = in.size() >= 0xffffffffLL ? 1 : 0;
        if (zipOpenNewFileInZip4_64(m_zip, name.toUtf8().constData(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL,
                                    Z_DEFAULT_STRATEGY, nullptr, 0, 0, kUtf8Flag, large) != ZIP_OK)
            throw OperationError::cannotCreate(m_path, name);
        while (!in.atEnd()) {
            const QByteArray chunk = in.read(kChunk);
            if (chunk.isEmpty() && in.error() != QFile::NoError)
                throw OperationError::cannotOpen(file, in.errorString());
            if (zipWriteInFileInZip(m_zip, chunk.constData(), static_cast<unsigned>(chunk.size())) != ZIP_OK)
                throw OperationError::cannotCreate(m_path, name);
        }
        if (zipCloseFileInZip(m_zip) != ZIP_OK)
            throw OperationError::cannotCreate(m_path, name);
    }
    void close() {
        if (zipClose(std::exchange(m_zip, nullptr), nullptr) != ZIP_OK)
            throw OperationError::cannotCreate(m_path, QStringLiteral("无法写完压缩文件"));
    }

private:
    QString m_path;
    zipFile m_zip = nullptr;
};

class ZipReader {
public:
    explicit ZipReader(const QString& path) : m_zip(openZip(path)) {}
    ZipReader(const ZipReader&) = delete;
    ZipReader& operator=(const ZipReader&) = delete;
    ~ZipReader() {
        if (m_zip)
            unzClose(m_zip);
    }
    unzFile get() const { return m_zip; }

private:
    unzFile m_zip = nullptr;
};

struct Entry {
    QString name;
    qint64 size = 0;
    bool take = true;
};

// The entries of the archive, each checked against the limits and the names an event keeps.
QList<Entry> listEntries(const QString& zip, unzFile file, const EventBackup::Limits& limits) {
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(file, &global) != UNZ_OK)
        throw refused(zip, QStringLiteral("文件已损坏"));
    if (global.number_entry > static_cast<ZPOS64_T>(limits.entries))
        throw refused(zip, QStringLiteral("文件多于 %1 个").arg(limits.entries));
    QList<Entry> entries;
    qint64 total = 0;
    QStringList seen;
    for (int status = unzGoToFirstFile(file); status != UNZ_END_OF_LIST_OF_FILE;
         status = unzGoToNextFile(file)) {
        if (status != UNZ_OK || entries.size() >= limits.entries)
            throw refused(zip, QStringLiteral("文件已损坏"));
        unz_file_info64 info{};
        QByteArray raw(limits.nameBytes + 1, '\0');
        if (unzGetCurrentFileInfo64(file, &info, raw.data(), static_cast<uLong>(raw.size()), nullptr, 0,
                                    nullptr, 0) != UNZ_OK)
            throw refused(zip, QStringLiteral("文件已损坏"));
        if (info.size_filename > static_cast<uLong>(limits.nameBytes))
            throw refused(zip, QStringLiteral("文件名过长"));
        raw.truncate(static_cast<qsizetype>(info.size_filename));
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString name = utf8.decode(raw);
        const bool take = !utf8.hasError() && EventBackup::isEventFile(name);
        if (!take && (utf8.hasError() || !leftOut(name)))
            throw refused(zip, QStringLiteral("含有不属于活动的文件“%1”").arg(QString::fromUtf8(raw)));
        if (seen.contains(name, Qt::CaseInsensitive))
            throw refused(zip, QStringLiteral("文件“%1”出现两次").arg(name));
        seen << name;
        if (info.flag & 1u)
            throw refused(zip, QStringLiteral("文件已加密"));
        const auto size = static_cast<qint64>(info.uncompressed_size);
        // The directory may claim any packed size: never more than the archive has.
        const qint64 packed = std::min(static_cast<qint64>(info.compressed_size), QFileInfo(zip).size());
        if (size > limits.entryBytes)
            throw refused(zip, QStringLiteral("“%1”大于 %2 MB").arg(name).arg(limits.entryBytes >> 20));
        if (size > (qint64(1) << 20) && size / std::max<qint64>(packed, 1) > limits.ratio)
            throw refused(zip, QStringLiteral("“%1”的压缩比异常").arg(name));
        total += size;
        if (total > limits.totalBytes)
            throw refused(zip, QStringLiteral("解压后大于 %1 MB").arg(limits.totalBytes >> 20));
        entries.append({name, size, take});
    }
    if (!seen.contains(AppPaths::kPrizeDb))
        throw refused(zip, QStringLiteral("没有 prize.db"));
    return entries;
}

// Unpacks the current entry to target (a new file), never more bytes than it declares; a wrong
// checksum or length is damage. The file is on the disk when it returns: it is renamed into the event
// next, and a rename that a power cut keeps must never name an empty or partial file.
void unpack(const QString& zip, unzFile file, const Entry& entry, const QString& target) {
    if (unzOpenCurrentFile(file) != UNZ_OK)
        throw refused(zip, QStringLiteral("“%1”已损坏").arg(entry.name));
    const auto fail = [&](const OperationError& error) {
        unzCloseCurrentFile(file);
        return error;
    };
    const int fd = DurableFile::open(target, DurableFile::Mode::CreateNew);
    if (fd < 0)
        throw fail(OperationError::cannotCreate(target, DurableFile::reason(errno)));
    struct Closer {
        int fd;
        ~Closer() { DurableFile::close(fd); }
    } closer{fd};
    QByteArray chunk(kChunk, Qt::Uninitialized);
    qint64 written = 0;
    for (;;) {
        const int read = unzReadCurrentFile(file, chunk.data(), static_cast<unsigned>(chunk.size()));
        if (read < 0 || written + read > entry.size)
            throw fail(refused(zip, QStringLiteral("“%1”已损坏").arg(entry.name)));
        if (read == 0)
            break;
        if (!DurableFile::writeAll(fd, QByteArray::fromRawData(chunk.constData(), read)))
            throw fail(OperationError::cannotCreate(target, DurableFile::reason(errno)));
        written += read;
    }
    if (unzCloseCurrentFile(file) != UNZ_OK || written != entry.size)
        throw refused(zip, QStringLiteral("“%1”已损坏").arg(entry.name));
    if (!DurableFile::flush(fd))
        throw OperationError::cannotCreate(target, DurableFile::reason(errno));
}

bool holdsPictures(const QStringList& names) {
    const QString prefix = EventPictures::kFolder + u'/';
    return std::any_of(names.begin(), names.end(),
                       [&](const QString& name) { return name.startsWith(prefix); });
}

// Flushes a folder of the event's kind (its 图片, then itself) to the disk: the names moved into it
// and out of it are kept from then on.
void syncTree(const QString& root) {
    if (QFileInfo(root + u'/' + EventPictures::kFolder).isDir())
        DurableFile::syncFolder(root + u'/' + EventPictures::kFolder);
    DurableFile::syncFolder(root);
}

// A moved file: where it was and where it went, to put back.
struct Move {
    QString from;
    QString to;
};

// Moves one file into a name nothing holds; the folder it goes to exists already.
void moveFile(const QString& from, const QString& to, QList<Move>& done) {
    if (QFileInfo::exists(to))
        throw OperationError::cannotCreate(to, QStringLiteral("已有同名文件"));
    if (!DurableFile::replace(from, to))
        throw OperationError::cannotCreate(
            to, QStringLiteral("无法移动 %1：%2").arg(from, DurableFile::reason(errno)));
    done.append({from, to});
}

void undo(const QList<Move>& done) {
    for (auto it = done.crbegin(); it != done.crend(); ++it)
        DurableFile::replace(it->to, it->from);
}
} // namespace

namespace EventBackup {

bool isEventFile(const QString& name) {
    if (topFiles().contains(name))
        return true;
    // The dated copies the results and check-ins keep: <name>.<yyyyMMdd-hhmmss>[-n].<suffix>.
    static const QRegularExpression dated(
        QStringLiteral("^(中奖名单|allwinners|签到名单|prize|抽奖名单|history)\\.[0-9]{8}-[0-9]{6}(-[0-9]{1,"
                       "4})?\\.(txt|db)$"));
    if (dated.match(name).hasMatch())
        return true;
    // A picture: one plain name inside 图片, nothing that climbs out or starts elsewhere.
    const QString prefix = EventPictures::kFolder + u'/';
    return name.startsWith(prefix) && EventPictures::isPictureName(name.mid(prefix.size()));
}

QStringList eventFiles() {
    QStringList out;
    const QDir dir(folder());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name))
        if (isEventFile(name))
            out << name;
    const QDir pictures(folder() + EventPictures::kFolder);
    for (const QString& name : pictures.entryList(QDir::Files, QDir::Name)) {
        const QString relative = EventPictures::kFolder + u'/' + name;
        if (isEventFile(relative))
            out << relative;
    }
    return out;
}

Written write(const QString& zipPath) {
    Written written;
    written.outsidePictures = EventPictures::keepInFolder();
    const QStringList files = eventFiles();
    const QString temporary = AtomicFile::createTemporary(zipPath);
    try {
        // The temporary file exists (empty); minizip makes it anew.
        QFile::remove(temporary);
        ZipWriter zip(temporary);
        for (const QString& name : files)
            zip.add(name, folder() + name);
        zip.close();
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    AtomicFile::replaceWith(temporary, zipPath);
    written.files = static_cast<int>(files.size());
    return written;
}

Restored restore(const QString& zipPath, const Limits& limits) {
    if (QFileInfo(zipPath).size() > limits.totalBytes)
        throw refused(zipPath, QStringLiteral("文件大于 %1 MB").arg(limits.totalBytes >> 20));
    ZipReader zip(zipPath);
    if (!zip.get())
        throw refused(zipPath, QStringLiteral("不是 zip 文件或已损坏"));
    const QList<Entry> entries = listEntries(zipPath, zip.get(), limits);

    // Everything unpacked beside the event before anything of it changes.
    const QString stamp = Clock::instance().now().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    const QString staging = folder() + QStringLiteral(".restore-") + stamp;
    QDir(staging).removeRecursively();
    if (!QDir().mkpath(staging + u'/' + EventPictures::kFolder))
        throw OperationError::cannotCreate(staging, QStringLiteral("无法创建文件夹"));
    struct Cleanup {
        QString path;
        ~Cleanup() { QDir(path).removeRecursively(); }
    } cleanup{staging};
    Restored restored;
    QList<Entry> taken;
    int status = unzGoToFirstFile(zip.get());
    for (const Entry& entry : entries) {
        if (status != UNZ_OK)
            throw refused(zipPath, QStringLiteral("文件已损坏"));
        if (entry.take) {
            unpack(zipPath, zip.get(), entry, staging + u'/' + entry.name);
            taken.append(entry);
        } else {
            restored.leftOut << entry.name;
        }
        status = unzGoToNextFile(zip.get());
    }
    // The restored settings name no picture outside the event's 图片.
    restored.droppedPictures = EventPictures::confineRestored(staging + u'/');

    // What the event holds now goes into the dated folder whole; then the archive's files take
    // their place. Each step is on the disk before the next begins: the new folders before anything
    // moves into them, what was put aside before a restored file takes the name it left, so a power
    // cut leaves every file whole, the former one (in place or put aside) or the restored one.
    QString copies = folder() + kCopyFolderStem + stamp;
    for (int n = 2; QFileInfo::exists(copies); ++n)
        copies = folder() + kCopyFolderStem + stamp + QStringLiteral("-%1").arg(n);
    const QStringList current = eventFiles();
    QStringList restoredNames;
    for (const Entry& entry : taken)
        restoredNames << entry.name;
    const QString event = folder().chopped(1);
    QList<Move> done;
    try {
        const auto makeFolder = [](const QString& path) {
            if (!QDir().mkpath(path))
                throw OperationError::cannotCreate(path, QStringLiteral("无法创建文件夹"));
        };
        if (!current.isEmpty()) {
            makeFolder(holdsPictures(current) ? copies + u'/' + EventPictures::kFolder : copies);
            DurableFile::syncFolder(copies);
        }
        if (holdsPictures(restoredNames))
            makeFolder(folder() + EventPictures::kFolder);
        DurableFile::syncFolder(event);

        for (const QString& name : current)
            moveFile(folder() + name, copies + u'/' + name, done);
        if (!current.isEmpty())
            syncTree(copies);
        syncTree(event);

        for (const Entry& entry : taken)
            moveFile(staging + u'/' + entry.name, folder() + entry.name, done);
        syncTree(staging);
        syncTree(event);
    } catch (...) {
        undo(done);
        syncTree(staging);
        if (QFileInfo(copies).isDir())
            syncTree(copies);
        syncTree(event);
        // Only what is left empty goes: a file that could not be put back stays where it is.
        QDir().rmdir(copies + u'/' + EventPictures::kFolder);
        QDir().rmdir(copies);
        throw;
    }
    restored.files = static_cast<int>(taken.size());
    if (QFileInfo::exists(copies))
        restored.copyFolder = copies;
    return restored;
}

} // namespace EventBackup
