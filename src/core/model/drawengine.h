#pragma once

#include "eligibility.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class DrawModel;
class WinnerLists;

// Who wins: the pick of a draw's winners and the names of the rolling display. Plain logic on the
// draw model and the winners lists, with the program's clock and random generator; who can be drawn
// at all is the eligibility's to say.
class DrawEngine {
public:
    DrawEngine(DrawModel& model, WinnerLists& lists);

    Eligibility& eligibility() { return m_eligibility; }
    const Eligibility& eligibility() const { return m_eligibility; }

    // Picks up to n winners for the prize in the slot (-1 for none). Each winner is the pre-set
    // winner of its place when one applies now (it is used up and the run marked), else drawn
    // uniformly among the lines that can be drawn (Eligibility). Nobody is named twice in one draw
    // while distinct eligible entrants remain (a pre-set entrant included); with repeats allowed the
    // draw is then filled up from the eligible ones. Fewer than n come back only when nobody else can
    // be drawn.
    QStringList pickWinners(int slot, int n, bool repeatAllowed);

    // One supplementary winner for the prize in the slot: a line that can be drawn (pre-set entries
    // play no part); nothing when nobody can be drawn.
    std::optional<QString> pickSupplementary(bool repeatAllowed, int slot = -1);

    // count lines at random positions, as stored, for the rolling display of a draw of the slot: only
    // lines that can be drawn in it (Eligibility), none when nobody can.
    QStringList rollingLines(int count, int slot = -1, Eligibility::Draw draw = Eligibility::Draw::Main,
                             bool repeatAllowed = false);
    // A roll begins: what it shows is worked out afresh.
    void rollStarted() { m_roll.reset(); }

    // Once per run, the first time a draw placed pre-set winners that the prize's rule or check-in
    // would have left out: the operator's notice of it (empty otherwise, and every later time).
    QString takePresetNotice();

    // The last two digits of the tick count, or three from a pool of 1000 lines up.
    static std::uint32_t tickDigits(std::uint32_t tick, int poolCount);
    // The last three digits of the tick count.
    static std::uint32_t supplementaryTickDigits(std::uint32_t tick);

private:
    using Digits = std::uint32_t (*)(std::uint32_t, int);
    using Accept = std::function<bool(const QString& name)>;
    using Fallback = std::function<const std::vector<int>&()>;
    // One line of the candidates' domain: guessed first, then drawn from the fallback list.
    std::optional<QString> pickOne(const Eligibility::Candidates& candidates, Digits digits,
                                   const Accept& accept, const Fallback& fallback);
    int drawIndex(Digits digits, int size);

    // What the rolling display rolls, and what that was worked out from.
    struct Roll {
        int slot = -1;
        Eligibility::Draw draw = Eligibility::Draw::Main;
        bool repeatAllowed = false;
        std::uint32_t madeAt = 0;
        quint64 listsRevision = 0;
        quint64 presetsRevision = 0;
        std::uint64_t poolGeneration = 0;
        std::vector<int> lines;
    };

    DrawModel& m_model;
    WinnerLists& m_lists;
    Eligibility m_eligibility;
    std::optional<Roll> m_roll;
    QStringList m_presetsOutside;
    bool m_presetNoticeGiven = false;
};
