#pragma once

#include <QDate>
#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

class ConfigStore;
class EntrantPool;

// Winners fixed in advance: up to three per prize, named by enciphered entries Setting/<s>c<j> of
// prize.db (s the prize's slot 0..7, j 1..3, key "5817"). While their date, time and count conditions
// hold, winner j-1 of a draw of that prize is the named entrant; the named entrants are never drawn at
// random.
class PresetWinners {
public:
    static constexpr int kRows = 8;
    static constexpr int kEntries = 500;
    inline static const QString kCipherKey = QStringLiteral("5817");

    PresetWinners() { reset(); }

    // Every entry empty; a date (tomorrow) and counts under which nothing can be placed.
    void reset(const QDate& today = QDate::currentDate());

    // Rebuilds the table from prize.db. Each entry takes the pool line equal to its text (both
    // trimmed), else the first line containing it; a text in no line is skipped. A value that is not
    // cipher text stops the load: the entries read before it stay, and the conditions keep the values
    // of reset(), so nothing is placed until a later load succeeds. Returns that error's message.
    std::optional<QString> load(const ConfigStore& store, const EntrantPool& pool, const QDate& today);

    // The pre-set winner for winner number k of a draw of the slot, when its entry exists and the
    // conditions hold at `now`: the entry's pool position, and the entry is used up for the rest of
    // the run (a later load, after the entrant list was imported again, leaves it out).
    std::optional<int> take(int slot, int k, const QDateTime& now);

    // Whether an entrant (a trimmed pool line) is named by a loaded entry.
    bool isExcluded(const QString& name) const { return m_excluded.contains(name); }
    int entry(int slot, int k) const;
    const QDate& date() const { return m_date; }
    const QString& time() const { return m_time; }
    // Setting/Times as read by the loads of this run: the highest count read so far, also after a
    // load that failed, so the exit record never writes a smaller count than the store held.
    int useCount() const { return m_useCount; }
    // Setting/Times for a run that placed a pre-set winner (presetUsed) and is not counted yet: one
    // more than useCount(); nothing otherwise.
    std::optional<int> uncountedRun(bool presetUsed) const {
        return presetUsed && !m_countedAs ? std::optional<int>(m_useCount + 1) : std::nullopt;
    }
    // The run is counted: Setting/Times holds times (written with the draw's save). A later load
    // reads that value as this run's own count, so the run is never counted twice and the entries
    // still hold for the rest of the run as they did before.
    void runCounted(int times) { m_countedAs = times; }
    // Changes whenever the entries are set anew (reset, load), so the excluded entrants may differ.
    quint64 revision() const { return m_revision; }
    int allowedCount() const { return m_allowedCount; }

    // The pool line a pre-set text names, or -1.
    static int resolve(const QString& text, const EntrantPool& pool);
    // The same for several texts at once, in their order, with one pass over the pool for all.
    static std::vector<int> resolveAll(const QStringList& texts, const EntrantPool& pool);

private:
    std::array<std::array<int, 3>, kRows> m_table{};
    std::array<std::array<bool, 3>, kRows> m_usedUp{};
    QSet<QString> m_excluded;
    QDate m_date;
    QString m_time;
    int m_useCount = 0;
    int m_highestUseCount = 0;
    std::optional<int> m_countedAs; // what this run wrote to Setting/Times
    int m_allowedCount = 0;
    quint64 m_revision = 0;
};
