#include "consolestate.h"

#include "drawmodel.h"
#include "drawsession.h"
#include "winnerlists.h"

ConsoleState ConsoleState::of(const DrawSession& session, const WinnerLists& lists) {
    ConsoleState state;
    state.prizes = session.prizeNames();
    state.position = session.position();
    state.automatic = session.automatic();
    if (const PrizeSlot* prize = session.prize()) {
        state.progress = session.progressText();
        state.drawn = prize->drawn;
        state.quantity = prize->quantity;
    }
    switch (session.phase()) {
    case DrawSession::Phase::Idle:
    case DrawSession::Phase::Reveal: // the winners are recorded: the console shows them at once
        state.rolling = Roll::None;
        break;
    case DrawSession::Phase::MainRoll:
        state.rolling = Roll::Main;
        break;
    case DrawSession::Phase::SupplementaryRoll:
        state.rolling = Roll::Supplementary;
        break;
    }
    state.supplementaryOpen = session.supplementaryOpen();
    state.supplementaryPosition = session.supplementaryPosition();
    for (const DrawSession::Result& result : session.results()) {
        Winner winner;
        winner.text = result.shown();
        winner.cancelled = result.cancelled;
        winner.supplementary = result.supplementary;
        winner.name = lists.cellNameOf(result.cell);
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
