// 签到名单.txt as a power cut, a hand edit or anything else may have left it: the log loads any bytes,
// keeps only check-ins it could have written, leaves the file whole, and the next check-in reads back
// beside every one it kept.
#include "checkinlog.h"
#include "operationerror.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {
QString logPath() {
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/fuzzcheckin-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/fuzzcheckin-XXXXXX"));
    return dir.filePath(QStringLiteral("checkins.txt"));
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = logPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            std::abort();
    }
    try {
        CheckinLog log(path);
        log.load();
        for (const CheckinLog::Entry& entry : log.entries())
            if (!entry.at.isValid() || !CheckinLog::refusal(entry.entrant).isEmpty() ||
                log.checkedInAt(entry.entrant) != entry.at)
                std::abort();
        // Only a torn tail is cut: what is left is the file's own beginning, ending in a line break.
        const QByteArray left = contentOf(path);
        if (!bytes.startsWith(left) || left.contains('\0') ||
            (!left.isEmpty() && !left.endsWith('\n') && !left.endsWith('\r')) ||
            bytes.size() - left.size() != log.repairedBytes())
            std::abort();

        const QString guest = QStringLiteral("来宾 Z%1").arg(log.entries().size());
        const QDateTime at(QDate(2026, 12, 9), QTime(20, 0, 1));
        const bool fresh = !log.isPresent(guest);
        if (log.record({{at, guest}}).size() != (fresh ? 1 : 0))
            std::abort();
        CheckinLog again(path);
        again.load();
        if (!again.isPresent(guest) || again.entries().size() != log.entries().size() ||
            again.repairedBytes() != 0)
            std::abort();
        for (const CheckinLog::Entry& entry : log.entries())
            if (again.checkedInAt(entry.entrant) != entry.at)
                std::abort();
    } catch (const OperationError&) {
        std::abort();
    }
    return 0;
}
