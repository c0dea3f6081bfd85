#include "eventresults.h"

#include "apppaths.h"
#include "atomicfile.h"
#include "clock.h"
#include "configstore.h"
#include "drawmodel.h"
#include "operationerror.h"
#include "operatorprompts.h"
#include "supplementarytimes.h"
#include "winnerlists.h"

#include <QFileInfo>

EventResults::EventResults(DrawModel& model, WinnerLists& lists) : m_model(model), m_lists(lists) {}

void EventResults::prizeTableChanged() {
    SavedState::SlotNames names;
    for (int slot : m_model.listedSlots)
        names[static_cast<std::size_t>(slot)] = m_model.slots[slot].name;
    m_store.setSlotNames(names);
}

EventStore::Counts EventResults::counts() const {
    EventStore::Counts counts{};
    for (int i = 0; i < DrawModel::kSlots; ++i)
        counts[static_cast<std::size_t>(i)] = m_model.slots[i].drawn;
    return counts;
}

std::pair<QString, QList<std::pair<QString, QString>>> EventResults::presetRunEntry(int times) {
    return {QStringLiteral("Setting"), {{QStringLiteral("Times"), QString::number(times)}}};
}

bool EventResults::writeExitRecord(bool automatic) {
    bool written = writeHistory();
    QList<std::pair<QString, QString>> setting{
        {QStringLiteral("automatic"), automatic ? QStringLiteral("1") : QStringLiteral("0")}};
    const std::optional<int> times = m_model.presets.uncountedRun(m_model.presetUsed);
    if (times)
        setting += presetRunEntry(*times).second;
    try {
        ConfigStore(AppPaths::file(AppPaths::kPrizeDb)).writeStrings(QStringLiteral("Setting"), setting);
        if (times)
            m_model.presets.runCounted(*times);
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        written = false;
    }
    return written;
}

bool EventResults::save(EventStore::Change change, QString* failure) {
    // A run that placed a pre-set winner is counted in Setting/Times by the save of that draw, so a
    // kill right after the stop cannot place the winner again in the next run.
    EventStore::Sections other;
    const std::optional<int> times =
        change == EventStore::Change::Draw ? m_model.presets.uncountedRun(m_model.presetUsed) : std::nullopt;
    if (times)
        other.append(presetRunEntry(*times));
    try {
        const std::optional<OperationError> behind =
            m_store.save(change, m_lists.saved(), m_lists.all(), counts(), other);
        if (times)
            m_model.presets.runCounted(*times);
        if (behind)
            OperatorPrompts::showError(behind->message());
        return true;
    } catch (const OperationError& error) {
        if (failure)
            *failure = error.message();
        else
            OperatorPrompts::showError(error.message());
        return false;
    }
}

EventResults::ListsBefore EventResults::listsBefore() const {
    return {m_lists.all(), m_lists.saved(), m_lists.current(), m_lists.currentLines()};
}

void EventResults::takeBack(const ListsBefore& before) {
    m_lists.setAll(before.all);
    m_lists.setSaved(before.saved);
    m_lists.clearCurrent();
    for (const QString& cell : before.current)
        m_lists.appendCurrent(cell);
    // The panel shows the draw before again; without one (after a restore) it stays empty.
    if (!before.currentLines.isEmpty())
        m_lists.linkCurrent(before.currentLines);
}

bool EventResults::recordDraw(int slot, const QString& prize, const QStringList& winners,
                              const QDateTime& when, QString* failure) {
    const ListsBefore before = listsBefore();
    const QString header = WinnerLists::headerLine(static_cast<int>(winners.size()), prize, when);
    m_lists.clearCurrent();
    m_lists.appendAll(header);
    m_lists.appendSaved(header);
    QList<int> cells;
    for (const QString& winner : winners) {
        const QString line = WinnerLists::winnerLine(prize, winner);
        m_lists.appendAll(line);
        m_lists.appendSaved(line);
        m_lists.appendCurrent(winner);
        cells << static_cast<int>(m_lists.all().size() - 1);
    }
    m_lists.linkCurrent(cells);
    const bool counted = slot >= 0 && slot < DrawModel::kSlots;
    if (counted)
        m_model.slots[slot].drawn += static_cast<int>(winners.size());
    if (save(EventStore::Change::Draw, failure))
        return true;
    if (counted)
        m_model.slots[slot].drawn -= static_cast<int>(winners.size());
    takeBack(before);
    return false;
}

bool EventResults::recordSupplementary(const QString& prize, const QString& name, QString* failure) {
    const ListsBefore before = listsBefore();
    m_lists.clearCurrent();
    m_lists.appendAll(WinnerLists::supplementaryLine(prize, name));
    m_lists.appendCurrent(WinnerLists::supplementaryCell(prize, name));
    const int line = static_cast<int>(m_lists.all().size() - 1);
    m_lists.linkCurrent({line});
    if (save(EventStore::Change::Correction, failure)) {
        // The winner is saved; its time is only for the export, and its loss is no reason to stop.
        try {
            SupplementaryTimes::remember(line, m_lists.all().at(line), Clock::instance().now());
        } catch (const OperationError& error) {
            qWarning("%s", qPrintable(error.message()));
        }
        return true;
    }
    takeBack(before);
    return false;
}

bool EventResults::cancelLine(int line) {
    if (line < 0 || line >= m_lists.all().size())
        return true;
    m_lists.setAllLine(line, WinnerLists::cancelLine(m_lists.all().at(line)));
    return save(EventStore::Change::Correction);
}

bool EventResults::restoreLine(int line) {
    if (line < 0 || line >= m_lists.all().size())
        return true;
    m_lists.setAllLine(line, WinnerLists::restoreLine(m_lists.all().at(line)));
    return save(EventStore::Change::Correction);
}

bool EventResults::exportToWinnersFile() {
    // The saved list takes the whole list only once the files hold it, so the two never disagree.
    const QStringList lines = m_lists.all();
    try {
        // An export saves all three files or throws: nothing is left behind.
        (void)m_store.save(EventStore::Change::Export, lines, lines, counts());
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return false;
    }
    m_lists.setSaved(lines);
    return true;
}

bool EventResults::saveNow() {
    return save(EventStore::Change::Draw);
}

SavedState::Resolved EventResults::restoreProgress() {
    SavedState::Resolved resolved = m_store.restore();
    for (int i = 0; i < DrawModel::kSlots; ++i)
        m_model.slots[i].drawn = resolved.counts[static_cast<std::size_t>(i)];
    m_lists.setAll(resolved.all);
    m_lists.setSaved(resolved.saved);
    return resolved;
}

SavedState::Resolved EventResults::restoreCopy(const QString& winnersCopy, const QString& allCopy) {
    return takeCopy(m_store.restoreCopy(winnersCopy, allCopy));
}

SavedState::Resolved EventResults::restoreFolder(const QString& folder) {
    return takeCopy(m_store.restoreFolder(folder));
}

SavedState::Resolved EventResults::takeCopy(const SavedState::Resolved& resolved) {
    for (int i = 0; i < DrawModel::kSlots; ++i)
        m_model.slots[i].drawn = resolved.counts[static_cast<std::size_t>(i)];
    m_lists.setAll(resolved.all);
    m_lists.setSaved(resolved.saved);
    save(EventStore::Change::Draw);
    return resolved;
}

QString EventResults::restoreNotes(const SavedState::Resolved& resolved) {
    using From = SavedState::Resolved::CountsFrom;
    QStringList notes;
    if (resolved.allLeftOut)
        notes << QStringLiteral(
            "allwinners.txt 与中奖名单.txt 不是同一次保存的记录，其中的取消和补抽记录没有读出"
            "（该文件下次保存前另存为带日期的副本）。");
    if (resolved.countsFrom == From::AllWinnersMark || resolved.countsFrom == From::CountedFromBlocks)
        notes << QStringLiteral(
            "prize.db 中的已抽人数与中奖名单.txt 不是同一次保存的记录，已抽人数按中奖名单读出。");
    if (!resolved.unknownPrizes.isEmpty())
        notes << QStringLiteral("中奖名单中的奖项“%1”不在奖项设置中，没有计入已抽人数。")
                     .arg(resolved.unknownPrizes.join(QStringLiteral("”、“")));
    return notes.join(QLatin1Char('\n'));
}

void EventResults::initialise() {
    for (PrizeSlot& slot : m_model.slots)
        slot.drawn = 0;
    m_lists.setAll({});
    m_lists.setSaved(m_lists.all());
    m_store.disown();
}

void EventResults::forgetFiles() {
    for (PrizeSlot& slot : m_model.slots)
        slot.drawn = 0;
    m_lists.setAll({});
    m_lists.setSaved({});
    const SavedState::SlotNames names = m_store.slotNames();
    m_store = EventStore();
    m_store.setSlotNames(names);
}

QList<EventPart*> EventResults::partsWithEntries() const {
    QList<EventPart*> parts;
    for (EventPart* part : m_parts)
        if (part->holdsEntries())
            parts << part;
    return parts;
}

bool EventResults::clearParts() {
    try {
        for (EventPart* part : partsWithEntries()) {
            const QString path = part->partPath();
            if (QFileInfo::exists(path))
                AtomicFile::write(EventStore::datedCopyPath(path), AtomicFile::readAll(path));
            part->clearPart();
        }
        return true;
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return false;
    }
}

bool EventResults::holdsUnloadedResults() const {
    return m_store.holdsUnloadedResults();
}

bool EventResults::writeHistory() {
    if (m_historyWritten)
        return true;
    try {
        EventStore::appendHistory(m_lists.all());
        m_historyWritten = true;
        return true;
    } catch (const OperationError& error) {
        OperatorPrompts::showError(error.message());
        return false;
    }
}
