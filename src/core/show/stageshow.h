#pragma once

#include <QString>
#include <QStringList>
#include <array>

class ConfigStore;

// How the stage presents each prize's draw, kept in prize.db's section [Stage]:
//   Reveal<n>   0 立即 (the winners at once), 1 渐停 (the names slow down and settle), 2 逐个揭晓
//               (the winner cards come in one after another)
//   Grand<n>    1: a grand prize (confetti and a fanfare at the reveal)
//   Roll<n>     0 the ten rolling lines, 1 名字墙 (every drawable name on a turning wall)
//   Sound       1: a short sound at the start and at the reveal
// A prize.db without the section shows every draw at once, silently, with the ten lines.
struct PrizeShow {
    enum class Reveal { Immediate = 0, SlowStop = 1, OneByOne = 2 };
    enum class Roll { Lines = 0, Wall = 1 };
    Reveal reveal = Reveal::Immediate;
    bool grand = false;
    Roll roll = Roll::Lines;

    // Whether the stop is followed by an effect the session waits for.
    bool hasEffect() const { return reveal != Reveal::Immediate || grand || roll == Roll::Wall; }
    bool operator==(const PrizeShow&) const = default;
};

struct StageShow {
    static constexpr int kSlots = 8;
    std::array<PrizeShow, kSlots> prizes{};
    bool sound = false;

    const PrizeShow& prize(int slot) const;
    static StageShow read(const ConfigStore& store);
    void write(ConfigStore& store) const;

    // The choices as the settings show them, in the order of the enums.
    static QStringList revealNames();
    static QStringList rollNames();

    // How long the session lets an effect run before it ends by itself (ms); the stage draws each
    // frame from the time since the stop.
    static int revealMilliseconds(const PrizeShow& show, int winners);
    // 渐停: the slowing names take this long, then the winners stand.
    static constexpr int kSlowStopMs = 1100;
    static constexpr int kSettleMs = 500;
    // 逐个揭晓: all cards are in within two seconds, one card at most every 350 ms.
    static constexpr int kOneByOneMs = 2000;
    static constexpr int kCardStepMs = 350;
    // The name wall's own reveal (its sphere slows, the winners fly to the front); the 揭晓方式 is for
    // the ten lines.
    static constexpr int kWallRevealMs = 1400;
    // A grand prize's confetti, from the moment the winners stand to the end of the reveal (fading
    // out at its end).
    static constexpr int kConfettiMs = 6500;
    // When the winners stand on the stage (the slowing names give way to them), in ms after the stop.
    static int winnersStandMs(const PrizeShow& show);
    // When card i (0-based) of n comes in, in ms after the stop.
    static int cardArrivalMs(int index, int winners);
    bool operator==(const StageShow&) const = default;
};
