#pragma once

#include "eventstore.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class EventResults;

// The saved states an event folder holds, for restore progress to offer: the current files
// (中奖名单.txt, prize.db's counts, allwinners.txt), each pair of dated copies that a save kept
// before it replaced a state this run never loaded (中奖名单.<stamp>.txt beside allwinners.<stamp>.txt,
// the counts in the copy's mark), and the results each restore from a backup replaced (the same
// three files in the folder 恢复前备份-<stamp> it put them in).
namespace SavedStates {

struct Entry {
    bool current = false;
    QString winnersPath;        // the current 中奖名单.txt, or the dated copy
    QString allPath;            // allwinners.txt, or the dated copy beside it
    QDateTime time;             // the current files' last save, or when the copy was taken
    SavedState::Resolved state; // what a restore of it takes
    bool readable = false;      // false: the current 中奖名单.txt is missing or cannot be read
    QString folder;             // the folder a restore from a backup put these results in, else empty
};

// The current files first (also when 中奖名单.txt is missing: restore then reports it), then the
// dated pairs and the folders of what a restore replaced, newest first. A copy that cannot be read or
// is not a whole state (an allwinners.txt copy alone), or such a folder without a readable
// 中奖名单.txt, is not offered.
QList<Entry> list(const SavedState::SlotNames& names);

// One line for the operator: when, the winners per prize, the last draw.
QString describe(const Entry& entry, const SavedState::SlotNames& names);

// Restore progress offering every saved state: with dated copies present the operator chooses
// (OperatorPrompts::choose, the current files preselected); with none the current files are restored as
// before. Returns what was restored, nothing when the operator cancelled the choice. Throws
// OperationError when the chosen files cannot be read; nothing changes then.
std::optional<SavedState::Resolved> askAndRestore(EventResults& results);

} // namespace SavedStates
