#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>

#include "eventbackup.h"
#include "stageshow.h"

class DrawEngine;
class DrawModel;
class PrizeRules;
class Event;
struct PrizeSlot;
class EntrantPool;
class EventResults;
class WinnerLists;
class VerifiableDraw;

// The live draw and its one owner. The stage, the console, the all-winners window, the presenter's
// keys and the auto-stop only send commands here and show what the signals say; nothing of the draw
// is read back from a widget.
//
// Every command checks the draw's phase and either acts or refuses; a refusal is returned as its
// reason (empty when the command acted). A command that asks the operator first asks through the
// dialog seam and, once the answer is in, checks again that what it asked about still stands: a box
// runs its own event loop, in which the auto-stop, the console or the phone page may have changed
// the draw. No pointer, index or text is held across a box but the session's own, checked again.
class DrawSession : public QObject {
    Q_OBJECT
public:
    // Reveal: the stop has recorded and saved the winners; the stage shows them with the prize's
    // effect (slowing names, cards one by one, confetti) until it ends by itself or at any press.
    enum class Phase { Idle, MainRoll, SupplementaryRoll, Reveal };

    // The reveal under way (Phase::Reveal), or the last one.
    struct Reveal {
        int slot = -1;
        PrizeShow show;
        bool supplementary = false;
        int winners = 0;
        std::uint32_t startedMs = 0; // the clock's tick count at the stop
        int durationMs = 0;
    };

    // One winner of the latest draw, as the winners panel shows it.
    struct Result {
        int line = -1; // its line in the all-winners list (-1: none known)
        QString cell;  // the cell's text as recorded, without cancel marks
        bool supplementary = false;
        bool cancelled = false; // its line carries the cancel mark
        // The cell as shown: "取消---" before a cancelled one.
        QString shown() const;
        bool operator==(const Result&) const = default;
    };

    // The draw of the event; made after it and before any window.
    explicit DrawSession(Event& event, QObject* parent = nullptr);

    Event& event() { return m_event; }
    EventResults& eventResults() { return m_results; }
    // The entrants the draw takes from (GUI thread).
    const EntrantPool& pool() const;
    WinnerLists& lists() { return m_lists; }

    Phase phase() const { return m_phase; }
    // Names are rolling (a main or a supplementary draw).
    bool rolling() const { return m_phase == Phase::MainRoll || m_phase == Phase::SupplementaryRoll; }
    bool revealing() const { return m_phase == Phase::Reveal; }
    const Reveal& reveal() const { return m_reveal; }
    // Milliseconds since the reveal's stop (0 outside a reveal).
    qint64 revealElapsedMs() const;
    // Ends a reveal at once (a press, any other command, the end of its time); nothing otherwise.
    void finishReveal();
    // A stop is recording its winners (its own prize changes, by automatic selection, come from it).
    bool stopping() const { return m_stopping; }
    // How the stage presents the current prize (the supplementary panel's prize while it is open).
    const PrizeShow& prizeShow(int slot) const;

    // ---- The prize
    // The position in the prize selector (the listed prizes) and the slot behind it (-1: none).
    int position() const { return m_position; }
    int slot() const;
    QString prizeName() const;
    // The current prize's slot (null: none).
    const PrizeSlot* prize() const;
    QStringList prizeNames() const;
    // The current prize's progress as every view shows it: "进度 ..." and, while a rule or check-in
    // only narrows the draw, how many it can still take. Empty without a prize.
    QString progressText() const;
    bool automatic() const { return m_automatic; }
    // Choose a prize as the operator does in the selector (also while names roll: the prize current
    // at the stop takes the winners); refused in automatic selection.
    QString choosePrize(int position);
    // The entry above in the selector (the supplementary panel's while it is open); nothing at the
    // first entry, while names roll, or in automatic selection.
    QString previousPrize();
    // Manual or automatic selection; automatic picks the next prize with places left at once.
    QString setAutomatic(bool on);
    // The prize table was loaded again: the selector's lists are as long as the listed prizes now.
    void prizeTableLoaded();
    // Select a position from code (start-up, automatic selection): no checks, no box.
    void selectPosition(int position);
    // The last listed prize that has places left.
    void autoselect();
    // prize.db's columns of the current prize and the repeat switch, as the next draw takes them.
    void readPrizeState();

    // ---- The draw toggle (Space, Enter, the draw button, the console's, the presenter's)
    // Who pressed it. The presenter's clicker does not raise the box of a finished prize before the
    // hall: the stage moves on to the prize automatic selection would take (the last listed one with
    // places left) and says so with stageNotice, or says that every prize is drawn.
    enum class From { Operator, Clicker };
    QString toggleDraw(From from = From::Operator);
    // What Space does: the draw toggle, or the supplementary draw's start / stop while its panel is
    // open.
    QString presenterToggle(From from = From::Operator);
    // One tick of the auto-stop (once a second while a main roll it armed runs). Public for tests.
    void autoStopTick();
    // The program ends: names rolling now are not drawn.
    void endRun();

    // ---- The event folder
    // Why a save into the event folder cannot work, as the last trial found it (empty: it can). The
    // trial is made at start and again at each draw start, so a folder put right needs no restart.
    const QString& folderRefusal() const { return m_folderRefusal; }
    // Tries the folder now; its refusal (empty when it can be written).
    QString checkFolder();
    // At start: tries the folder and, when it cannot be written, tells the operator why and what to
    // do before anything is drawn. False then.
    bool checkFolderAtStart();
    // The hall's notice while the folder cannot be written, and a draw start's refusal then.
    static const QString kFolderNotice;
    // The same, short enough for the prize's band in front of the hall.
    static const QString kFolderStageNotice;
    // The hall's notice after a draw whose save failed, and the start of the operator's box.
    static const QString kNotSavedNotice;
    static const QString kNotSaved;

    // ---- The supplementary draw
    bool supplementaryOpen() const { return m_supplementaryOpen; }
    int supplementaryPosition() const { return m_supplementaryPosition; }
    int supplementarySlot() const;
    // Opens the panel on the prize of the winner cancelled last (until a supplementary draw has filled
    // it), else on the current prize.
    QString openSupplementary();
    QString closeSupplementary();
    QString chooseSupplementaryPrize(int position);
    QString toggleSupplementary();

    // ---- The latest draw's results, and corrections
    const QList<Result>& results() const { return m_resultList; }
    // Cancel or restore a result of the winners panel (its question included), or a line of the
    // all-winners list (the all-winners window's, with its question); both mark the same line and
    // every result that stands for it.
    QString cancelResult(int index);
    QString restoreResult(int index);
    QString cancelLine(int line);
    QString restoreLine(int line);

    // ---- The event's progress
    // Reload the entrant pool from 抽奖名单.txt and resolve the pre-set entries in it again; false
    // after the error box. Refused (false) while names roll.
    bool reloadPool();
    // Load the pool at start-up (a missing list is reported; start-up goes on).
    bool loadPool();
    // Resolve the pre-set entries in the pool (the last step of every prize table load).
    void loadPresets();
    // Restore progress: the current files (the start-up offer), or with offerSavedStates the saved
    // state the operator chooses among the current files, each pair of dated copies and each folder of
    // what a restore from a backup replaced (读出抽奖进度 after its question). 初始化进度 with its
    // questions.
    QString restoreProgress(bool offerSavedStates = false);
    void offerRestore();
    QString initialise();
    // 从备份恢复 of the archive: refused while names roll; else the restored event is the running one
    // from then on (its winners, counts, check-ins). The reason of a refusal (the archive's after its
    // error box), empty when restored; restored (may be null) receives what was restored.
    QString restoreBackup(const QString& zipPath, EventBackup::Restored* restored = nullptr);

    // ---- The event's settings
    // Whether the settings may change now: empty, or the reason they may not (names roll: a save
    // would change the prize table, the rules or the show under the draw).
    QString settingsRefusal() const;
    // New rules for who may win what (saved by the caller): refused while names roll.
    QString setRules(const PrizeRules& rules);
    // A new show for the prizes (saved by the caller): refused while names roll.
    QString setShow(const StageShow& show);

    // A reason a command is refused with while names roll.
    static const QString kRefusedRolling;
    // The reason a settings save is refused with while names roll.
    static const QString kRefusedSettings;

Q_SIGNALS:
    void phaseChanged();
    // The current prize, the selection mode or the prize table changed.
    void prizeChanged();
    // The supplementary panel opened, closed or took another prize.
    void supplementaryChanged();
    // The latest draw's results changed (a draw, a supplementary draw, a cancel, a restore, a
    // restore of progress, an initialise).
    void resultsChanged();
    // The drawn counts or who can be drawn changed.
    void progressChanged();
    // A reveal began (after phaseChanged to Reveal, once its winners are recorded).
    void revealStarted();
    // A main draw was announced: "恭喜以下n位幸运者中了<prize>".
    void announced(const QString& text);
    // A main draw took the prize's last places.
    void prizeFinished(const QString& prize);
    // The entrant pool was loaded again.
    void poolLoaded();
    // A short notice for the hall on the prize's band (the clicker on a finished prize).
    void stageNotice(const QString& text);
    // The event folder was tried: folderRefusal() may have changed.
    void folderChecked();
    // A stop's save failed and its draw was taken back: the stage shows the notice, no winners.
    void drawTakenBack(const QString& notice);

private:
    void setPhase(Phase phase);
    void startMain();
    // The clicker's draw key on a finished prize.
    QString moveOnFromFinished();
    void stopMain();
    void startSupplementary();
    void stopSupplementary();
    // A stop begins: into the reveal of the prize's show, or idle.
    void enterStop(int slot, const PrizeShow& shown, bool supplementary);
    // After a stop has recorded its winners: the reveal of the prize's show, or idle at once.
    void beginReveal(int slot, bool supplementary, int winners);
    // A draw may start only while the folder takes its save: the refusal (with the operator's box
    // when the operator pressed), or empty.
    QString refuseUnwritable(From from);
    // In the verifiable draw, a draw starts only once it can be derived and journalled: the refusal
    // (with the operator's box when the operator pressed), or empty.
    QString verifyRefusal(From from);
    // The entrant list or the prizes changed: into the verifiable draw's journal when it is on.
    void journalChanges();
    // A stop whose save failed: idle, nothing won, the stage's notice and the operator's box.
    void takeBack(const QString& failure);
    // The operator's text of a folder that cannot be written.
    QString folderProblem() const;
    // Information boxes of a stop: at once, or once its reveal has ended.
    void inform(const QString& text);
    // The reveal ends before any other command acts.
    void settle();
    // The results from the winners list's current draw and its links.
    void takeResults();
    void clearResults();
    // The result flags that follow the all-winners list (cancel marks).
    void refreshResults();
    // Whether the line is a winner or supplementary line that can be cancelled / restored.
    bool cancellable(int line) const;
    QString confirmThenMark(int line, bool cancel, const QString& question);
    QString hallCell(const Result& result) const;
    QString hallLine(int line) const;

    // The event after a restore from a backup: no draw of the one before stays on show.
    void eventReloaded();

    Event& m_event;
    DrawModel& m_model;
    WinnerLists& m_lists;
    EventResults& m_results;
    DrawEngine& m_engine;
    VerifiableDraw& m_verify;

    Phase m_phase = Phase::Idle;
    int m_position = -1;
    bool m_automatic = false;
    bool m_supplementaryOpen = false;
    int m_supplementaryPosition = -1;
    // The prize of the winner cancelled last, until a supplementary draw fills it: the supplementary
    // panel opens on it.
    QString m_cancelledPrize;
    QList<Result> m_resultList;
    // Changes with every new set of results: a question about a result checks it after the answer.
    quint64 m_resultsGeneration = 0;
    // Which roll the auto-stop was armed for.
    QTimer* m_autoStop = nullptr;
    quint64 m_roll = 0;
    quint64 m_armedRoll = 0;
    int m_autoStopCount = 0;
    Reveal m_reveal;
    QTimer* m_revealTimer = nullptr;
    QStringList m_pendingNotices;
    bool m_stopping = false;
    QString m_folderRefusal;
};
