#include "presetwinners.h"

#include "configstore.h"
#include "entrantpool.h"
#include "functionunit.h"
#include "operationerror.h"

#include <QHash>

#include <algorithm>

void PresetWinners::reset(const QDate& today) {
    for (auto& row : m_table)
        row.fill(-1);
    m_excluded.clear();
    ++m_revision;
    m_date = today.addDays(1);
    m_time = QStringLiteral("00:00");
    // The use count never goes back within a run: a load that fails keeps the highest count read.
    m_useCount = m_highestUseCount;
    m_allowedCount = 0;
}

int PresetWinners::entry(int slot, int k) const {
    if (slot < 0 || slot >= kRows || k < 0 || k >= 3)
        return -1;
    return m_table[slot][k];
}

int PresetWinners::resolve(const QString& text, const EntrantPool& pool) {
    return resolveAll({text}, pool).front();
}

std::vector<int> PresetWinners::resolveAll(const QStringList& texts, const EntrantPool& pool) {
    std::vector<int> lines(static_cast<std::size_t>(texts.size()), -1);
    std::vector<QStringView> wanted;
    // The line whose whole (trimmed) text is each wanted text, found in one pass over the pool for
    // all of them; a line is only looked up when its length and first character could match.
    QHash<QStringView, int> exact;
    std::vector<bool> lengths;
    std::vector<bool> firsts(0x10000);
    for (const QString& text : texts) {
        const QStringView w = EntrantPool::trimmed(text);
        const bool usable = !w.isEmpty() && !w.contains(QLatin1Char('\n')) && !w.contains(QLatin1Char('\r'));
        wanted.push_back(usable ? w : QStringView());
        if (!usable)
            continue;
        exact.insert(w, -1);
        if (lengths.size() <= static_cast<std::size_t>(w.size()))
            lengths.resize(static_cast<std::size_t>(w.size()) + 1);
        lengths[static_cast<std::size_t>(w.size())] = true;
        firsts[w.front().unicode()] = true;
    }
    qsizetype missing = exact.size();
    for (int i = 0; i < pool.count() && missing > 0; ++i) {
        const QStringView line = EntrantPool::trimmed(pool.line(i));
        const auto size = static_cast<std::size_t>(line.size());
        if (size == 0 || size >= lengths.size() || !lengths[size] || !firsts[line.front().unicode()])
            continue;
        const auto it = exact.find(line);
        if (it != exact.end() && *it < 0) {
            *it = i;
            --missing;
        }
    }
    // Else the first line that holds the text.
    const QString& all = pool.text();
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        if (wanted[k].isEmpty())
            continue;
        if (const int line = exact.value(wanted[k]); line >= 0) {
            lines[k] = line;
            continue;
        }
        const qsizetype at = all.indexOf(wanted[k]);
        const int line = at >= 0 ? pool.lineAt(at) : -1;
        lines[k] = line < pool.count() ? line : -1;
    }
    return lines;
}

std::optional<QString> PresetWinners::load(const ConfigStore& store, const EntrantPool& pool,
                                           const QDate& today) {
    reset(today);
    const QString section = QStringLiteral("Setting");
    // Every entry is read first and all are looked up in the pool together; an entry that is not
    // cipher text ends the reading, and the entries before it are still placed.
    QStringList texts;
    QList<std::pair<int, int>> places;
    std::optional<QString> error;
    for (int slot = 0; slot < kRows && !error; ++slot) {
        for (int j = 0; j < 3; ++j) {
            const QString cipher =
                store.readString(section, QStringLiteral("%1c%2").arg(slot).arg(j + 1), QString());
            if (cipher.isEmpty())
                continue;
            try {
                texts << FunctionUnit::decode(cipher, kCipherKey);
            } catch (const OperationError& failure) {
                error = failure.message();
                break;
            }
            places.append({slot, j});
        }
    }
    const std::vector<int> lines = resolveAll(texts, pool);
    for (qsizetype k = 0; k < places.size(); ++k) {
        const int line = lines[static_cast<std::size_t>(k)];
        if (line < 0)
            continue;
        // Every named entrant stays out of random drawing, also once its entry is used up.
        m_excluded.insert(pool.name(line));
        if (!m_usedUp[places[k].first][places[k].second])
            m_table[places[k].first][places[k].second] = line;
    }
    if (error)
        return error;
    m_date = store.readDate(section, QStringLiteral("Date"), today);
    m_time = store.readString(section, QStringLiteral("Time"), QString());
    m_useCount = std::max(m_highestUseCount, store.readInteger(section, QStringLiteral("Times"), 0));
    m_highestUseCount = m_useCount;
    m_allowedCount = store.readInteger(section, QStringLiteral("allowtimes"), 0);
    return std::nullopt;
}

std::optional<int> PresetWinners::take(int slot, int k, const QDateTime& now) {
    const int line = entry(slot, k);
    if (line < 0)
        return std::nullopt;
    // The time is compared as text: an empty pre-set time is passed by every time, "9:00" by none.
    const bool holds =
        now.date() == m_date && now.toString(QStringLiteral("hh:mm")) > m_time && m_useCount < m_allowedCount;
    if (!holds)
        return std::nullopt;
    m_table[slot][k] = -1;
    m_usedUp[slot][k] = true;
    return line;
}
