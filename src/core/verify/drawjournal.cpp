#include "drawjournal.h"

#include "drawderivation.h"
#include "durablefile.h"
#include "operationerror.h"
#include "systemreason.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>

namespace {
const QString kZeros(64, QLatin1Char('0'));
}

DrawJournal::DrawJournal(QString path) : m_path(std::move(path)) {}

QString DrawJournal::lastHash() const {
    return m_lines.isEmpty() ? kZeros : DrawDerivation::sha256Hex(m_lines.constLast());
}

QByteArray DrawJournal::bytes() const {
    QByteArray all;
    for (const QByteArray& line : m_lines)
        all += line + '\n';
    return all;
}

QByteArray DrawJournal::lineOf(const QJsonObject& entry) {
    return QJsonDocument(entry).toJson(QJsonDocument::Compact);
}

void DrawJournal::load() {
    m_lines.clear();
    m_entries.clear();
    m_validBytes = 0;
    m_fileBytes = 0;
    m_broken.clear();
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_broken = OperationError::cannotOpen(m_path, SystemReason::ofFile(file)).message();
        return;
    }
    const QByteArray data = file.readAll();
    m_fileBytes = data.size();
    qsizetype at = 0;
    while (at < data.size()) {
        const qsizetype end = data.indexOf('\n', at);
        const QByteArray line = data.mid(at, end < 0 ? -1 : end - at);
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        const bool chained = !entry.isEmpty() && entry.value(QStringLiteral("n")).toInt() == count() + 1 &&
                             entry.value(QStringLiteral("prev")).toString() == lastHash();
        // An incomplete last line is what a power cut leaves: no entry. A line that is no entry of the
        // chain with more after it is a changed file.
        if (end < 0)
            break;
        if (!chained) {
            if (end + 1 < data.size())
                m_broken = QStringLiteral("验证日志 %1 第 %2 条记录与前一条对不上，不能再记录。")
                               .arg(m_path)
                               .arg(count() + 1);
            break;
        }
        m_lines << line;
        m_entries << entry;
        at = end + 1;
        m_validBytes = at;
    }
}

int DrawJournal::append(QJsonObject entry) {
    if (!m_broken.isEmpty())
        throw OperationError(m_broken);
    const int n = count() + 1;
    entry.insert(QStringLiteral("n"), n);
    entry.insert(QStringLiteral("prev"), lastHash());
    const QByteArray line = lineOf(entry);
    const bool fresh = !QFileInfo::exists(m_path);
    const int fd =
        DurableFile::open(m_path, fresh ? DurableFile::Mode::CreateNew : DurableFile::Mode::ReadWrite);
    if (fd < 0)
        throw OperationError::cannotCreate(m_path, SystemReason::ofErrno(errno));
    const auto fail = [&](int error) {
        // Half an entry is taken back: the journal stays as it was.
        (void)DurableFile::truncate(fd, m_validBytes);
        DurableFile::close(fd);
        return OperationError::cannotCreate(m_path, SystemReason::ofErrno(error));
    };
    // A torn line left by a power cut goes first.
    if (DurableFile::size(fd) != m_validBytes && !DurableFile::truncate(fd, m_validBytes))
        throw fail(errno);
    const QByteArray record = line + '\n';
    if (!DurableFile::writeAllAt(fd, record.constData(), record.size(), m_validBytes))
        throw fail(errno ? errno : EIO);
    if (!DurableFile::flush(fd))
        throw fail(errno);
    DurableFile::close(fd);
    if (fresh)
        DurableFile::syncFolder(QFileInfo(m_path).absolutePath());
    m_lines << line;
    m_entries << entry;
    m_validBytes += record.size();
    m_fileBytes = m_validBytes;
    return n;
}
