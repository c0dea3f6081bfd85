#include "presetwinners.h"

#include "configstore.h"
#include "entrantpool.h"
#include "functionunit.h"
#include "operationerror.h"

#include <algorithm>
#include <array>
#include <thread>

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

namespace {
// A filter of 65,536 bits (8 KB) over 16-bit hashes.
class BitFilter {
public:
    void set(quint32 h) { m_bits[(h & 0xFFFF) >> 6] |= quint64(1) << (h & 63); }
    bool test(quint32 h) const { return m_bits[(h & 0xFFFF) >> 6] >> (h & 63) & 1; }

private:
    std::vector<quint64> m_bits = std::vector<quint64>(1024);
};

// Up to the first four UTF-16 units of a text, packed; the mask keeps as many as the text has.
quint64 packed(const char16_t* at, qsizetype available) {
    quint64 key = 0;
    for (qsizetype j = 0; j < 4 && j < available; ++j)
        key |= quint64(at[j]) << (16 * j);
    return key;
}

quint32 mix(quint64 key) {
    key *= 0x9E3779B97F4A7C15ull;
    return static_cast<quint32>(key >> 40);
}
} // namespace

std::vector<int> PresetWinners::resolveAll(const QStringList& texts, const EntrantPool& pool) {
    // One pass over the pool text finds, for every text at once, the first line that is exactly the
    // text (trimmed) and the first line that holds it. A position is compared with the texts only when
    // its first character, its first two and its first four pass three bit filters built from them.
    struct Wanted {
        QStringView text;
        quint64 head = 0;     // its first (up to four) characters, packed
        quint64 headMask = 0; // the bits of head that it has
        qsizetype first = -1; // the first position that holds the text
        qsizetype whole = -1; // the first position where it is a whole line
    };
    std::vector<Wanted> wanted;
    std::vector<int> of(static_cast<std::size_t>(texts.size()), -1);
    // begins: first characters; pairs: first two characters of texts of two or more; longPairs: the
    // pairs that begin only texts of four or more, for which heads (the first four) must match too.
    BitFilter begins, pairs, shortPairs, heads;
    for (qsizetype k = 0; k < texts.size(); ++k) {
        const QStringView w = EntrantPool::trimmed(texts.at(k));
        if (w.isEmpty() || w.contains(QLatin1Char('\n')) || w.contains(QLatin1Char('\r')))
            continue;
        const auto same =
            std::find_if(wanted.begin(), wanted.end(), [&](const Wanted& x) { return x.text == w; });
        of[static_cast<std::size_t>(k)] = static_cast<int>(same - wanted.begin());
        if (same != wanted.end())
            continue;
        const auto* chars = reinterpret_cast<const char16_t*>(w.data());
        const qsizetype n = std::min<qsizetype>(w.size(), 4);
        const quint64 mask = n == 4 ? ~quint64(0) : (quint64(1) << (16 * n)) - 1;
        wanted.push_back({w, packed(chars, n), mask});
        begins.set(chars[0]);
        // Texts of one character pass the pair and head filters with any character after them.
        if (n >= 2)
            pairs.set(mix(packed(chars, 2)));
        if (n >= 2 && n < 4)
            shortPairs.set(mix(packed(chars, 2)));
        if (n >= 4)
            heads.set(mix(packed(chars, 4)));
    }
    const bool anySingle =
        std::any_of(wanted.begin(), wanted.end(), [](const Wanted& w) { return w.text.size() == 1; });

    const QString& all = pool.text();
    const char16_t* text = reinterpret_cast<const char16_t*>(all.constData());
    const qsizetype size = all.size();
    const auto isBreak = [](char16_t c) { return c == u'\r' || c == u'\n'; };
    const auto isBlank = [&](char16_t c) { return c <= 0x20 && !isBreak(c); };
    struct Found {
        qsizetype first = -1;
        qsizetype whole = -1;
    };
    // The texts' first and first whole-line positions among the positions from..to (a text may reach
    // past to).
    const auto scan = [&](qsizetype from, qsizetype to, std::vector<Found>& found) {
        std::size_t open = wanted.size(); // texts whose whole line is still to be found
        for (qsizetype i = from; i < to && open > 0; ++i) {
            if (!begins.test(text[i]))
                continue;
            const quint64 here = packed(text + i, size - i);
            if (!anySingle) {
                const quint32 pair = mix(here & 0xFFFFFFFFull);
                if (!pairs.test(pair) || (!shortPairs.test(pair) && !heads.test(mix(here))))
                    continue;
            }
            for (std::size_t k = 0; k < wanted.size(); ++k) {
                const Wanted& w = wanted[k];
                Found& f = found[k];
                if (f.whole >= 0 || (here & w.headMask) != w.head || w.text.size() > size - i ||
                    QStringView(text + i, w.text.size()) != w.text)
                    continue;
                if (f.first < 0)
                    f.first = i;
                qsizetype before = i;
                while (before > 0 && isBlank(text[before - 1]))
                    --before;
                qsizetype after = i + w.text.size();
                while (after < size && isBlank(text[after]))
                    ++after;
                if ((before == 0 || isBreak(text[before - 1])) && (after == size || isBreak(text[after]))) {
                    f.whole = i;
                    --open;
                }
            }
        }
    };
    // A list of more than 256K characters (some 30,000 entrants) is read by two threads, one half each:
    // the pool load waits for this.
    std::vector<Found> found(wanted.size());
    if (size < (qsizetype(1) << 18)) {
        scan(0, size, found);
    } else {
        std::vector<Found> later(wanted.size());
        const qsizetype half = size / 2;
        std::thread second([&] { scan(half, size, later); });
        scan(0, half, found);
        second.join();
        for (std::size_t k = 0; k < found.size(); ++k) {
            if (found[k].first < 0)
                found[k].first = later[k].first;
            if (found[k].whole < 0)
                found[k].whole = later[k].whole;
        }
    }
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        wanted[k].first = found[k].first;
        wanted[k].whole = found[k].whole;
    }

    std::vector<int> lines(static_cast<std::size_t>(texts.size()), -1);
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (of[k] < 0)
            continue;
        const Wanted& w = wanted[static_cast<std::size_t>(of[k])];
        const qsizetype at = w.whole >= 0 ? w.whole : w.first;
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
    // The run's own count, written at the stop of its first pre-set draw, is not the count before it.
    const int times = store.readInteger(section, QStringLiteral("Times"), 0);
    m_useCount = std::max(m_highestUseCount, m_countedAs && times == *m_countedAs ? times - 1 : times);
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
