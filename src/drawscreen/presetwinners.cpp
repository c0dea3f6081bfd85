#include "presetwinners.h"

#include "configstore.h"
#include "entrantpool.h"
#include "functionunit.h"
#include "operationerror.h"

#include <algorithm>

void PresetWinners::reset(const QDate& today) {
    for (auto& row : m_table)
        row.fill(-1);
    m_excluded.clear();
    m_date = today.addDays(1);
    m_time = QStringLiteral("00:00");
    m_useCount = 0;
    m_allowedCount = 0;
}

int PresetWinners::entry(int slot, int k) const {
    if (slot < 0 || slot >= kRows || k < 0 || k >= 3)
        return -1;
    return m_table[slot][k];
}

int PresetWinners::resolve(const QString& text, const EntrantPool& pool) {
    const QStringView wanted = EntrantPool::trimmed(text);
    if (wanted.isEmpty() || wanted.contains(QLatin1Char('\n')) || wanted.contains(QLatin1Char('\r')))
        return -1;
    // Every line holding the text is found through the text of the whole pool; the first whose
    // whole (trimmed) text is the entrant wins, else the first that holds it.
    const QString& all = pool.text();
    int firstContaining = -1;
    for (qsizetype at = all.indexOf(wanted); at >= 0;) {
        const int line = pool.lineAt(at);
        if (line >= pool.count())
            break;
        if (EntrantPool::trimmed(pool.line(line)) == wanted)
            return line;
        if (firstContaining < 0)
            firstContaining = line;
        // Go on after this line.
        const QStringView rest = pool.line(line);
        const qsizetype lineEnd = (rest.data() - all.constData()) + rest.size();
        at = all.indexOf(wanted, std::max(lineEnd, at + 1));
    }
    return firstContaining;
}

std::optional<QString> PresetWinners::load(const ConfigStore& store, const EntrantPool& pool,
                                           const QDate& today) {
    reset(today);
    const QString section = QStringLiteral("Setting");
    for (int slot = 0; slot < kRows; ++slot) {
        for (int j = 1; j <= 3; ++j) {
            const QString cipher =
                store.readString(section, QStringLiteral("%1c%2").arg(slot).arg(j), QString());
            if (cipher.isEmpty())
                continue;
            QString text;
            try {
                text = FunctionUnit::decode(cipher, kCipherKey);
            } catch (const OperationError& error) {
                return error.message();
            }
            const int line = resolve(text, pool);
            if (line < 0)
                continue;
            m_table[slot][j - 1] = line;
            m_excluded.insert(pool.name(line));
        }
    }
    m_date = store.readDate(section, QStringLiteral("Date"), today);
    m_time = store.readString(section, QStringLiteral("Time"), QString());
    m_useCount = store.readInteger(section, QStringLiteral("Times"), 0);
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
    return line;
}
