#include "prizerules.h"

#include "configstore.h"
#include "entrantfields.h"
#include "textcodec.h"

#include <QRegularExpression>
#include <algorithm>

namespace {
QString key(const char* stem, int slot) {
    return QLatin1String(stem) + QString::number(slot + 1);
}
} // namespace

RuleMatcher::RuleMatcher(const PrizeRule& rule) {
    const auto prepare = [](const QStringList& words, Words& prepared) {
        for (const QString& word : words)
            prepared.byHash.emplace_back(EntrantFields::hash(word), word);
        std::sort(prepared.byHash.begin(), prepared.byHash.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
    };
    prepare(rule.only, m_only);
    prepare(rule.except, m_except);
}

bool RuleMatcher::Words::holdsAny(QStringView line) const {
    bool found = false;
    EntrantFields::forEachField(line, [&](QStringView field) {
        if (found)
            return;
        const std::uint64_t hash = EntrantFields::hash(field);
        auto it = std::lower_bound(byHash.begin(), byHash.end(), hash,
                                   [](const auto& entry, std::uint64_t h) { return entry.first < h; });
        // Equal hashes of different words are told apart by the words themselves.
        for (; it != byHash.end() && it->first == hash && !found; ++it)
            found = EntrantFields::same(field, it->second);
    });
    return found;
}

bool RuleMatcher::admits(QStringView line) const {
    if (!m_only.byHash.empty() && !m_only.holdsAny(line))
        return false;
    return m_except.byHash.empty() || !m_except.holdsAny(line);
}

bool PrizeRule::admits(QStringView line) const {
    return RuleMatcher(*this).admits(line);
}

QString PrizeRule::wordsKey() const {
    return join(only) + QLatin1Char('\x1f') + join(except);
}

QStringList PrizeRule::words(QStringView text) {
    static const QRegularExpression separators(QStringLiteral("[\\s\\x{3000},，;；、]+"));
    QStringList result;
    for (const QString& word : text.toString().split(separators, Qt::SkipEmptyParts))
        if (!result.contains(word))
            result << word;
    return result;
}

PrizeRules PrizeRules::read(const ConfigStore& store) {
    PrizeRules rules;
    for (int slot = 0; slot < kSlots; ++slot) {
        PrizeRule& rule = rules.slots[slot];
        rule.only = PrizeRule::words(store.readString(kSection, key("Only", slot), QString()));
        rule.except = PrizeRule::words(store.readString(kSection, key("Except", slot), QString()));
        rule.winnersMay = store.readBool(kSection, key("WinnersMay", slot), false);
    }
    return rules;
}

void PrizeRules::write(ConfigStore& store) const {
    QList<std::pair<QString, QString>> entries;
    for (int slot = 0; slot < kSlots; ++slot) {
        const PrizeRule& rule = slots[slot];
        entries.append({key("Only", slot), PrizeRule::join(rule.only)});
        entries.append({key("Except", slot), PrizeRule::join(rule.except)});
        entries.append(
            {key("WinnersMay", slot), rule.winnersMay ? QStringLiteral("1") : QStringLiteral("0")});
    }
    store.writeStrings(kSection, entries);
}

const PrizeRule& PrizeRules::at(int slot) const {
    static const PrizeRule none;
    return slot >= 0 && slot < kSlots ? slots[slot] : none;
}

std::optional<std::pair<int, QString>> PrizeRules::tooLong() const {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (TextCodec::toGbk(PrizeRule::join(slots[slot].only)).size() > kMaxValueBytes)
            return std::pair{slot, QStringLiteral("只限")};
        if (TextCodec::toGbk(PrizeRule::join(slots[slot].except)).size() > kMaxValueBytes)
            return std::pair{slot, QStringLiteral("排除")};
    }
    return std::nullopt;
}
