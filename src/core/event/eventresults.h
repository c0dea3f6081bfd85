#pragma once

#include "eventstore.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class DrawModel;
class WinnerLists;

// What an event keeps beside its results in a file of its own (the check-ins): initialise progress
// offers to clear it too, and keeps a dated copy of the file before it does.
class EventPart {
public:
    virtual ~EventPart() = default;
    // For the question: "签到记录".
    virtual QString partName() const = 0;
    virtual QString partPath() const = 0;
    virtual bool holdsEntries() const = 0;
    // Throws OperationError when it cannot.
    virtual void clearPart() = 0;
};

// The results of the event and every change made to them: the winners lists, the drawn counts and
// their saved state. The draw screen and the all-winners window change results only through here, so
// a draw, a cancel or a save is recorded and saved one way whichever window asked for it.
//
// A save that fails shows its error box (OperatorPrompts) and returns false; a correction stands in
// memory and on the screen, and the next save that works writes it out. A draw (main or
// supplementary) whose save fails is taken back instead: nobody is shown as a winner who is not on
// disk. Each file is saved on its own: a main
// draw whose prize.db and 中奖名单.txt are written returns true, also when allwinners.txt still
// refuses an earlier correction (or this draw's lines): that error box is shown, and the list is
// written again at the next save. A correction returns false when allwinners.txt refused it.
class EventResults {
public:
    EventResults(DrawModel& model, WinnerLists& lists);

    WinnerLists& lists() { return m_lists; }
    const WinnerLists& lists() const { return m_lists; }
    EventStore& store() { return m_store; }

    // The prize table changed: blocks are counted by these names where a state needs it.
    void prizeTableChanged();

    // A main draw of the prize in the slot: its header and winner lines in both lists, the names in
    // the winners panel's list (each cell linked to its line), the prize's drawn count; then saved.
    // When the save fails, the lists and the count are as they were before (the panel's list linked
    // again to the draw before) and false comes back; the error's message goes to failure when it is
    // given, else into the error box.
    bool recordDraw(int slot, const QString& prize, const QStringList& winners, const QDateTime& when,
                    QString* failure = nullptr);
    // A supplementary draw: its line in the all-winners list, its cell in the panel's list; saved, or
    // taken back as a main draw is.
    bool recordSupplementary(const QString& prize, const QString& name, QString* failure = nullptr);
    // Cancel or restore a line of the all-winners list (-1: nothing), and save.
    bool cancelLine(int line);
    bool restoreLine(int line);
    // The all-winners window's export: the saved list becomes the whole list, both files hold it.
    bool exportToWinnersFile();
    // Writes the current state again (the hidden "保存抽奖进度").
    bool saveNow();

    // Restore progress: the state the files hold together replaces the lists and the counts. Throws
    // OperationError when 中奖名单.txt cannot be read; nothing changes then.
    SavedState::Resolved restoreProgress();
    // Restore of a pair of dated copies (SavedStates): its lists and the counts in its mark replace
    // the run's, and they are saved at once as the current state, after a dated copy of the state
    // the files held. Throws OperationError when a copy cannot be read; nothing changes then. A save
    // that fails shows its box; the restored state then stands in memory and the next save writes it.
    SavedState::Resolved restoreCopy(const QString& winnersCopy, const QString& allCopy);
    // The same for the results a restore from a backup put aside in folder (its 中奖名单.txt,
    // allwinners.txt and prize.db's counts).
    SavedState::Resolved restoreFolder(const QString& folder);
    // The prize names of the slots, as blocks are counted by them.
    const SavedState::SlotNames& slotNames() const { return m_store.slotNames(); }
    // What a restore could not take, for the operator (empty when it took everything).
    static QString restoreNotes(const SavedState::Resolved& resolved);
    // Initialise progress: counts to 0, both lists emptied; the files keep the former state (restore
    // brings it back) until the next save keeps them as dated copies.
    void initialise();
    // The event's files were replaced as a whole (a restore from a backup): the lists and the counts
    // are emptied and the store knows nothing of the files any more, so the files' results are
    // loaded (restoreProgress) before anything is saved over them.
    void forgetFiles();
    // The parts kept beside the results; those that hold anything now.
    void addPart(EventPart* part) { m_parts.append(part); }
    QList<EventPart*> partsWithEntries() const;
    // Clears them, each after a dated copy of its file. False after the error box when one could not.
    bool clearParts();
    // Whether the files hold results this run has not loaded (the start-up question).
    bool holdsUnloadedResults() const;
    // The history record at exit, once per run. False after the error box when it could not be
    // written.
    bool writeHistory();
    // The whole exit record: the history, the selection mode and a pre-set run not yet counted
    // (Setting/Times, which the save of a draw that placed a pre-set winner writes otherwise). False
    // after the error box of what could not be written.
    bool writeExitRecord(bool automatic);

private:
    bool save(EventStore::Change change, QString* failure = nullptr);
    // The lists as they stood before a draw, to take it back when its save fails.
    struct ListsBefore {
        QStringList all;
        QStringList saved;
        QStringList current;
        QList<int> currentLines;
    };
    ListsBefore listsBefore() const;
    void takeBack(const ListsBefore& before);
    // prize.db's entry that counts a run that placed pre-set winners: the one place Times is written.
    static std::pair<QString, QList<std::pair<QString, QString>>> presetRunEntry(int times);
    // A restored copy replaces the run's lists and counts and is saved at once.
    SavedState::Resolved takeCopy(const SavedState::Resolved& resolved);
    EventStore::Counts counts() const;

    DrawModel& m_model;
    WinnerLists& m_lists;
    EventStore m_store;
    QList<EventPart*> m_parts;
    bool m_historyWritten = false;
};
