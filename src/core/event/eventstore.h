#pragma once

#include "operationerror.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// The saved results of an event live in three places that must always belong to one state:
//   中奖名单.txt     the saved winners list (the main draws), rewritten after every main draw;
//   prize.db [State] the drawn counts have0..have7, and which 中奖名单.txt they go with;
//   allwinners.txt   the all-winners list as the audience saw it (cancel marks, supplementary lines),
//                    rewritten after every correction, ending in one line that ties it to the rest.
//
// A state is known by the bytes of its 中奖名单.txt (their length and CRC-32, a "digest"): prize.db
// names the digest its counts go with (and, while a save is under way, the one before it), and the
// mark line of allwinners.txt names the 中奖名单.txt it was written against, of which the file on
// disk may since have grown by whole main draws. 中奖名单.txt itself keeps its grammar untouched.
namespace SavedState {

using Counts = std::array<int, 8>;

// The length and CRC-32 of a 中奖名单.txt's bytes.
struct Digest {
    qint64 bytes = 0;
    quint32 crc = 0;

    static Digest of(QByteArrayView data);
    // "<bytes>/<crc as 8 hex digits>", and back (nothing for any other text).
    QString text() const;
    static std::optional<Digest> parse(QStringView text);
    // Whether data begins with the bytes this digest was taken of, ending at a line break.
    bool isPrefixOf(QByteArrayView data) const;
    bool operator==(const Digest&) const = default;
};

// The state prize.db's keys describe: its event, its 中奖名单.txt, the 中奖名单.txt the allwinners.txt
// that belongs to it was written against at the earliest (nothing when none belongs to it), and the
// drawn counts.
struct Tie {
    QString event;
    Digest winners;
    std::optional<Digest> allWinners;
    Counts counts{};
    bool operator==(const Tie&) const = default;
};

// What prize.db's section State says of the saved results.
struct StateKeys {
    Counts counts{};            // have0..have7
    std::optional<Tie> current; // absent in files of older versions: the counts then stand alone
    // The state before the save that wrote these keys: a save stopped after prize.db and before
    // 中奖名单.txt leaves that one on disk.
    std::optional<Tie> previous;

    static StateKeys read(const QString& prizeDb);
    // The keys as written into section State.
    QList<std::pair<QString, QString>> entries() const;
};

// allwinners.txt: the list and its mark line.
struct AllWinnersFile {
    struct Mark {
        QString event;
        Digest winners; // the 中奖名单.txt this list was written against
        Counts counts{};
        // A dated copy: a whole state with its 中奖名单.txt copy, whatever prize.db says by then.
        bool copy = false;
    };
    QStringList lines;
    std::optional<Mark> mark; // nothing in a file of an older version

    static AllWinnersFile parse(QByteArrayView bytes);
    static QByteArray compose(const QStringList& lines, const Mark& mark);
    // The mark line's text: "#state event=<id> winners=<digest> have=<c0>,...,<c7>", with "copy" after
    // "#state" in a dated copy.
    static QString markLine(const Mark& mark);
    static std::optional<Mark> parseMark(QStringView line);
};

// The three files as found on disk.
struct OnDisk {
    QByteArray winners; // 中奖名单.txt's bytes (empty when it does not exist)
    bool winnersExists = false;
    StateKeys state;
    std::optional<AllWinnersFile> all; // nothing when allwinners.txt does not exist or cannot be read

    // Reads the three files, of the event folder or of another folder that holds them by the same
    // names (what a restore from a backup put aside). With requireWinners a missing or unreadable
    // 中奖名单.txt throws OperationError (restore needs it); else it reads as empty, as does an
    // unreadable prize.db.
    static OnDisk read(bool requireWinners, const QString& folder = QString());
    // Whether anything in them is a result: a non-blank line in either list, or a drawn count.
    bool holdsResults() const;
};

// The one state that a restore takes from what is on disk, and what it could not take.
struct Resolved {
    Counts counts{};
    QStringList saved; // 中奖名单.txt's lines, verbatim
    QStringList all;   // the all-winners list
    QString event;
    Digest winners;               // the digest of 中奖名单.txt's bytes
    bool winnersCanonical = true; // the lines written again give the same bytes
    // The earliest 中奖名单.txt the taken allwinners.txt may have been written against (nothing when
    // it was not taken, or taken without a mark).
    std::optional<Digest> allWinners;
    enum class CountsFrom {
        PrizeDb,
        PrizeDbBeforeSave,
        DatedCopy,
        AllWinnersMark,
        CountedFromBlocks,
        Unchecked
    };
    CountsFrom countsFrom = CountsFrom::PrizeDb;
    bool allTaken = false;     // the list came from allwinners.txt
    bool allLeftOut = false;   // allwinners.txt held results of another state and was left out
    QStringList unknownPrizes; // blocks counted from their headers whose prize is not configured
};

// The prize names of the eight slots (empty for a slot without a prize), for counting blocks by
// their header lines.
using SlotNames = std::array<QString, 8>;

// The state the files on disk hold together, never a mix: the drawn counts that go with
// 中奖名单.txt (from prize.db, from the state before prize.db's last save, from allwinners.txt's mark,
// or else counted from the block headers), and allwinners.txt only when it was written against this
// 中奖名单.txt (or one it has grown from by main draws) in the same event.
Resolved resolve(const OnDisk& disk, const SlotNames& names);

// The drawn counts the block header lines of a list give, by prize name. Names that are no slot's
// prize are collected in unknown (when given).
Counts countBlocks(const QStringList& lines, const SlotNames& names, QStringList* unknown = nullptr);

} // namespace SavedState

// The one owner of an event's saved results: every save, restore, correction, initialise and exit
// record goes through it. It knows which files on disk are this run's, writes the parts that changed
// in one batch (prize.db, then 中奖名单.txt, then allwinners.txt, each flushed to disk, the folder
// flushed after each rename), and before it first replaces results this run never loaded it keeps a
// complete dated copy of them (both lists, the counts in the copy's mark).
//
// Failures throw OperationError with the operator's message; what is on disk is then a whole state,
// the old one or the new one.
class EventStore {
public:
    using Counts = SavedState::Counts;

    enum class Change {
        Draw,       // a main draw: the saved list grew by a block, the counts changed
        Correction, // a cancel, a restore or a supplementary draw: the all-winners list changed
        Export      // the saved list became the whole all-winners list
    };

    EventStore();

    // The prize names of the slots, for counting blocks by their headers where a state needs it.
    void setSlotNames(const SavedState::SlotNames& names) { m_names = names; }

    // Saves the run's state after a change. saved is the saved winners list, all the all-winners
    // list, counts the drawn counts of the eight slots.
    //
    // Each file is written when what it must hold changed or its last write failed, and a file that
    // refuses its write does not keep the others from theirs: a main draw (prize.db and 中奖名单.txt)
    // is saved while allwinners.txt cannot be written, and prize.db then names the allwinners.txt
    // still on disk (or none) as the one that goes with it. A correction never writes 中奖名单.txt
    // or the counts of a state this run does not own (after a No at start-up, after initialise).
    //
    // Throws OperationError when the change itself is not saved (a main draw's prize.db or
    // 中奖名单.txt, a correction's allwinners.txt, any part of an export). Returns the error of a part
    // that is not the change's own when only that failed (allwinners.txt behind a saved main draw):
    // it is written again at the next save.
    //
    // other holds keys of other sections of prize.db that belong to the change (the pre-set use
    // count of the draw that placed a pre-set winner): written in the same replacement of prize.db as
    // [State], which a saved main draw always writes.
    using Sections = QList<std::pair<QString, QList<std::pair<QString, QString>>>>;
    [[nodiscard]] std::optional<OperationError> save(Change change, const QStringList& saved,
                                                     const QStringList& all, const Counts& counts,
                                                     const Sections& other = {});

    // Reads the saved state (restore progress). Throws when 中奖名单.txt cannot be read; nothing of
    // this run's knowledge changes then.
    SavedState::Resolved restore();

    // Reads a pair of dated copies (restore of a saved state). The run then holds that state, not the
    // files' one: its next save writes all three files, after a dated copy of what they held. Throws
    // OperationError when a copy cannot be read or the two are no whole state; nothing changes then.
    SavedState::Resolved restoreCopy(const QString& winnersCopy, const QString& allCopy);
    // The same for the results a restore from a backup put aside: the three files of that folder,
    // taken as a restore progress takes the event's own. Throws OperationError when its 中奖名单.txt
    // cannot be read; nothing changes then.
    SavedState::Resolved restoreFolder(const QString& folder);
    const SavedState::SlotNames& slotNames() const { return m_names; }

    // The results on disk become another state's (initialise progress): the next save keeps them as
    // dated copies before it replaces them.
    void disown();

    // Whether the files on disk hold results this run has not loaded.
    bool holdsUnloadedResults() const;

    // The history record at exit (nothing for a blank list): appended to history.txt and flushed to
    // disk, so a nearly full disk still takes it; a record cut short by a power cut is closed off
    // before the next one.
    static void appendHistory(const QStringList& all);

    // A name for a dated copy of a file taken now, "<name>.<yyyyMMdd-hhmmss>.<suffix>" (then -2, -3,
    // ... rather than replace a copy).
    static QString datedCopyPath(const QString& path);

    // The dated copies the last save made (empty when it made none).
    const QStringList& lastCopies() const { return m_lastCopies; }
    const QString& event() const { return m_event; }
    // Whether the files on disk hold this run's state (it saved or restored it).
    bool owns() const { return m_owned; }

private:
    // Takes in what the files on disk hold before this run first replaces them, and keeps them as
    // dated copies when they hold results.
    void adoptDisk();
    void keepOrphanAll();
    // The run holds a restored copy from now on, no longer the files' state.
    void holdCopy(const SavedState::Resolved& resolved);

    // How far one file on disk is known to hold what this run last saved into it.
    enum class FileState {
        Written, // it holds what this run last saved into it
        // Its last write was refused before anything changed (a read-only file, a full disk): it still
        // holds what it held, which belongs to the state on disk; written again at the next save.
        Refused,
        // Not known to hold anything of this run's (another state's file, a save cut short): written
        // at the next save, and allwinners.txt counts as belonging to no state until then.
        Unknown
    };
    // A correction while the files hold another state's results: only allwinners.txt is written.
    void saveCorrectionAlone(const QStringList& saved, const QStringList& all, const Counts& counts);

    SavedState::SlotNames m_names;
    bool m_owned = false; // the files on disk hold this run's state
    bool m_copiesMade = false;
    QString m_event;
    // What this run knows of the files on disk while it owns them: the state they hold together.
    // Its allWinners is the base of the allwinners.txt on disk while that file belongs to it.
    SavedState::Tie m_disk;
    FileState m_keys = FileState::Unknown;    // prize.db's [State] describes m_disk
    FileState m_winners = FileState::Unknown; // 中奖名单.txt holds the saved list
    FileState m_all = FileState::Unknown;     // allwinners.txt holds the all-winners list
    bool m_orphanAll = false; // allwinners.txt holds another state's list: copied before it is replaced
    // Before this run owns them, the files hold another state's main draws (中奖名单.txt, counts).
    bool m_othersResults = false;
    bool m_holdsCopy = false; // the run holds a restored copy, written whole by its next save
    QStringList m_lastCopies;
};
