#include "drawmodel.h"

#include "configstore.h"

#include <algorithm>

namespace {
const QString kJP = QStringLiteral("JP");
const QString kShow = QStringLiteral("Show");
const QString kSetting = QStringLiteral("Setting");
} // namespace

int DrawModel::slotAt(int position) const {
    if (position < 0 || position >= listedSlots.size())
        return -1;
    return listedSlots.at(position);
}

QStringList DrawModel::listedNames() const {
    QStringList names;
    for (int slot : listedSlots)
        names << slots[slot].name;
    return names;
}

void DrawModel::loadPrizeTable(const ConfigStore& store) {
    listedSlots.clear();
    for (int i = 0; i < kSlots; ++i) {
        const QString n = QString::number(i + 1);
        PrizeSlot& slot = slots[i];
        slot.name = store.readString(kJP, QStringLiteral("Name") + n, QString());
        slot.goods = store.readString(kJP, QStringLiteral("prizename") + n, QString());
        slot.quantity = store.readInteger(kJP, QStringLiteral("Num") + n, 0);
        slot.perDraw = store.readInteger(kJP, QStringLiteral("Every") + n, 0);
        if (slot.quantity > 0)
            listedSlots << i;
    }
    rules = PrizeRules::read(store);
    show = StageShow::read(store);
    autoStopSeconds = store.readInteger(kSetting, QStringLiteral("Stoptime"), 0);
}

qint64 DrawModel::totalQuantity() const {
    qint64 sum = 0;
    for (const PrizeSlot& slot : slots)
        sum += slot.quantity;
    return sum;
}

QString DrawModel::prizeSummary(const ConfigStore& store, const std::array<PrizeSlot, kSlots>& slots) {
    QStringList pieces;
    for (int i = 0; i < kSlots; ++i) {
        const QString n = QString::number(i + 1);
        if (!store.readBool(kShow, QStringLiteral("Show") + n, false))
            continue;
        pieces << store.readString(kJP, QStringLiteral("prizename") + n, QString()) + QLatin1Char('(') +
                      QString::number(slots[i].quantity) + QLatin1Char(')');
    }
    return pieces.join(QLatin1Char(','));
}

QString DrawModel::subtitle(const QString& title2, const QString& summary) {
    if (title2.isEmpty())
        return summary;
    if (summary.isEmpty())
        return title2;
    return title2 + QLatin1Char('\n') + summary;
}

QString DrawModel::progressText(const PrizeSlot& slot) {
    return QStringLiteral("进度 %1 / %2 (每次抽%3个)").arg(slot.drawn).arg(slot.quantity).arg(slot.perDraw);
}

int DrawModel::clampFontSize(int size) {
    return std::clamp(size, kMinFontSize, kMaxFontSize);
}

int DrawModel::clampColumns(int columns) {
    return std::clamp(columns, kMinColumns, kMaxColumns);
}

int DrawModel::autoSelectPosition(int current) const {
    const int k = static_cast<int>(listedSlots.size());
    if (k == 0)
        return -1;
    for (int p = k - 1; p >= 0; --p) {
        const PrizeSlot& slot = slots[listedSlots.at(p)];
        if (slot.drawn < slot.quantity)
            return p;
    }
    return k == 1 ? 0 : current;
}
