#pragma once

#include "checkinlog.h"
#include "entrantfields.h"
#include "guestcard.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPair>
#include <QSet>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Where a check-in came from: a phone (and its network address) or the desk. Kept while the program
// runs (签到名单.txt keeps the entrant and the time only).
struct CheckinOrigin {
    bool phone = false;
    QString address;
    bool confirmed = false; // a phone's request the desk confirmed
};

// Who is in the room: the entrant list to match typed texts against, and the check-ins of 签到名单.txt.
// Safe to use from any thread: the server's threads, the windows and the draw. Every change of the
// file is made by one writer thread of its own, so the GUI thread never waits on the disk: check-ins
// that arrive together are written with one write and one flush (group commit), and a check-in is
// answered only once it is on disk.
class CheckinDesk : public QObject {
    Q_OBJECT
public:
    struct Lookup {
        enum Kind { None, One, Many };
        Kind kind = None;
        QString entrant; // One: the entrant's line, trimmed
        int count = 0;   // how many different entrants hold the text
    };
    struct Outcome {
        enum Kind { CheckedIn, Already, Failed, Busy };
        Kind kind = Failed;
        QDateTime at;  // CheckedIn, Already: the time of the check-in
        QString error; // Failed: the operator's message
    };
    using Origin = CheckinOrigin;
    using Answer = std::function<void(const Outcome&)>;
    // What the hall sees of a line (the stage's text of it): a field of the line that is not a whole
    // field of this text is one a guest can prove who they are with. Empty: the line itself.
    using HallText = std::function<QString(const QString& line)>;
    // A phone's check-in that waits for the desk (its line holds nothing the hall does not see).
    struct Waiting {
        QString entrant;
        QString address;
        QDateTime since;
    };
    // A guest whose proofs from some addresses are no longer taken (too many wrong ones there).
    struct Held {
        QString entrant;
        QList<QPair<QString, int>> wrong; // address, wrong proofs from it; most first
        bool everywhere = false;          // too many in all: no address is taken
    };
    enum class WaitState { None, Waiting, Refused };
    static constexpr int kWrongPerAddress = 5; // wrong proofs for one guest from one address
    static constexpr int kWrongInAll = 50;     // wrong proofs for one guest from all addresses
    static constexpr int kWaitingPerAddress = 100;
    static constexpr int kWaitingInAll = 2000;

    explicit CheckinDesk(QString path, QObject* parent = nullptr);
    ~CheckinDesk() override;

    // Reads 签到名单.txt (repairing a torn tail). Throws OperationError when it cannot.
    void load();
    // Takes the entrant list to match against and to count (a copy; the list may change afterwards),
    // with what the hall sees of each line (hallText is asked here, on the caller's thread, never
    // by the server's).
    void setPool(const EntrantPool& pool, const HallText& hallText = {});

    // The entrants whose line holds every field of the typed text as a field the hall sees (whole
    // fields, never a part): a hidden field finds nobody, so a lookup never tells whether a guess of
    // one was right.
    Lookup lookup(QStringView query) const;
    // The fields of the entrant's line the hall never sees: what proves the guest (none: the desk).
    QStringList secretFields(const QString& entrant) const;
    // Whether a field typed is one of them (whole fields, folded as the lookup folds).
    bool proves(const QString& entrant, QStringView typed) const;
    // The masked confirmation of the entrant, which never shows a field the hall does not see.
    GuestCard cardOf(const QString& entrant) const;
    // Lines of the list whose guest can prove themselves on a phone, and lines only the desk can.
    struct ProofCounts {
        int phone = 0;
        int desk = 0;
    };
    ProofCounts proofCounts() const;

    // Wrong proofs, counted per guest and address. Whether the address may still try for the guest;
    // wrongProof() counts one (true when that holds the guest there); release() forgets the guest's.
    bool mayTry(const QString& entrant, const QString& address) const;
    bool wrongProof(const QString& entrant, const QString& address);
    QList<Held> held() const;
    void release(const QString& entrant);

    // Check-ins waiting for the desk. askDesk() is false when the queue (per address or in all) is
    // full; confirmWaiting() checks the guest in (as a phone's check-in the desk confirmed).
    bool askDesk(const QString& entrant, const QString& address);
    QList<Waiting> waiting() const;
    WaitState waitState(const QString& entrant) const;
    void confirmWaiting(const QString& entrant);
    void refuseWaiting(const QString& entrant);

    // Checks an entrant in and waits until the check-in is on disk (at most timeoutMs: then Busy,
    // while the check-in still goes ahead). An entrant already in gets Already with the first time.
    Outcome checkIn(const QString& entrant, int timeoutMs = 10000, const Origin& origin = {});
    // The same without waiting: answer runs on the writer thread once the check-in is on disk or
    // refused (the server answers the phone from there).
    void checkInThen(const QString& entrant, const Origin& origin, Answer answer);
    // The same without waiting (the windows); changed() tells when it is done, writeFailed() if not.
    void checkInLater(const QString& entrant);
    void checkOutLater(const QString& entrant);
    // Takes back every check-in made from a phone at the address (one rewrite of the file).
    void checkOutAddress(const QString& address);
    std::optional<Origin> originOf(const QString& entrant) const;
    // Removes every check-in and waits for it. Throws OperationError when the file cannot be emptied.
    void clear();

    // Entrants of the list (non-blank lines) and those of them checked in.
    int total() const;
    int presentCount() const;
    // Whether the pool line at position has checked in (false for a position outside the list).
    bool isPresent(int position) const;
    // Every pool line's presence at once, for a draw that asks about many lines.
    std::vector<bool> presentMask() const;
    std::optional<QDateTime> checkedInAt(const QString& entrant) const;
    // The check-ins in the order made (the last ones are the latest).
    QList<CheckinLog::Entry> entries() const;
    // The last n check-ins, the latest first.
    QList<CheckinLog::Entry> latest(int n) const;
    // Check-ins waiting for the disk.
    int pending() const;
    // Appends written so far (each one write and one flush, for every check-in waiting at the time).
    int appends() const { return m_appends; }

Q_SIGNALS:
    // A write succeeded: the check-ins changed (emitted from the writer thread: connect it queued).
    void changed();
    // The file could not be written; the check-ins of that write were refused.
    void writeFailed(const QString& message);
    // The check-ins waiting for the desk or the guests held changed (from any thread).
    void queueChanged();

private:
    struct Job {
        enum Kind { CheckIn, CheckOut, Clear };
        Kind kind = CheckIn;
        QStringList entrants;
        std::shared_ptr<std::promise<Outcome>> done;
        Origin origin;
        Answer answer;
        void finish(const Outcome& outcome) const {
            done->set_value(outcome);
            if (answer)
                answer(outcome);
        }
    };
    struct Directory {
        EntrantFieldIndex index;
        int total = 0;
        // Per line, which of its fields (by place, the first 64) the hall never sees; empty when
        // the hall sees every line whole.
        std::vector<std::uint64_t> secret;
        ProofCounts counts;
        // The line at position, among those matching the entrant; -1 for none.
        int positionOf(const QString& entrant) const;
        std::uint64_t secretOf(int position) const;
    };
    std::shared_ptr<const Directory> directory() const;

    std::shared_ptr<std::promise<Outcome>> submit(Job job);
    void run();
    void process(std::deque<Job>& jobs);
    // Marks the lines of the entrants in the mask (m_mutex held).
    void markPresent(const QString& entrant, bool present);
    void rebuildMask();
    // Takes the log's check-ins as the readers' copy (m_mutex and m_logMutex held).
    void adoptLogEntries();

    mutable std::mutex m_mutex;
    std::shared_ptr<const Directory> m_directory;
    std::vector<bool> m_mask;
    int m_presentCount = 0;
    QList<CheckinLog::Entry> m_entries; // a copy of the log's, for readers on any thread
    QHash<QString, qsizetype> m_index;
    QHash<QString, Origin> m_origins;
    QHash<QString, QHash<QString, int>> m_wrong; // entrant → address → wrong proofs
    QList<Waiting> m_waiting;
    QSet<QString> m_refused;

    // The file: the writer thread's, and load()'s while it holds m_logMutex.
    std::mutex m_logMutex;
    CheckinLog m_log;
    mutable std::mutex m_queueMutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue;
    bool m_stopping = false;
    std::atomic<int> m_appends = 0;
    std::thread m_writer;
};
