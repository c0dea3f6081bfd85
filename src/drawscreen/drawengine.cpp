#include "drawengine.h"

#include "clock.h"
#include "drawmodel.h"
#include "functionunit.h"
#include "randomsource.h"
#include "winnerlists.h"

#include <QSet>
#include <vector>

namespace {
// After this many rejected candidates in a row the pick stops guessing and draws from the list of
// those who can still win, which also tells when nobody is left.
constexpr int kGuesses = 256;

std::uint32_t supplementaryDigits(std::uint32_t tick, int) {
    return DrawEngine::supplementaryTickDigits(tick);
}
} // namespace

DrawEngine::DrawEngine(DrawModel& model, WinnerLists& lists) : m_model(model), m_lists(lists) {}

std::uint32_t DrawEngine::tickDigits(std::uint32_t tick, int poolCount) {
    const QByteArray digits = QByteArray::number(tick);
    return FunctionUnit::rightPart(digits, poolCount < 1000 ? 2 : 3).toUInt();
}

std::uint32_t DrawEngine::supplementaryTickDigits(std::uint32_t tick) {
    return FunctionUnit::rightPart(QByteArray::number(tick), 3).toUInt();
}

int DrawEngine::drawPosition(std::uint32_t (*digits)(std::uint32_t, int)) {
    const int n = m_model.pool.count();
    RandomSource& random = RandomSource::instance();
    for (;;) {
        // The tick digits widen the range; results past the pool are drawn again, so every line keeps
        // the same chance.
        const std::uint32_t v = digits(Clock::instance().tickCount(), n);
        const std::uint32_t r = random.bounded(v + static_cast<std::uint32_t>(n));
        if (r < static_cast<std::uint32_t>(n))
            return static_cast<int>(r);
    }
}

std::optional<QString> DrawEngine::pickOne(std::uint32_t (*digits)(std::uint32_t, int),
                                           const Accept& accept) {
    const int n = m_model.pool.count();
    if (n <= 0)
        return std::nullopt;
    for (int guess = 0; guess < kGuesses; ++guess) {
        QString name = m_model.pool.name(drawPosition(digits));
        if (accept(name))
            return name;
    }
    // Many refusals in a row: most of the pool is out. Draw uniformly among the lines still
    // eligible, which is the same chance for each as guessing on would give.
    std::vector<int> eligible;
    for (int i = 0; i < n; ++i)
        if (accept(m_model.pool.name(i)))
            eligible.push_back(i);
    if (eligible.empty())
        return std::nullopt;
    const auto pick = RandomSource::instance().bounded(static_cast<std::uint32_t>(eligible.size()));
    return m_model.pool.name(eligible[pick]);
}

QStringList DrawEngine::pickWinners(int slot, int n, bool repeatAllowed) {
    QStringList winners;
    QSet<QString> wonNow;
    // Nobody wins twice within one draw. Repeats allowed means that earlier draws' winners may win
    // again; only when no distinct eligible entrant is left does a draw with repeats name someone of
    // this draw once more (prizes that outnumber the entrants).
    const auto eligible = [&](const QString& name) {
        return !name.isEmpty() && !m_model.presets.isExcluded(name) &&
               (repeatAllowed || !m_lists.hasWon(name));
    };
    const Accept distinct = [&](const QString& name) { return eligible(name) && !wonNow.contains(name); };
    for (int k = 0; k < n; ++k) {
        std::optional<QString> winner;
        if (const auto preset = m_model.presets.take(slot, k, Clock::instance().now())) {
            // The pre-set winner is placed once in a draw (a second entry naming the same entrant
            // leaves its place to chance), and not again once it has won, unless repeats are allowed.
            const QString name = m_model.pool.name(*preset);
            if (!wonNow.contains(name) && (repeatAllowed || !m_lists.hasWon(name))) {
                winner = name;
                m_model.presetUsed = true;
            }
        }
        if (!winner)
            winner = pickOne(&DrawEngine::tickDigits, distinct);
        if (!winner && repeatAllowed)
            winner = pickOne(&DrawEngine::tickDigits, eligible);
        if (!winner)
            break;
        wonNow.insert(*winner);
        winners << *winner;
    }
    return winners;
}

std::optional<QString> DrawEngine::pickSupplementary(bool repeatAllowed) {
    return pickOne(&supplementaryDigits, [&](const QString& name) {
        return !name.isEmpty() && (repeatAllowed || !m_lists.hasWon(name));
    });
}

QStringList DrawEngine::rollingLines(int count) const {
    QStringList lines;
    const int n = m_model.pool.count();
    if (n <= 0)
        return lines;
    RandomSource& random = RandomSource::instance();
    for (int i = 0; i < count; ++i)
        lines
            << m_model.pool.line(static_cast<int>(random.bounded(static_cast<std::uint32_t>(n)))).toString();
    return lines;
}
