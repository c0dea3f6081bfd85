#pragma once

#include "drawengine.h"
#include "drawmodel.h"
#include "eventbackup.h"
#include "eventresults.h"
#include "linedisplay.h"
#include "verifiabledraw.h"

#include <QObject>
#include <memory>

class WinnerLists;

// The open event: the folder's files as one object. It owns what the event is (the prize table and
// the rules, the entrant pool and the pre-set entries, the winners lists and the saved results with
// their store) and the draw's engine over them. The draw session, the check-in service and every
// window are made after it and observe it; none of them loads the event's files by itself.
//
// open() reads the folder at start. reload() reads it again as a whole after its files were replaced
// (a restore from a backup): the running program then continues the files' event, with nothing kept
// of the one before (its winners, its counts, which files the store believed were its own).
class Event : public QObject {
    Q_OBJECT
public:
    explicit Event(QObject* parent = nullptr);
    ~Event() override;

    DrawModel& model() { return m_model; }
    const DrawModel& model() const { return m_model; }
    WinnerLists& lists() { return *m_lists; }
    EventResults& results() { return *m_results; }
    DrawEngine& engine() { return *m_engine; }
    // What the hall sees of an entrant line (prize.db's [HallView], read with the prize table).
    const LineDisplay& lineDisplay() const { return m_lineDisplay; }
    // Keeps new choices in prize.db and shows them from now on. Throws OperationError when prize.db
    // cannot be written; the choices shown then stay as they were.
    void setLineDisplay(const LineDisplay& display);
    // The verifiable draw's mode, seed and journal (read with the event).
    VerifiableDraw& verify() { return *m_verify; }

    // Reads the folder at start: what a save cut short left behind is removed, the prize table is
    // read. The pool and the saved results are the session's to load, with their questions.
    void open();
    // Reads the folder again as a whole: the prize table, the entrant pool and its pre-set entries,
    // and the saved results as the files hold them (taken without a question: the files are the
    // event now). reloaded() then tells every observer. False (after its error box) when the
    // results could not be read; the event is then empty of results, and the files untouched.
    bool reload();
    // Replaces the folder's event with a backup's (EventBackup::restore: what it replaces is put
    // aside) and reloads it. Throws OperationError when the archive is refused: the folder and the
    // running event are then as they were.
    EventBackup::Restored restoreBackup(const QString& zipPath);
    // Reads the prize table from prize.db (the lists and the store count blocks by its names), and
    // what the hall sees of a line.
    void loadPrizeTable();
    // Reads 抽奖名单.txt into the pool, without the lines that name no one (one box tells how many). False
    // after its error box: when the file cannot be read the pool stays as it was; when it is no text
    // the pool is left empty.
    bool loadPool();
    // Resolves the pre-set entries in the pool (the last step of every prize table load). In the
    // verifiable draw they are refused, with a box when there are any.
    void loadPresets();
    // Switches the verifiable draw on (the pre-set entries are refused from then on): the refusal,
    // empty when it is on. A file that cannot be written shows its error box.
    QString switchVerifiableOn();
    // The exit record (the history once, the selection mode, a pre-set run not yet counted); what
    // cannot be written is reported and the event closes all the same.
    void close(bool automatic);

Q_SIGNALS:
    // The event was read again as a whole (after reload()).
    void reloaded();
    // The folder's files are about to be replaced: whoever writes to them on their own stops (the
    // check-ins from the phones) until reloaded(), or replaceRefused() when the files stay as they were.
    void replacing();
    void replaceRefused();
    // What the hall sees of a line changed: whatever shows lines to the hall draws them again.
    void lineDisplayChanged();

private:
    DrawModel m_model;
    WinnerLists* m_lists = nullptr;
    std::unique_ptr<EventResults> m_results;
    std::unique_ptr<DrawEngine> m_engine;
    LineDisplay m_lineDisplay;
    std::unique_ptr<VerifiableDraw> m_verify;
};
