#include "stageshow.h"

#include "configstore.h"

#include <algorithm>

namespace {
const QString kSection = QStringLiteral("Stage");

template <typename E> E choice(const ConfigStore& store, const QString& key, int count) {
    const int value = store.readInteger(kSection, key, 0);
    return static_cast<E>(value >= 0 && value < count ? value : 0);
}
} // namespace

const PrizeShow& StageShow::prize(int slot) const {
    static const PrizeShow none;
    return slot >= 0 && slot < kSlots ? prizes[slot] : none;
}

StageShow StageShow::read(const ConfigStore& store) {
    StageShow show;
    for (int s = 0; s < kSlots; ++s) {
        const QString n = QString::number(s + 1);
        PrizeShow& prize = show.prizes[s];
        prize.reveal = choice<PrizeShow::Reveal>(store, QStringLiteral("Reveal") + n, 3);
        prize.grand = store.readBool(kSection, QStringLiteral("Grand") + n, false);
        prize.roll = choice<PrizeShow::Roll>(store, QStringLiteral("Roll") + n, 2);
    }
    show.sound = store.readBool(kSection, QStringLiteral("Sound"), false);
    return show;
}

void StageShow::write(ConfigStore& store) const {
    for (int s = 0; s < kSlots; ++s) {
        const QString n = QString::number(s + 1);
        store.writeInteger(kSection, QStringLiteral("Reveal") + n, static_cast<int>(prizes[s].reveal));
        store.writeBool(kSection, QStringLiteral("Grand") + n, prizes[s].grand);
        store.writeInteger(kSection, QStringLiteral("Roll") + n, static_cast<int>(prizes[s].roll));
    }
    store.writeBool(kSection, QStringLiteral("Sound"), sound);
}

QStringList StageShow::revealNames() {
    return {QStringLiteral("立即"), QStringLiteral("渐停"), QStringLiteral("逐个揭晓")};
}

QStringList StageShow::rollNames() {
    return {QStringLiteral("十行滚动"), QStringLiteral("名字墙")};
}

int StageShow::cardArrivalMs(int index, int winners) {
    if (winners <= 1)
        return 0;
    const int step = std::min(kCardStepMs, kOneByOneMs / winners);
    return std::clamp(index, 0, winners - 1) * step;
}

int StageShow::revealMilliseconds(const PrizeShow& show, int winners) {
    int ms = 0;
    if (show.roll == PrizeShow::Roll::Wall)
        ms = kWallRevealMs;
    else
        switch (show.reveal) {
        case PrizeShow::Reveal::Immediate:
            break;
        case PrizeShow::Reveal::SlowStop:
            ms = kSlowStopMs + kSettleMs;
            break;
        case PrizeShow::Reveal::OneByOne:
            // The last card comes in, and its entrance (one step) ends.
            ms = cardArrivalMs(winners - 1, winners) +
                 std::min(kCardStepMs, kOneByOneMs / std::max(1, winners));
            break;
        }
    // The confetti falls from the moment the winners stand.
    if (show.grand)
        ms = std::max(ms, winnersStandMs(show) + kConfettiMs);
    return ms;
}

int StageShow::winnersStandMs(const PrizeShow& show) {
    if (show.roll == PrizeShow::Roll::Wall)
        return kWallRevealMs - 400;
    return show.reveal == PrizeShow::Reveal::SlowStop ? kSlowStopMs : 0;
}
