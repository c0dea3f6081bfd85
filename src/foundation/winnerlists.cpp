#include "winnerlists.h"

WinnerLists::WinnerLists(QObject* parent) : QObject(parent) {}

void WinnerLists::appendAll(const QString& line) {
    m_all.append(line);
    indexLine(line, +1);
    Q_EMIT allLineAppended(static_cast<int>(m_all.size() - 1));
}

void WinnerLists::setAllLine(int index, const QString& line) {
    if (index < 0 || index >= m_all.size())
        return;
    indexLine(m_all.at(index), -1);
    m_all[index] = line;
    indexLine(line, +1);
    Q_EMIT allLineChanged(index);
}

void WinnerLists::setAll(const QStringList& lines) {
    m_all = lines;
    m_wonCount.clear();
    for (const QString& line : m_all)
        indexLine(line, +1);
    Q_EMIT allReset();
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
}

QString WinnerLists::headerLine(int count, const QString& prize, const QDateTime& when) {
    return kHeaderStart + QString::number(count) + QStringLiteral(" 位 ") + prize + QLatin1Char(' ') +
           when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

QString WinnerLists::winnerLine(const QString& prize, const QString& name) {
    return prize + QStringLiteral(": ") + name;
}

QString WinnerLists::supplementaryLine(const QString& prize, const QString& name) {
    return prize + QStringLiteral(": ") + name + kSupplementaryMark;
}

QString WinnerLists::supplementaryCell(const QString& prize, const QString& name) {
    return prize + QStringLiteral("：") + name + kSupplementaryMark;
}

bool WinnerLists::isHeaderLine(QStringView line) {
    return line.startsWith(kHeaderStart);
}

QString WinnerLists::winnerName(QStringView line) {
    if (isHeaderLine(line))
        return {};
    const qsizetype colon = line.indexOf(QLatin1String(": "));
    if (colon < 0)
        return {};
    QString name = line.sliced(colon + 2).toString();
    name.remove(kCancelSuffix);
    if (name.endsWith(kSupplementaryMark))
        name.chop(kSupplementaryMark.size());
    return name;
}

QString WinnerLists::cellName(QStringView cell) {
    QString name = cell.toString().remove(kCancelPrefix);
    if (isSupplementaryCell(name)) {
        name.chop(kSupplementaryMark.size());
        name.remove(0, name.indexOf(QStringLiteral("：")) + 1);
    }
    return name;
}

int WinnerLists::findLineForCell(const QString& cell, bool mustBeCancelled) const {
    if (cell.isEmpty())
        return -1;
    const bool supplementary = isSupplementaryCell(cell);
    // The supplementary cell reads prize "：" name mark; its list line reads prize ": " name mark.
    QString wanted = cell;
    if (supplementary)
        wanted.replace(wanted.indexOf(QStringLiteral("：")), 1, QStringLiteral(": "));
    for (qsizetype i = m_all.size() - 1; i >= 0; --i) {
        const QString& line = m_all.at(i);
        if (mustBeCancelled && !line.contains(kCancelSuffix))
            continue;
        if (isHeaderLine(line))
            continue;
        const QString bare = restoreLine(line);
        if (supplementary ? bare == wanted : !bare.endsWith(kSupplementaryMark) && winnerName(line) == cell)
            return static_cast<int>(i);
    }
    return -1;
}

bool WinnerLists::isSupplementaryCell(QStringView cell) {
    return cell.endsWith(kSupplementaryMark) && cell.contains(QStringLiteral("："));
}

void WinnerLists::indexLine(const QString& line, int delta) {
    const QString name = winnerName(line);
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
