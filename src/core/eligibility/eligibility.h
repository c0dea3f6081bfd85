#pragma once

#include "prizerules.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class DrawModel;
class EntrantPool;
class Presence;
class PresetWinners;
class WinnerLists;

// The one place that decides who can be drawn. A line of the entrant pool can be drawn for a prize
// when it is not blank; for a main draw, when no pre-set entry names it; when the prize's rule lets
// it in; when check-in only is on, when the entrant has checked in; and, with repeats off, when the
// entrant has not won yet (or, under the prize's "已中奖者可参与", has not won this prize). Without a
// rule and with check-in only off that is exactly what the draw has always done.
//
// The draws, the rolling display, the progress text and the settings page all ask here.
class Eligibility {
public:
    enum class Draw { Main, Supplementary };

    // Who can be drawn for one draw of one prize, fixed when it is asked for (the winners of the draw
    // itself are the caller's to keep apart). Cheap to copy.
    class Candidates {
    public:
        // The lines the draw picks among, in pool order: every line of the pool when nothing but the
        // written checks apply, else only the non-blank lines the rule and check-in let in.
        bool filtered() const { return m_domain != nullptr; }
        int domainSize() const;
        int positionAt(int index) const;

        // Whether an entrant (a trimmed line of the domain) can be drawn: not blank, not pre-set (main
        // draw), and allowed to win again if it has won before.
        bool admitsName(const QString& name) const;
        // The repeat part alone: repeats allowed, or not won yet (this prize, under its
        // "已中奖者可参与").
        bool mayWin(const QString& name) const;
        // Whether a pool line passes the prize's rule / has checked in (true when that does not apply).
        bool inRule(int position) const;
        bool present(int position) const;

        // The lines of the domain that can be drawn, in pool order, and how many they are.
        std::vector<int> admitted() const;
        int count() const;

    private:
        friend class Eligibility;
        const EntrantPool* m_pool = nullptr;
        const PresetWinners* m_presets = nullptr; // main draws only
        const WinnerLists* m_lists = nullptr;
        bool m_repeatAllowed = false;
        bool m_winnersMay = false;
        QSet<QString> m_wonThisPrize;
        std::shared_ptr<const std::vector<int>> m_ruleLines; // nothing when the rule has no words
        std::shared_ptr<const std::vector<bool>> m_present;  // nothing when check-in only is off
        std::shared_ptr<const std::vector<int>> m_domain;    // nothing when neither applies
    };

    Eligibility(const DrawModel& model, const WinnerLists& lists);

    // Check-in, as the program connects it (nothing: no check-in). The caller keeps ownership.
    void setPresence(const Presence* presence) { m_presence = presence; }
    bool onlyPresent() const;

    // Whether more than the written checks narrow the draw of the slot: its rule's words, or check-in
    // only. Then the rolling display shows only who can be drawn, and the progress text says how many.
    bool isFiltered(int slot) const;

    Candidates candidates(int slot, Draw draw, bool repeatAllowed) const;
    // The same under another rule for the slot (the settings page, before it saves).
    Candidates candidates(int slot, const PrizeRule& rule, Draw draw, bool repeatAllowed) const;
    // How many non-blank lines of the pool a rule's words let in (everyone when it has none).
    int ruleCount(const PrizeRule& rule) const;
    // How many can be drawn in a main draw of the slot now. Kept from one call to the next while only
    // winners were added meanwhile: those are taken off, so after a draw the count costs as much as
    // the draw's winners, not as much as the pool.
    int drawableCount(int slot, bool repeatAllowed) const;
    // "可抽 N 人" for a main draw of the slot while it is filtered; empty otherwise.
    QString drawableNote(int slot, bool repeatAllowed) const;
    // Why the rules cannot be saved (a rule that lets nobody of the entrant list in, words too long to
    // be kept whole), for the operator; empty when they can. prizeNames names the slots.
    QString refusal(const PrizeRules& rules, const QStringList& prizeNames) const;

private:
    // The non-blank lines a rule's words let in, worked out once per pool and rule.
    std::shared_ptr<const std::vector<int>> ruleLines(const PrizeRule& rule) const;

    // The last count, what it was made from, and by entrant how many lines of the domain it counted.
    struct Count {
        std::shared_ptr<const std::vector<int>> domain;
        bool repeatAllowed = false;
        bool winnersMay = false;
        QString prize;
        quint64 listsRevision = 0;
        quint64 presetsRevision = 0;
        qsizetype linesSeen = 0;
        int count = 0;
        QHash<QString, int> counted;
    };

    const DrawModel& m_model;
    const WinnerLists& m_lists;
    const Presence* m_presence = nullptr;
    mutable std::optional<Count> m_count;
    mutable std::uint64_t m_cachedGeneration = 0;
    mutable QHash<QString, std::shared_ptr<const std::vector<int>>> m_ruleCache;
};
