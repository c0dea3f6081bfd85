#include "consolestate.h"

#include "unit1.h"
#include "winnerlists.h"

#include <QTableWidget>

ConsoleState ConsoleState::of(TForm1& form) {
    ConsoleState state;
    const DrawModel& model = form.model();
    state.prizes = model.listedNames();
    state.position = form.currentPosition();
    state.automatic = form.automaticSelection();
    if (const int slot = form.currentSlot(); slot >= 0) {
        const PrizeSlot& prize = model.slots[slot];
        state.progress = DrawModel::progressText(prize);
        state.drawn = prize.drawn;
        state.quantity = prize.quantity;
    }
    state.rolling = model.rolling == DrawModel::Roll::Main            ? Roll::Main
                    : model.rolling == DrawModel::Roll::Supplementary ? Roll::Supplementary
                                                                      : Roll::None;
    state.supplementaryOpen = form.supplementaryOpen();
    state.supplementaryPosition = form.supplementaryPosition();

    const QTableWidget* grid = form.winnersGrid();
    const int columns = grid->columnCount();
    for (int row = 0; row < grid->rowCount(); ++row)
        for (int column = 0; column < columns; ++column) {
            const QTableWidgetItem* item = grid->item(row, column);
            if (!item || item->text().isEmpty())
                continue;
            Winner winner;
            winner.cell = row * columns + column;
            winner.text = item->text();
            winner.cancelled = winner.text.startsWith(WinnerLists::kCancelPrefix);
            winner.supplementary = WinnerLists::isSupplementaryCell(winner.text);
            winner.name = form.winnerLists().cellNameOf(winner.text);
            state.winners << winner;
        }
    return state;
}

QString ConsoleState::drawCaption() const {
    return rolling == Roll::Main ? QStringLiteral("停止") : QStringLiteral("抽奖");
}

QString ConsoleState::supplementaryCaption() const {
    return rolling == Roll::Supplementary ? QStringLiteral("停止") : QStringLiteral("开始");
}

int pickConsoleScreen(int screens, int stageScreen, int primaryScreen) {
    if (screens < 2)
        return -1;
    if (primaryScreen >= 0 && primaryScreen < screens && primaryScreen != stageScreen)
        return primaryScreen;
    for (int i = 0; i < screens; ++i)
        if (i != stageScreen)
            return i;
    return -1;
}
