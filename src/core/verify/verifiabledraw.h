#pragma once

#include "drawjournal.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class DrawModel;
class Eligibility;
class WinnerLists;

// The verifiable draw, an event mode (prize.db's [Verify] Mode=1): switched on before the first draw
// and off only by initialising the progress. While it is on:
//  - a secret seed from the operating system's generator is kept in a file of the event folder
//    (抽奖验证种子.txt, carried by the event's backup) and only its hash, the commitment, is shown;
//  - the journal (抽奖验证日志.txt, DrawJournal) holds the commitment with the entrant list as the
//    hall sees it and the prizes with their rules, then the hall's number, every draw, supplementary
//    draw, cancel, restore and change of list or rules, an initialise, the reveal;
//  - each draw's winners are derived (DrawDerivation) from the seed, the hall's number, the draw's
//    number in the journal and the list of who can be drawn then, never picked by the random
//    generator; pre-set entries are refused.
// Each entry is on the disk before the save it belongs to and before anything it says is shown.
// docs/verifiable-draw.md states the algorithm and the proof's format.
class VerifiableDraw : public QObject {
    Q_OBJECT
public:
    // What the hall sees of an entrant line (masked columns stay masked); the identity by default.
    using HallText = std::function<QString(const QString&)>;

    VerifiableDraw(DrawModel& model, WinnerLists& lists, const Eligibility& eligibility,
                   QObject* parent = nullptr);

    void setHallText(HallText hallText);
    QString hallText(const QString& line) const;

    // Reads the mode, the seed and the journal from the event folder (start, a restore).
    void load();
    bool on() const { return m_on; }

    // Switches the mode on: refused (the reason) once the event has results. Makes the seed, keeps it,
    // journals the commitment, then writes the mode into prize.db. Throws OperationError when a file
    // cannot be written (the mode is then off).
    QString switchOn();
    // The progress was initialised: journalled (with the seed, so what was drawn before can still be
    // checked), the mode off, the journal and the seed put aside as dated copies. Throws OperationError.
    void initialised();

    // What the stage shows before the first draw: the commitment and the hashes of the list and of
    // the prizes as last journalled.
    QString commitment() const { return m_commitment; }
    QString listHash() const { return m_listHash; }
    QString prizesHash() const { return m_prizesHash; }
    // The hall's number (empty until it is in) and whether any draw is journalled.
    QString hallNumber() const { return m_hall; }
    bool drawn() const { return m_drawn; }
    bool revealed() const { return m_revealed; }
    // The seed, once revealed (empty before).
    QString revealedSeed() const { return m_revealed ? m_seed : QString(); }
    // The hall's number typed by the operator: refused (the reason) before the commitment, after the
    // first draw, or when one is in already. Journalled before it is shown. Throws OperationError.
    QString setHallNumber(const QString& typed);
    // Reveals the seed (公开验证信息): journalled, then shown. Throws OperationError.
    QString reveal();
    // The proof a stranger checks: the journal and an end line (docs/verifiable-draw.md). Empty
    // before the reveal.
    QByteArray proof() const;

    // Why no draw can start now (empty when one can): no hall's number yet, a lost seed, a journal
    // that takes no entry.
    QString drawRefusal() const;
    // The entrant list or the prizes changed since they were last journalled: journalled now. Throws
    // OperationError.
    void journalChanges();

    // A draw derived and journalled: its entry's number and its winners (trimmed pool lines, as the
    // results keep them), in the order drawn.
    struct Derived {
        int entry = 0;
        QStringList winners;
    };
    // Up to n winners of a main draw of the slot (fewer only when fewer can be drawn; none when nobody
    // can, and nothing is journalled then), or one of a supplementary draw. Throws OperationError when
    // the entry is not on the disk; nobody has won then.
    Derived drawMain(int slot, const QString& prize, int n, bool repeatAllowed);
    Derived drawSupplementary(int slot, const QString& prize, bool repeatAllowed);
    // A journalled draw whose results could not be saved: journalled as void (as far as the disk
    // lets it).
    void voidDraw(int entry, const QString& reason);
    // A cancel or a restore of a line of the all-winners list. Throws OperationError.
    void journalCorrection(int line, bool cancel);
    // The saved progress was read back (读出抽奖进度): the winners it brought. Throws OperationError.
    void journalProgress();

    const DrawJournal& journal() const { return m_journal; }

    // What the stage says while the mode is on.
    static const QString kStageNotice;
    // The box of pre-set entries refused in the mode.
    static const QString kPresetsRefused;

Q_SIGNALS:
    // The mode, the commitment, the hall's number, a draw or the reveal changed what is shown.
    void changed();

private:
    Derived derive(const char* type, int slot, const QString& prize, int n, bool repeatAllowed, bool main);
    QStringList hallLines() const;
    QJsonObject prizesEntry(const char* type) const;
    void takeEntry(const QJsonObject& entry);
    bool hasResults() const;

    DrawModel& m_model;
    WinnerLists& m_lists;
    const Eligibility& m_eligibility;
    HallText m_hallText;
    DrawJournal m_journal;
    bool m_on = false;
    QString m_seed;
    QString m_commitment;
    QString m_listHash;
    QString m_prizesHash;
    QString m_hall;
    bool m_drawn = false;
    bool m_revealed = false;
};
