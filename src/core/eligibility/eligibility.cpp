#include "eligibility.h"

#include "drawmodel.h"
#include "presence.h"
#include "winnerlists.h"

#include <algorithm>

int Eligibility::Candidates::domainSize() const {
    return m_domain ? static_cast<int>(m_domain->size()) : m_pool->count();
}

int Eligibility::Candidates::positionAt(int index) const {
    return m_domain ? (*m_domain)[static_cast<std::size_t>(index)] : index;
}

bool Eligibility::Candidates::mayWin(const QString& name) const {
    if (m_repeatAllowed)
        return true;
    return m_winnersMay ? !m_wonThisPrize.contains(name) : !m_lists->hasWon(name);
}

bool Eligibility::Candidates::admitsName(const QString& name) const {
    return !name.isEmpty() && !(m_presets && m_presets->isExcluded(name)) && mayWin(name);
}

bool Eligibility::Candidates::inRule(int position) const {
    return !m_ruleLines || std::binary_search(m_ruleLines->begin(), m_ruleLines->end(), position);
}

bool Eligibility::Candidates::present(int position) const {
    return !m_present || (position >= 0 && static_cast<std::size_t>(position) < m_present->size() &&
                          (*m_present)[position]);
}

std::vector<int> Eligibility::Candidates::admitted() const {
    std::vector<int> lines;
    const int size = domainSize();
    for (int i = 0; i < size; ++i) {
        const int position = positionAt(i);
        if (admitsName(m_pool->name(position)))
            lines.push_back(position);
    }
    return lines;
}

int Eligibility::Candidates::count() const {
    int n = 0;
    const int size = domainSize();
    for (int i = 0; i < size; ++i)
        n += admitsName(m_pool->name(positionAt(i))) ? 1 : 0;
    return n;
}

Eligibility::Eligibility(const DrawModel& model, const WinnerLists& lists) : m_model(model), m_lists(lists) {}

bool Eligibility::onlyPresent() const {
    return m_presence && m_presence->onlyPresent();
}

bool Eligibility::isFiltered(int slot) const {
    return onlyPresent() || m_model.rules.at(slot).restricts();
}

Eligibility::Candidates Eligibility::candidates(int slot, Draw draw, bool repeatAllowed) const {
    return candidates(slot, m_model.rules.at(slot), draw, repeatAllowed);
}

Eligibility::Candidates Eligibility::candidates(int slot, const PrizeRule& rule, Draw /*draw*/,
                                                bool repeatAllowed) const {
    Candidates c;
    const EntrantPool& pool = m_model.pool;
    c.m_pool = &pool;
    // The entrants fixed in advance are never drawn at random, neither in a main draw nor in a
    // supplementary one (their place is kept for the draw they are fixed for).
    c.m_presets = &m_model.presets;
    c.m_lists = &m_lists;
    c.m_repeatAllowed = repeatAllowed;
    c.m_winnersMay = slot >= 0 && slot < DrawModel::kSlots && rule.winnersMay && !repeatAllowed;
    if (c.m_winnersMay) {
        // Winners of other prizes may take part; a winner of this prize, cancelled or not, may not.
        const QString prize = m_model.slots[slot].name;
        const int lines = static_cast<int>(m_lists.all().size());
        for (int i = 0; i < lines; ++i) {
            const QString name = m_lists.nameAt(i);
            if (!name.isEmpty() && m_lists.prizeAt(i) == prize)
                c.m_wonThisPrize.insert(name);
        }
    }
    if (rule.restricts())
        c.m_ruleLines = ruleLines(rule);
    if (onlyPresent()) {
        auto mask = std::make_shared<std::vector<bool>>(m_presence->presentMask());
        // A mask of another list than the pool leaves nobody present rather than the wrong people.
        if (mask->size() != static_cast<std::size_t>(pool.count()))
            mask->assign(static_cast<std::size_t>(pool.count()), false);
        c.m_present = std::move(mask);
    }
    if (!c.m_present) {
        c.m_domain = c.m_ruleLines;
        return c;
    }
    auto domain = std::make_shared<std::vector<int>>();
    const std::vector<bool>& mask = *c.m_present;
    if (c.m_ruleLines) {
        for (int position : *c.m_ruleLines)
            if (mask[static_cast<std::size_t>(position)])
                domain->push_back(position);
    } else {
        for (int position = 0; position < pool.count(); ++position)
            if (mask[static_cast<std::size_t>(position)] &&
                !EntrantPool::trimmed(pool.line(position)).isEmpty())
                domain->push_back(position);
    }
    c.m_domain = std::move(domain);
    return c;
}

std::shared_ptr<const std::vector<int>> Eligibility::ruleLines(const PrizeRule& rule) const {
    const EntrantPool& pool = m_model.pool;
    if (pool.generation() != m_cachedGeneration) {
        m_ruleCache.clear();
        m_cachedGeneration = pool.generation();
    }
    const QString key = rule.wordsKey();
    if (const auto cached = m_ruleCache.constFind(key); cached != m_ruleCache.constEnd())
        return *cached;
    auto lines = std::make_shared<std::vector<int>>();
    const RuleMatcher matcher(rule);
    for (int position = 0; position < pool.count(); ++position) {
        const QStringView line = EntrantPool::trimmed(pool.line(position));
        if (!line.isEmpty() && matcher.admits(line))
            lines->push_back(position);
    }
    lines->shrink_to_fit();
    // The settings page asks about every rule as it is typed: a few are kept, not every one.
    if (m_ruleCache.size() >= 32)
        m_ruleCache.clear();
    m_ruleCache.insert(key, lines);
    return lines;
}

int Eligibility::ruleCount(const PrizeRule& rule) const {
    if (rule.restricts())
        return static_cast<int>(ruleLines(rule)->size());
    int n = 0;
    for (int position = 0; position < m_model.pool.count(); ++position)
        n += EntrantPool::trimmed(m_model.pool.line(position)).isEmpty() ? 0 : 1;
    return n;
}

int Eligibility::drawableCount(int slot, bool repeatAllowed) const {
    const Candidates c = candidates(slot, Draw::Main, repeatAllowed);
    // Check-ins come and go; the lines of those present are few and counted afresh.
    if (!c.m_domain || c.m_present)
        return c.count();
    const QString prize = c.m_winnersMay ? m_model.slots[slot].name : QString();
    const qsizetype lines = m_lists.all().size();
    if (m_count && m_count->domain == c.m_domain && m_count->repeatAllowed == repeatAllowed &&
        m_count->winnersMay == c.m_winnersMay && m_count->prize == prize &&
        m_count->listsRevision == m_lists.revision() &&
        m_count->presetsRevision == m_model.presets.revision() && m_count->linesSeen <= lines) {
        // Only lines were added: the entrants they name are no longer drawable (unless repeats are
        // allowed, or, under the prize's rule, they won another prize).
        for (qsizetype i = m_count->linesSeen; i < lines && !repeatAllowed; ++i) {
            const int at = static_cast<int>(i);
            if (c.m_winnersMay && m_lists.prizeAt(at) != prize)
                continue;
            const auto found = m_count->counted.constFind(m_lists.nameAt(at));
            if (found != m_count->counted.constEnd()) {
                m_count->count -= *found;
                m_count->counted.erase(found);
            }
        }
        m_count->linesSeen = lines;
        return m_count->count;
    }
    Count fresh{c.m_domain,
                repeatAllowed,
                c.m_winnersMay,
                prize,
                m_lists.revision(),
                m_model.presets.revision(),
                lines,
                0,
                {}};
    for (int position : *c.m_domain) {
        QString name = m_model.pool.name(position);
        if (c.admitsName(name)) {
            ++fresh.count;
            ++fresh.counted[name];
        }
    }
    m_count = std::move(fresh);
    return m_count->count;
}

QString Eligibility::drawableNote(int slot, bool repeatAllowed) const {
    if (!isFiltered(slot))
        return {};
    return QStringLiteral("可抽 %1 人").arg(drawableCount(slot, repeatAllowed));
}

QString Eligibility::refusal(const PrizeRules& rules, const QStringList& prizeNames) const {
    const auto prize = [&prizeNames](int slot) {
        const QString name = slot < prizeNames.size() ? prizeNames.at(slot).trimmed() : QString();
        return name.isEmpty() ? QStringLiteral("第%1个奖项").arg(slot + 1)
                              : QStringLiteral("「%1」").arg(name);
    };
    if (const auto tooLong = rules.tooLong())
        return QStringLiteral("%1的“%2”词语太长（最多 %3 字节），请删减后再保存。\n抽奖范围未保存。")
            .arg(prize(tooLong->first), tooLong->second)
            .arg(PrizeRules::kMaxValueBytes);
    // Before an entrant list is loaded there is nobody to judge a rule by.
    if (m_model.pool.count() == 0)
        return {};
    QStringList empty;
    for (int slot = 0; slot < PrizeRules::kSlots; ++slot)
        if (rules.slots[slot].restricts() && ruleCount(rules.slots[slot]) == 0)
            empty << prize(slot);
    if (empty.isEmpty())
        return {};
    return QStringLiteral("%1的抽奖范围在抽奖名单中没有符合的人员，这样的奖项无人可抽。\n"
                          "请检查“只限”和“排除”的词语：词语须与名单中的一栏完全相同。\n抽奖范围未保存。")
        .arg(empty.join(QStringLiteral("、")));
}
