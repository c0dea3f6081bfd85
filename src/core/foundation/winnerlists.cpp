#include "winnerlists.h"

#include <algorithm>

WinnerLists::WinnerLists(QObject* parent) : QObject(parent) {}

void WinnerLists::appendAll(const QString& line) {
    m_all.append(line);
    m_entries.append(Entry());
    const int i = static_cast<int>(m_all.size() - 1);
    m_entries[i] = parse(i);
    index(i, +1);
    noteTail();
    Q_EMIT allLineAppended(i);
}

void WinnerLists::setAllLine(int i, const QString& line) {
    if (i < 0 || i >= m_all.size())
        return;
    const QString old = m_all.at(i);
    m_all[i] = line;
    const bool wasHeader = isHeaderLine(old);
    if ((wasHeader || isHeaderLine(line)) &&
        (wasHeader != isHeaderLine(line) || headerPrize(old) != headerPrize(line))) {
        // A header gives the prize of its whole block: read the block again.
        int end = i + 1;
        while (end < m_all.size() && !isHeaderLine(m_all.at(end)))
            ++end;
        m_lastHeader = m_lastHeaderEnd = -1;
        reindex(i, end);
        noteTail();
        ++m_revision;
    } else {
        index(i, -1);
        const Entry before = m_entries[i];
        m_entries[i] = parse(i);
        index(i, +1);
        // A cancel or restore mark leaves the line's prize and entrant as they were.
        if (m_entries[i].name != before.name || m_entries[i].prize != before.prize)
            ++m_revision;
    }
    Q_EMIT allLineChanged(i);
}

void WinnerLists::setAll(const QStringList& lines) {
    m_all = lines;
    ++m_revision;
    m_currentLines.clear();
    m_entries = QList<Entry>(m_all.size());
    m_wonCount.clear();
    m_lastHeader = m_lastHeaderEnd = -1;
    readLines(0, static_cast<int>(m_all.size()));
    noteTail();
    Q_EMIT allReset();
}

void WinnerLists::setPrizeNames(const QStringList& names) {
    QStringList sorted;
    for (const QString& name : names)
        if (!sorted.contains(name))
            sorted << name;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QString& a, const QString& b) { return a.size() > b.size(); });
    if (sorted == m_prizeNames)
        return;
    m_prizeNames = sorted;
    ++m_revision;
    reindex(0, static_cast<int>(m_all.size()));
}

QString WinnerLists::nameAt(int i) const {
    return i >= 0 && i < m_entries.size() ? m_entries.at(i).name : QString();
}

QString WinnerLists::prizeAt(int i) const {
    return i >= 0 && i < m_entries.size() ? m_entries.at(i).prize : QString();
}

void WinnerLists::appendSaved(const QString& line) {
    m_saved.append(line);
}

void WinnerLists::setSaved(const QStringList& lines) {
    m_saved = lines;
}

void WinnerLists::appendCurrent(const QString& line) {
    m_current.append(line);
}

void WinnerLists::setCurrentLine(int index, const QString& line) {
    if (index >= 0 && index < m_current.size())
        m_current[index] = line;
}

void WinnerLists::clearCurrent() {
    m_current.clear();
    m_currentLines.clear();
}

int WinnerLists::lineOfCell(int cell, const QString& text, bool mustBeCancelled) const {
    if (!mustBeCancelled && text.contains(kCancelPrefix))
        return -1;
    if (cell >= 0 && cell < m_currentLines.size()) {
        const int line = m_currentLines.at(cell);
        if (line < 0 || line >= m_all.size())
            return -1;
        return !mustBeCancelled || m_all.at(line).contains(kCancelSuffix) ? line : -1;
    }
    return findLineForCell(text, mustBeCancelled);
}

QString WinnerLists::headerLine(int count, const QString& prize, const QDateTime& when) {
    return kHeaderStart + QString::number(count) + QStringLiteral(" 位 ") + prize + QLatin1Char(' ') +
           when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString WinnerLists::winnerLine(const QString& prize, const QString& name) {
    return prize + kPrizeSeparator + name;
}

QString WinnerLists::supplementaryLine(const QString& prize, const QString& name) {
    return prize + kPrizeSeparator + name + kSupplementaryMark;
}

QString WinnerLists::supplementaryCell(const QString& prize, const QString& name) {
    return prize + QStringLiteral("：") + name + kSupplementaryMark;
}

bool WinnerLists::isHeaderLine(QStringView line) {
    // Read, like every line, with the cancel marks removed: a restore removes them wherever they are.
    if (line.startsWith(kHeaderStart))
        return true;
    return line.contains(kCancelSuffix) && restoreLine(line.toString()).startsWith(kHeaderStart);
}

QString WinnerLists::headerTime(const QString& line) {
    const QString bare = restoreLine(line);
    constexpr qsizetype kStamp = 19;
    if (bare.size() < kStamp)
        return {};
    const QString stamp = bare.right(kStamp);
    return QDateTime::fromString(stamp, QStringLiteral("yyyy-MM-dd hh:mm:ss")).isValid() ? stamp : QString();
}

QString WinnerLists::headerPrize(QStringView line) {
    if (!isHeaderLine(line))
        return {};
    const QString bare = restoreLine(line.toString());
    static const QString kCount = QStringLiteral(" 位 ");
    const qsizetype at = bare.indexOf(kCount, kHeaderStart.size());
    if (at < 0)
        return {};
    QStringView rest = QStringView(bare).sliced(at + kCount.size());
    // " yyyy-MM-dd hh:mm:ss" ends the line.
    constexpr qsizetype kStamp = 20;
    if (rest.size() < kStamp || rest.at(rest.size() - kStamp) != QLatin1Char(' '))
        return {};
    return rest.chopped(kStamp).toString();
}

QString WinnerLists::winnerName(QStringView line, QStringView prize) {
    if (isHeaderLine(line))
        return {};
    // The marks come off first, so a mark inside the prize part cannot move where the name starts.
    const QString bare = restoreLine(line.toString());
    static const QString kColon = QStringLiteral(": ");
    qsizetype start = -1;
    if (!prize.isNull() && bare.startsWith(prize) &&
        QStringView(bare).sliced(prize.size()).startsWith(kColon))
        start = prize.size() + kColon.size();
    else if (const qsizetype colon = bare.indexOf(kColon); colon >= 0)
        start = colon + kColon.size();
    if (start < 0)
        return {};
    QString name = bare.sliced(start);
    if (name.endsWith(kSupplementaryMark))
        name.chop(kSupplementaryMark.size());
    return name;
}

QString WinnerLists::cellName(QStringView cell) {
    QString name = restoreCell(cell.toString());
    if (isSupplementaryCell(name)) {
        name.chop(kSupplementaryMark.size());
        name.remove(0, name.indexOf(QStringLiteral("：")) + 1);
    }
    return name;
}

QString WinnerLists::cellNameOf(const QString& cell) const {
    const QString bare = restoreCell(cell);
    if (isSupplementaryCell(bare))
        for (const QString& prize : m_prizeNames)
            if (bare.startsWith(prize + QStringLiteral("：")))
                return bare.sliced(prize.size() + 1).chopped(kSupplementaryMark.size());
    return cellName(bare);
}

int WinnerLists::findLineForCell(const QString& cell, bool mustBeCancelled) const {
    if (cell.isEmpty())
        return -1;
    const bool supplementary = isSupplementaryCell(cell);
    for (qsizetype i = m_all.size() - 1; i >= 0; --i) {
        const QString& line = m_all.at(i);
        if (mustBeCancelled && !line.contains(kCancelSuffix))
            continue;
        const Entry& entry = m_entries.at(i);
        if (entry.name.isEmpty())
            continue;
        const bool supplementaryLine = restoreLine(line).endsWith(kSupplementaryMark);
        if (supplementary ? supplementaryLine && supplementaryCell(entry.prize, entry.name) == cell
                          : !supplementaryLine && entry.name == cell)
            return static_cast<int>(i);
    }
    return -1;
}

bool WinnerLists::isSupplementaryCell(QStringView cell) {
    return cell.endsWith(kSupplementaryMark) && cell.contains(QStringLiteral("："));
}

WinnerLists::Entry WinnerLists::parse(int i) const {
    const QString& line = m_all.at(i);
    if (isHeaderLine(line))
        return {headerPrize(line), QString()};
    const QString bare = restoreLine(line);
    const auto startsWithPrize = [&](const QString& prize) {
        return bare.startsWith(prize) &&
               QStringView(bare).sliced(prize.size()).startsWith(QLatin1String(": "));
    };
    const int header = headerBefore(i);
    const bool inBlock = header >= 0;
    const QString blockPrize = inBlock ? m_entries.at(header).prize : QString();
    // A winner line is read after its block's prize; a supplementary line (which follows whatever
    // block came last) and a line outside any block after the longest known prize that starts it.
    const bool supplementary = bare.endsWith(kSupplementaryMark);
    if (inBlock && !supplementary && startsWithPrize(blockPrize))
        return {blockPrize, winnerName(line, blockPrize)};
    for (const QString& prize : m_prizeNames)
        if (startsWithPrize(prize))
            return {prize, winnerName(line, prize)};
    if (inBlock && startsWithPrize(blockPrize))
        return {blockPrize, winnerName(line, blockPrize)};
    const QString name = winnerName(line);
    const qsizetype colon = bare.indexOf(QLatin1String(": "));
    return {colon >= 0 ? bare.first(colon) : QString(), name};
}

void WinnerLists::index(int i, int delta) {
    const QString& name = m_entries.at(i).name;
    if (name.isEmpty())
        return;
    auto it = m_wonCount.find(name);
    if (it == m_wonCount.end()) {
        if (delta > 0)
            m_wonCount.insert(name, delta);
        return;
    }
    *it += delta;
    if (*it <= 0)
        m_wonCount.erase(it);
}

void WinnerLists::reindex(int from, int to) {
    for (int i = from; i < to; ++i)
        index(i, -1);
    readLines(from, to);
}

void WinnerLists::readLines(int from, int to) {
    // Lines are read in order, so the header before each is known without searching back.
    m_scanHeader = headerBefore(from);
    m_scanning = true;
    for (int i = from; i < to; ++i) {
        m_entries[i] = parse(i);
        index(i, +1);
        if (isHeaderLine(m_all.at(i)))
            m_scanHeader = i;
    }
    m_scanning = false;
}

void WinnerLists::noteTail() {
    // Remembers the newest header and the end of the list, so an append finds its block at once.
    const int last = static_cast<int>(m_all.size()) - 1;
    if (last < 0) {
        m_lastHeader = m_lastHeaderEnd = -1;
        return;
    }
    m_lastHeader = isHeaderLine(m_all.at(last)) ? last : headerBefore(last);
    m_lastHeaderEnd = last;
}

int WinnerLists::headerBefore(int i) const {
    if (m_scanning)
        return m_scanHeader;
    for (int j = std::min(i, static_cast<int>(m_all.size())) - 1; j >= 0; --j) {
        if (isHeaderLine(m_all.at(j)))
            return j;
        if (j == m_lastHeaderEnd)
            return m_lastHeader;
    }
    return -1;
}

namespace AllWinners {

QString displayLine(QString line) {
    for (QChar& c : line) {
        const char16_t u = c.unicode();
        if (u == u'\n' || u == u'\r' || u == 0x2029 || u == 0xFDD0 || u == 0xFDD1)
            c = QLatin1Char(' ');
    }
    return line;
}

LineKind kindOf(const QString& line) {
    if (line.contains(WinnerLists::kCancelSuffix))
        return LineKind::Cancelled;
    if (line.startsWith(WinnerLists::kHeaderStart))
        return LineKind::Heading;
    if (line.endsWith(WinnerLists::kSupplementaryMark) && line.contains(WinnerLists::kPrizeSeparator))
        return LineKind::Supplementary;
    if (line.contains(WinnerLists::kPrizeSeparator))
        return LineKind::Winner;
    return LineKind::Other;
}

int prizeLength(const QString& line) {
    const qsizetype separator = line.indexOf(WinnerLists::kPrizeSeparator);
    if (separator <= 0 || line.startsWith(WinnerLists::kHeaderStart))
        return 0;
    return static_cast<int>(separator + WinnerLists::kPrizeSeparator.size());
}

} // namespace AllWinners
