#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class DrawModel;
class WinnerLists;

// Who wins: the pick of a draw's winners and the names of the rolling display. Plain logic on the
// draw model and the winners lists, with the program's clock and random generator.
class DrawEngine {
public:
    DrawEngine(DrawModel& model, WinnerLists& lists);

    // Picks up to n winners for the prize in the slot (-1 for none). Each winner is the pre-set
    // winner of its place when one applies now (it is used up and the run marked), else a
    // uniformly drawn pool line that is not blank, not pre-set and, unless repeats are allowed, has
    // not won yet in the all-winners list. Nobody is named twice in one draw while distinct eligible
    // entrants remain (a pre-set entrant included); with repeats allowed the draw is then filled up
    // from the eligible ones. Fewer than n come back only when nobody else can be drawn.
    QStringList pickWinners(int slot, int n, bool repeatAllowed);

    // One supplementary winner: a pool line that is not blank and, unless repeats are allowed, has
    // not won yet; nothing when nobody can be drawn.
    std::optional<QString> pickSupplementary(bool repeatAllowed);

    // count lines of the pool at random positions, as stored (the rolling display).
    QStringList rollingLines(int count) const;

    // The last two digits of the tick count, or three from a pool of 1000 lines up.
    static std::uint32_t tickDigits(std::uint32_t tick, int poolCount);
    // The last three digits of the tick count.
    static std::uint32_t supplementaryTickDigits(std::uint32_t tick);

private:
    using Accept = std::function<bool(const QString& name)>;
    std::optional<QString> pickOne(std::uint32_t (*digits)(std::uint32_t, int), const Accept& accept);
    int drawPosition(std::uint32_t (*digits)(std::uint32_t, int));

    DrawModel& m_model;
    WinnerLists& m_lists;
};
