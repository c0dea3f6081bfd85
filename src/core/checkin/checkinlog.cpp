#include "checkinlog.h"

#include "atomicfile.h"
#include "durablefile.h"
#include "operationerror.h"
#include "textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
constexpr qsizetype kTimeLength = 19;

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why an append failed, as the desk's staff read it.
OperationError appendFailed(const QString& path, int error) {
    QString why;
    switch (error) {
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        why = QStringLiteral("磁盘已满");
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        why = QStringLiteral("文件或文件夹是只读的");
        break;
    case EIO:
        why = QStringLiteral("磁盘读写出错");
        break;
    default:
        why = reason(error);
    }
    return OperationError(
        QStringLiteral("签到记录无法写入“%1”：%2。\n刚才的签到没有保存，来宾会被告知到签到台签到。")
            .arg(path, why));
}

// The check-in a line of the file holds, if it is one.
std::optional<CheckinLog::Entry> parseLine(const QString& line) {
    if (line.size() <= kTimeLength + 1 || line.at(kTimeLength) != u'\t')
        return std::nullopt;
    const QDateTime at = QDateTime::fromString(line.left(kTimeLength), kTimeFormat);
    const QString entrant = line.mid(kTimeLength + 1);
    if (!at.isValid() || !CheckinLog::refusal(entrant).isEmpty())
        return std::nullopt;
    return CheckinLog::Entry{at, entrant};
}
} // namespace

CheckinLog::CheckinLog(QString path) : m_path(std::move(path)) {}

CheckinLog::~CheckinLog() {
    closeFile();
}

void CheckinLog::closeFile() {
    if (m_fd >= 0)
        DurableFile::close(m_fd);
    m_fd = -1;
}

QString CheckinLog::refusal(const QString& entrant) {
    if (entrant.trimmed().isEmpty())
        return QStringLiteral("空白");
    if (entrant.size() > kMaxEntrantLength)
        return QStringLiteral("太长");
    // A tab may stand between the columns of a line; any other control character may not.
    for (QChar c : entrant)
        if ((c.unicode() < 0x20 && c != u'\t') || c.unicode() == 0x7F)
            return QStringLiteral("含控制字符");
    // GBK (GB18030) must give the very text back: no unpaired surrogate, no replacement character.
    if (entrant.contains(QChar(QChar::ReplacementCharacter)) ||
        TextCodec::fromGbk(TextCodec::toGbk(entrant)) != entrant)
        return QStringLiteral("含无法保存的字符");
    return {};
}

QByteArray CheckinLog::lineOf(const Entry& entry) {
    return TextCodec::toGbk(
        QString(entry.at.toString(kTimeFormat) + u'\t' + entry.entrant + QLatin1String("\r\n")));
}

std::optional<QDateTime> CheckinLog::checkedInAt(const QString& entrant) const {
    const auto it = m_index.constFind(entrant);
    if (it == m_index.constEnd())
        return std::nullopt;
    return m_entries.at(*it).at;
}

void CheckinLog::load() {
    closeFile();
    m_entries.clear();
    m_index.clear();
    m_keptLines.clear();
    m_skipped = 0;
    m_repaired = 0;
    AtomicFile::removeLeftovers(m_path);
    if (!QFileInfo::exists(m_path))
        return;
    const QByteArray bytes = AtomicFile::readAll(m_path);

    // What a power cut may have torn: from the first NUL byte on (a grown file's unwritten bytes),
    // and a last line without its line break (an append cut short, which nobody was told succeeded).
    qsizetype end = bytes.indexOf('\0');
    if (end < 0)
        end = bytes.size();
    qsizetype whole = 0;
    for (qsizetype i = 0; i < end; ++i)
        if (bytes.at(i) == '\n' || bytes.at(i) == '\r')
            whole = i + 1;
    if (whole < bytes.size()) {
        // A file that cannot be cut (read-only) is read as it is; the next append refuses it.
        if (AtomicFile::ownerWritable(m_path)) {
            const int fd = DurableFile::open(m_path, DurableFile::Mode::WriteOnly);
            if (fd < 0 || !DurableFile::truncate(fd, whole) || !DurableFile::flush(fd)) {
                const int error = errno;
                if (fd >= 0)
                    DurableFile::close(fd);
                throw OperationError::cannotCreate(m_path, reason(error));
            }
            DurableFile::close(fd);
        }
        m_repaired = bytes.size() - whole;
    }

    parse(bytes.left(whole));
    rememberFile();
}

void CheckinLog::parse(const QByteArray& bytes) {
    m_entries.clear();
    m_index.clear();
    m_keptLines.clear();
    m_skipped = 0;
    const qsizetype whole = bytes.size();
    qsizetype start = 0;
    for (qsizetype i = 0; i < whole; ++i) {
        const char c = bytes.at(i);
        if (c != '\n' && c != '\r')
            continue;
        qsizetype next = i + 1;
        if (c == '\r' && next < whole && bytes.at(next) == '\n')
            ++next;
        const QByteArrayView raw(bytes.constData() + start, i - start);
        const std::optional<Entry> entry = parseLine(TextCodec::fromGbk(raw));
        if (!entry) {
            if (!raw.trimmed().isEmpty()) {
                ++m_skipped;
                m_keptLines += raw.toByteArray() + "\r\n";
            }
        } else if (!m_index.contains(entry->entrant)) {
            m_index.insert(entry->entrant, m_entries.size());
            m_entries.append(*entry);
        }
        start = next;
        i = next - 1;
    }
}

QList<CheckinLog::Entry> CheckinLog::record(const QList<Entry>& checkins) {
    QList<Entry> fresh;
    QByteArray data;
    QHash<QString, bool> seen;
    for (const Entry& entry : checkins) {
        if (m_index.contains(entry.entrant) || seen.contains(entry.entrant))
            continue;
        const QString why = refusal(entry.entrant);
        if (!why.isEmpty())
            throw OperationError::cannotCreate(m_path, why);
        seen.insert(entry.entrant, true);
        fresh.append(entry);
        data += lineOf(entry);
    }
    if (fresh.isEmpty())
        return fresh;

    // Before each append: is the file at the path still the one this log holds? An editor that saved
    // the file (written beside, renamed over) or a hand that deleted it leaves the open descriptor on
    // a file nobody will read again; the check-ins are then merged into the file now at the path.
    const bool replaced = changedOnDisk();
    if (replaced) {
        closeFile();
        data.prepend(mergeFromDisk());
    }

    bool created = false;
    if (m_fd < 0) {
        const QFileInfo info(m_path);
        // Root may write anywhere: a read-only mark is honoured by the mode bits, as for every file.
        if (info.exists() ? !AtomicFile::ownerWritable(m_path)
                          : !AtomicFile::ownerWritable(info.absolutePath()))
            throw appendFailed(m_path, EACCES);
        created = !info.exists();
        m_fd = DurableFile::open(m_path, DurableFile::Mode::AppendLog);
        if (m_fd < 0)
            throw appendFailed(m_path, errno);
    }
    const qint64 before = DurableFile::size(m_fd);
    if (!DurableFile::writeAll(m_fd, data) || !DurableFile::flushData(m_fd)) {
        const int error = errno;
        // What did reach the file is taken back, so that the file and the answers agree.
        if (before >= 0 && DurableFile::truncate(m_fd, before))
            DurableFile::flushData(m_fd);
        closeFile();
        throw appendFailed(m_path, error);
    }
    // A new file's name must survive a power cut as well as its content; so must the name of a file
    // put in place by somebody else (an editor seldom flushes the folder after its rename).
    if (created || replaced)
        DurableFile::syncFolder(QFileInfo(m_path).absolutePath());
    rememberFile();
    for (const Entry& entry : fresh) {
        m_index.insert(entry.entrant, m_entries.size());
        m_entries.append(entry);
    }
    return fresh;
}

void CheckinLog::rewrite(const QList<Entry>& entries, const QByteArray& keptLines) {
    QByteArray data = keptLines;
    for (const Entry& entry : entries)
        data += lineOf(entry);
    // The open descriptor names the old file: the next append opens the new one.
    closeFile();
    AtomicFile::write(m_path, data);
    rememberFile();
}

void CheckinLog::rememberFile() {
    m_file = m_fd >= 0 ? DurableFile::identify(m_fd) : DurableFile::identify(m_path);
}

bool CheckinLog::changedOnDisk() const {
    const DurableFile::Identity now = DurableFile::identify(m_path);
    if (!now.exists)
        return m_file.exists || !m_entries.isEmpty();
    if (!now.sameFile(m_file) || now.size != m_file.size)
        return true;
    return m_fd >= 0 && !DurableFile::identify(m_fd).sameFile(m_file);
}

QByteArray CheckinLog::mergeFromDisk() {
    QByteArray bytes;
    if (DurableFile::identify(m_path).regular)
        bytes = AtomicFile::readAll(m_path);
    const QList<Entry> ours = m_entries;
    const qsizetype end = bytes.indexOf('\0');
    parse(end < 0 ? bytes : bytes.left(end));
    // An editor may leave the last line without its line break: the next line starts on its own.
    QByteArray missing = (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
                             ? QByteArray("\r\n")
                             : QByteArray();
    for (const Entry& entry : ours) {
        if (m_index.contains(entry.entrant))
            continue;
        m_index.insert(entry.entrant, m_entries.size());
        m_entries.append(entry);
        missing += lineOf(entry);
    }
    return missing;
}

int CheckinLog::checkOut(const QStringList& entrants) {
    const QSet<QString> gone(entrants.cbegin(), entrants.cend());
    QList<Entry> remaining;
    for (const Entry& entry : std::as_const(m_entries))
        if (!gone.contains(entry.entrant))
            remaining.append(entry);
    const int removed = static_cast<int>(m_entries.size() - remaining.size());
    if (removed == 0)
        return 0;
    rewrite(remaining, m_keptLines);
    m_entries = remaining;
    m_index.clear();
    for (qsizetype i = 0; i < m_entries.size(); ++i)
        m_index.insert(m_entries.at(i).entrant, i);
    return removed;
}

void CheckinLog::clear() {
    rewrite({}, {});
    m_keptLines.clear();
    m_entries.clear();
    m_index.clear();
}
