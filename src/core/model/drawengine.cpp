#include "drawengine.h"

#include "clock.h"
#include "drawmodel.h"
#include "functionunit.h"
#include "randomsource.h"
#include "winnerlists.h"

#include <QSet>

#include <algorithm>

namespace {
// After this many rejected candidates in a row the pick stops guessing and draws from the list of
// those who can still win, which also tells when nobody is left.
constexpr int kGuesses = 256;
// While check-in only is on, the rolling display takes in new check-ins this often (ms).
constexpr std::uint32_t kRollRefreshMs = 1000;

std::uint32_t supplementaryDigits(std::uint32_t tick, int) {
    return DrawEngine::supplementaryTickDigits(tick);
}
} // namespace

DrawEngine::DrawEngine(DrawModel& model, WinnerLists& lists)
    : m_model(model), m_lists(lists), m_eligibility(model, lists) {}

std::uint32_t DrawEngine::tickDigits(std::uint32_t tick, int poolCount) {
    const QByteArray digits = QByteArray::number(tick);
    return FunctionUnit::rightPart(digits, poolCount < 1000 ? 2 : 3).toUInt();
}

std::uint32_t DrawEngine::supplementaryTickDigits(std::uint32_t tick) {
    return FunctionUnit::rightPart(QByteArray::number(tick), 3).toUInt();
}

int DrawEngine::drawIndex(Digits digits, int size) {
    RandomSource& random = RandomSource::instance();
    for (;;) {
        // The tick digits widen the range; results past the end are drawn again, so every line keeps
        // the same chance.
        const std::uint32_t v = digits(Clock::instance().tickCount(), size);
        const std::uint32_t r = random.bounded(v + static_cast<std::uint32_t>(size));
        if (r < static_cast<std::uint32_t>(size))
            return static_cast<int>(r);
    }
}

std::optional<QString> DrawEngine::pickOne(const Eligibility::Candidates& candidates, Digits digits,
                                           const Accept& accept, const Fallback& fallback) {
    const int size = candidates.domainSize();
    if (size <= 0)
        return std::nullopt;
    for (int guess = 0; guess < kGuesses; ++guess) {
        QString name = m_model.pool.name(candidates.positionAt(drawIndex(digits, size)));
        if (accept(name))
            return name;
    }
    // Many refusals in a row: most of the lines are out. Draw uniformly among the lines still
    // eligible, which is the same chance for each as guessing on would give.
    const std::vector<int>& eligible = fallback();
    if (eligible.empty())
        return std::nullopt;
    const auto pick = RandomSource::instance().bounded(static_cast<std::uint32_t>(eligible.size()));
    return m_model.pool.name(eligible[pick]);
}

QStringList DrawEngine::pickWinners(int slot, int n, bool repeatAllowed) {
    const Eligibility::Candidates candidates =
        m_eligibility.candidates(slot, Eligibility::Draw::Main, repeatAllowed);
    QStringList winners;
    QSet<QString> wonNow;
    // The lines that can be drawn, worked out when the guessing first gives up, and those of them not
    // named in this draw yet (kept up to date from then on).
    std::optional<std::vector<int>> eligibleLines;
    std::optional<std::vector<int>> distinctLines;
    const auto named = [this](int position, const QString& name) {
        return EntrantPool::trimmed(m_model.pool.line(position)) == name;
    };
    const Fallback allEligible = [&]() -> const std::vector<int>& {
        if (!eligibleLines)
            eligibleLines = candidates.admitted();
        return *eligibleLines;
    };
    const Fallback distinctEligible = [&]() -> const std::vector<int>& {
        if (!distinctLines) {
            distinctLines = allEligible();
            std::erase_if(*distinctLines,
                          [&](int position) { return wonNow.contains(m_model.pool.name(position)); });
        }
        return *distinctLines;
    };
    const auto noteWinner = [&](const QString& name) {
        wonNow.insert(name);
        winners << name;
        if (distinctLines)
            std::erase_if(*distinctLines, [&](int position) { return named(position, name); });
    };

    // Nobody wins twice within one draw. Repeats allowed means that earlier draws' winners may win
    // again; only when no distinct eligible entrant is left does a draw with repeats name someone of
    // this draw once more (prizes that outnumber the entrants).
    const Accept eligible = [&](const QString& name) { return candidates.admitsName(name); };
    const Accept distinct = [&](const QString& name) { return eligible(name) && !wonNow.contains(name); };
    m_presetsOutside.clear();
    for (int k = 0; k < n; ++k) {
        std::optional<QString> winner;
        if (const auto preset = m_model.presets.take(slot, k, Clock::instance().now())) {
            // The pre-set winner is placed once in a draw (a second entry naming the same entrant
            // leaves its place to chance), and not again once it has won, unless repeats (or the
            // prize's rule) allow it. It was chosen on purpose: the rule and check-in do not keep it
            // out, but the operator hears of it.
            const QString name = m_model.pool.name(*preset);
            if (!wonNow.contains(name) && candidates.mayWin(name)) {
                winner = name;
                m_model.presetUsed = true;
                const bool outsideRule = !candidates.inRule(*preset);
                const bool absent = !candidates.present(*preset);
                if (outsideRule || absent) {
                    const QString prize = m_model.slots[slot].name;
                    m_presetsOutside << QString(name).replace(QLatin1Char('\t'), QLatin1Char(' ')) +
                                            QStringLiteral("（") +
                                            (outsideRule ? QStringLiteral("不在「%1」的抽奖范围内").arg(prize)
                                                         : QString()) +
                                            (outsideRule && absent ? QStringLiteral("，") : QString()) +
                                            (absent ? QStringLiteral("尚未签到") : QString()) +
                                            QStringLiteral("）");
                }
            }
        }
        if (!winner)
            winner = pickOne(candidates, &DrawEngine::tickDigits, distinct, distinctEligible);
        if (!winner && repeatAllowed)
            winner = pickOne(candidates, &DrawEngine::tickDigits, eligible, allEligible);
        if (!winner)
            break;
        noteWinner(*winner);
    }
    return winners;
}

QString DrawEngine::takePresetNotice() {
    if (m_presetsOutside.isEmpty() || m_presetNoticeGiven)
        return {};
    m_presetNoticeGiven = true;
    return QStringLiteral("以下预设中奖人员仍按预设中奖：\n%1\n\n（本次运行中此提示只出现一次）")
        .arg(m_presetsOutside.join(QLatin1Char('\n')));
}

std::optional<QString> DrawEngine::pickSupplementary(bool repeatAllowed, int slot) {
    const Eligibility::Candidates candidates =
        m_eligibility.candidates(slot, Eligibility::Draw::Supplementary, repeatAllowed);
    std::optional<std::vector<int>> eligibleLines;
    return pickOne(
        candidates, &supplementaryDigits, [&](const QString& name) { return candidates.admitsName(name); },
        [&]() -> const std::vector<int>& {
            if (!eligibleLines)
                eligibleLines = candidates.admitted();
            return *eligibleLines;
        });
}

namespace {
// count different lines among size positions, each named by a different name: distinct indices
// drawn by rejection (a frame holds ten or so, so a linear look-up is cheapest), all of them in a
// random order when there are no more than count. A pool whose lines repeat a few names gives a
// shorter frame once the tries run out rather than a name twice.
template <typename Line> QStringList distinctFrame(int count, int size, const Line& line) {
    QStringList lines;
    if (count <= 0 || size <= 0)
        return lines;
    RandomSource& random = RandomSource::instance();
    const auto fresh = [&](const QString& text) {
        const QStringView name = EntrantPool::trimmed(text);
        return std::none_of(lines.cbegin(), lines.cend(),
                            [&](const QString& shown) { return EntrantPool::trimmed(shown) == name; });
    };
    if (size <= count) {
        std::vector<int> order(static_cast<std::size_t>(size));
        for (int i = 0; i < size; ++i)
            order[static_cast<std::size_t>(i)] = i;
        for (int i = size - 1; i > 0; --i)
            std::swap(order[static_cast<std::size_t>(i)],
                      order[random.bounded(static_cast<std::uint32_t>(i + 1))]);
        for (const int at : order)
            if (QString text = line(at); fresh(text))
                lines << std::move(text);
        return lines;
    }
    std::vector<int> taken;
    for (int tries = 0; lines.size() < count && tries < 32 * count; ++tries) {
        const int at = static_cast<int>(random.bounded(static_cast<std::uint32_t>(size)));
        if (std::find(taken.begin(), taken.end(), at) != taken.end())
            continue;
        taken.push_back(at);
        if (QString text = line(at); fresh(text))
            lines << std::move(text);
    }
    return lines;
}
} // namespace

QStringList DrawEngine::rollingLines(int count, int slot, Eligibility::Draw draw, bool repeatAllowed) {
    if (m_model.pool.count() <= 0)
        return {};
    // The audience sees only names that can be drawn: the lines the draw itself takes from, without
    // blank lines, pre-set entrants and, with repeats off, those who have won. One frame never shows a
    // name twice: a name rolling twice at once reads as rigged from the hall.
    const std::uint32_t now = Clock::instance().tickCount();
    if (!m_roll || m_roll->slot != slot || m_roll->draw != draw || m_roll->repeatAllowed != repeatAllowed ||
        m_roll->listsRevision != m_lists.revision() ||
        m_roll->presetsRevision != m_model.presets.revision() ||
        m_roll->poolGeneration != m_model.pool.generation() ||
        (m_eligibility.onlyPresent() && now - m_roll->madeAt >= kRollRefreshMs)) {
        m_roll = Roll{slot,
                      draw,
                      repeatAllowed,
                      now,
                      m_lists.revision(),
                      m_model.presets.revision(),
                      m_model.pool.generation(),
                      m_eligibility.candidates(slot, draw, repeatAllowed).admitted()};
    }
    const std::vector<int>& rolling = m_roll->lines;
    return distinctFrame(count, static_cast<int>(rolling.size()), [&](int at) {
        return m_model.pool.line(rolling[static_cast<std::size_t>(at)]).toString();
    });
}
