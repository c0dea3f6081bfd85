#include "savedstates.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "eventbackup.h"
#include "eventresults.h"
#include "operatorprompts.h"
#include "textcodec.h"
#include "winnerlists.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

using namespace SavedState;

namespace SavedStates {

namespace {
// The stamp part of a dated copy's name, as EventStore::datedCopyPath makes it.
const QRegularExpression kStamp(QStringLiteral("^(\\d{8}-\\d{6})(?:-(\\d+))?$"));

QString stampOf(const QString& path, const QString& baseName) {
    const QFileInfo info(path);
    const QString stem = info.completeBaseName(); // 中奖名单.<stamp>
    if (!stem.startsWith(baseName + QLatin1Char('.')))
        return {};
    const QString stamp = stem.mid(baseName.size() + 1);
    return kStamp.match(stamp).hasMatch() ? stamp : QString();
}
} // namespace

QList<Entry> list(const SlotNames& names) {
    QList<Entry> entries;
    const QString winners = AppPaths::file(AppPaths::kWinners);
    Entry current{true, winners, AppPaths::file(AppPaths::kAllWinners), {}, {}, false, {}};
    try {
        current.state = resolve(OnDisk::read(true), names);
        current.time = std::max(QFileInfo(winners).lastModified(), QFileInfo(current.allPath).lastModified());
        current.readable = true;
    } catch (const OperationError&) {
        // Missing or unreadable: restore reports it when this is chosen, as it always did.
    }
    entries << current;
    const QString winnersBase = QFileInfo(winners).completeBaseName();
    const QString allBase = QFileInfo(AppPaths::kAllWinners).completeBaseName();
    QList<Entry> copies;
    const QDir folder(AppPaths::folder());
    for (const QFileInfo& file :
         folder.entryInfoList({winnersBase + QStringLiteral(".*.txt")}, QDir::Files)) {
        const QString stamp = stampOf(file.filePath(), winnersBase);
        if (stamp.isEmpty())
            continue;
        const QString allPath = folder.filePath(allBase + QLatin1Char('.') + stamp + QStringLiteral(".txt"));
        try {
            OnDisk disk;
            disk.winners = AtomicFile::readAll(file.filePath());
            disk.winnersExists = true;
            disk.all = AllWinnersFile::parse(AtomicFile::readAll(allPath));
            const Resolved state = resolve(disk, names);
            // Only a whole state: the copy's mark goes with this 中奖名单.txt copy.
            if (state.countsFrom != Resolved::CountsFrom::DatedCopy)
                continue;
            const QRegularExpressionMatch match = kStamp.match(stamp);
            QDateTime time = QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-hhmmss"));
            copies << Entry{false, file.filePath(), allPath, time, state, true, {}};
        } catch (const OperationError&) {
            continue;
        }
    }
    // What each restore from a backup replaced, read as the event's own files are.
    static const QRegularExpression putAside(
        QStringLiteral("^%1(\\d{8}-\\d{6})(?:-\\d+)?$")
            .arg(QRegularExpression::escape(EventBackup::kCopyFolderStem)));
    for (const QFileInfo& dir : folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QRegularExpressionMatch match = putAside.match(dir.fileName());
        const QString path = dir.filePath();
        if (!match.hasMatch() || !QFileInfo(QDir(path).filePath(AppPaths::kWinners)).isFile())
            continue;
        try {
            const Resolved state = resolve(OnDisk::read(true, path), names);
            const QDateTime time =
                QDateTime::fromString(match.captured(1), QStringLiteral("yyyyMMdd-hhmmss"));
            copies << Entry{false,
                            QDir(path).filePath(AppPaths::kWinners),
                            QDir(path).filePath(AppPaths::kAllWinners),
                            time,
                            state,
                            true,
                            path};
        } catch (const OperationError&) {
            continue;
        }
    }
    std::stable_sort(copies.begin(), copies.end(), [](const Entry& a, const Entry& b) {
        return a.time != b.time ? a.time > b.time : a.winnersPath > b.winnersPath;
    });
    return entries + copies;
}

QString describe(const Entry& entry, const SlotNames& names) {
    QStringList won;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const int count = entry.state.counts[i];
        if (count != 0)
            won << QStringLiteral("%1 %2人")
                       .arg(names[i].isEmpty() ? QStringLiteral("奖项%1").arg(i + 1) : names[i])
                       .arg(count);
    }
    QString last;
    for (auto line = entry.state.saved.crbegin(); line != entry.state.saved.crend(); ++line)
        if (WinnerLists::isHeaderLine(*line)) {
            last = line->trimmed();
            break;
        }
    if (!entry.readable)
        return QStringLiteral("当前进度：%1 无法读取").arg(QFileInfo(entry.winnersPath).fileName());
    const QString when = entry.time.isValid() ? entry.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                                              : QStringLiteral("时间不明");
    const QString kind = entry.current            ? QStringLiteral("当前进度（%1 保存）")
                         : entry.folder.isEmpty() ? QStringLiteral("备份（%1 另存）")
                                                  : QStringLiteral("从备份恢复前的结果（%1）");
    return kind.arg(when) + QStringLiteral("：") +
           (won.isEmpty() ? QStringLiteral("尚无中奖") : won.join(QStringLiteral("，"))) +
           (last.isEmpty() ? QString() : QStringLiteral("；最后一次：") + last) +
           (entry.current ? QString()
                          : QStringLiteral("（") +
                                (entry.folder.isEmpty() ? QFileInfo(entry.winnersPath).fileName()
                                                        : QFileInfo(entry.folder).fileName()) +
                                QStringLiteral("）"));
}

std::optional<Resolved> askAndRestore(EventResults& results) {
    const SlotNames names = results.slotNames();
    const QList<Entry> states = list(names);
    if (states.size() == 1)
        return results.restoreProgress();
    QStringList items;
    for (const Entry& entry : states)
        items << describe(entry, names);
    const int chosen = OperatorPrompts::instance().chooseItem(
        QStringLiteral("读出抽奖进度"),
        QStringLiteral("请选择要读出的抽奖进度（读出备份时，当前进度先另存为带日期的备份）："), items, 0);
    if (chosen < 0 || chosen >= states.size())
        return std::nullopt;
    const Entry& entry = states.at(chosen);
    if (entry.current)
        return results.restoreProgress();
    if (!entry.folder.isEmpty())
        return results.restoreFolder(entry.folder);
    return results.restoreCopy(entry.winnersPath, entry.allPath);
}

} // namespace SavedStates
