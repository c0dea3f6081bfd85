#pragma once

#include "entrantpool.h"
#include "presetwinners.h"
#include "prizerules.h"
#include "stageshow.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>

class ConfigStore;

// One of the eight prizes. Slot i is configured by the keys ending in i+1 (Name1, Num1, ...) and its
// drawn count is saved as have<i>.
struct PrizeSlot {
    QString name;
    QString goods; // prizename<n>: what the winners get
    int quantity = 0;
    int perDraw = 0;
    int drawn = 0;
};

// The draw model of the main window: the entrant pool, the eight prize slots and the values that
// hold for the whole run. It knows nothing of widgets.
class DrawModel {
public:
    static constexpr int kSlots = 8;
    static constexpr int kMinFontSize = 8;
    static constexpr int kMaxFontSize = 100;
    static constexpr int kMinColumns = 1;
    static constexpr int kMaxColumns = 6;

    EntrantPool pool;
    std::array<PrizeSlot, kSlots> slots;

    // The prize selector lists the slots whose quantity is above 0, in slot order. A position of the
    // selector reaches its slot through this list, so a gap (a slot of quantity 0 before a listed
    // one) never mixes one prize's name with another's counts.
    QList<int> listedSlots;

    // The winners fixed in advance, and the entrants they keep out of random drawing.
    PresetWinners presets;
    // Who may win each prize (prize.db's [Rules]; no rule at all without that section).
    PrizeRules rules;
    // How the stage presents each prize (prize.db's [Stage]: reveal, grand prize, roll, sound).
    StageShow show;

    int currentColumns = 1;
    bool repeatAllowed = false;
    bool excessWarningShown = false;
    int autoStopSeconds = 0;
    bool musicAvailable = false;
    bool fullScreen = true;
    // A pre-set winner was placed in this run: the exit record counts the run in Setting/Times.
    bool presetUsed = false;

    // The slot behind selector position p, or -1 for no prize.
    int slotAt(int position) const;
    // The names the prize selector lists, in order.
    QStringList listedNames() const;
    // Reads names, quantities and per-draw counts of all eight slots, their rules and the auto-stop
    // seconds; rebuilds the listed slots. Drawn counts are kept.
    void loadPrizeTable(const ConfigStore& store);
    // The sum of all eight quantities (64-bit, so that hand-edited values cannot overflow).
    qint64 totalQuantity() const;

    // "<goods>(<quantity>)" for each shown prize, joined by ",".
    static QString prizeSummary(const ConfigStore& store, const std::array<PrizeSlot, kSlots>& slots);
    // Title2, a line break and the summary; or either alone.
    static QString subtitle(const QString& title2, const QString& summary);
    // "进度 <drawn> / <quantity> (每次抽<per-draw>个)" for a slot.
    static QString progressText(const PrizeSlot& slot);
    // A font size read from prize.db, clamped to what the settings dialog allows.
    static int clampFontSize(int size);
    // A columns value read from prize.db, clamped likewise (values below 1 count as 1).
    static int clampColumns(int columns);
    // The position prize auto-select picks among k listed entries, or `current` when none has places
    // left (a single entry is always picked); -1 when the list is empty.
    int autoSelectPosition(int current) const;
};
