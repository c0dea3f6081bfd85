#pragma once

#include "durablefile.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// 签到名单.txt in the event folder: who has checked in, one check-in a line, GBK, CR LF:
//
//   2026-12-09 19:02:11<TAB>张三 A0013
//
// the time of the check-in (fixed width), a tab, and the entrant's line of 抽奖名单.txt as drawn
// (blanks and control characters at its ends removed). The first tab ends the time, so an entrant
// holding tabs reads back whole; the entrant is named by its text, not by its place in the list, so
// the file stays right when the list is imported again in another order.
//
// A check-in is appended to the file and flushed (fdatasync) before record() returns; check-ins
// made together share one write and one flush. A power cut can only tear what was being appended:
// load() cuts a last line without its CR LF, or the zeros a cut can leave where the file grew, and
// flushes the file so cut. Check-out and clear replace the whole file atomically (AtomicFile): they
// are rare and by hand. A line that is not a check-in (edited by hand) is kept in the file and
// skipped. Before each append the log makes sure the file at the path is still the one it read and
// wrote (device, inode, size): a file replaced or deleted meanwhile is read again and every check-in
// it lacks is written into it, so an answer never rests on a file that is gone. Not thread-safe: one thread
// uses an object at a time.
class CheckinLog {
public:
    struct Entry {
        QDateTime at;
        QString entrant;
    };

    explicit CheckinLog(QString path);
    ~CheckinLog();
    CheckinLog(const CheckinLog&) = delete;
    CheckinLog& operator=(const CheckinLog&) = delete;

    const QString& path() const { return m_path; }

    // Reads the file (a missing file is an empty list) and repairs a torn tail. Throws
    // OperationError (cannot open / cannot create) when the file cannot be read or repaired.
    void load();
    // The check-ins in the order made; an entrant at most once.
    const QList<Entry>& entries() const { return m_entries; }
    std::optional<QDateTime> checkedInAt(const QString& entrant) const;
    bool isPresent(const QString& entrant) const { return m_index.contains(entrant); }
    // Lines load() skipped (not a check-in) and bytes it cut off (a torn tail).
    int skippedLines() const { return m_skipped; }
    qint64 repairedBytes() const { return m_repaired; }

    // Appends the check-ins of entrants not yet present (one write, one flush) and returns those
    // it appended. Throws OperationError when the file cannot take them; then none of them counts.
    QList<Entry> record(const QList<Entry>& checkins);
    // Removes an entrant's check-in (the whole file replaced). False when it was not there.
    bool checkOut(const QString& entrant) { return checkOut(QStringList{entrant}) > 0; }
    // Removes the check-ins of every entrant given (one rewrite); how many there were.
    int checkOut(const QStringList& entrants);
    // Empties the file (lines that were not check-ins too).
    void clear();

    // Why an entrant text cannot be stored (empty when it can): blank, too long, a line break or
    // another control character (a tab between columns is fine), or characters the GBK file cannot hold.
    static QString refusal(const QString& entrant);
    static constexpr int kMaxEntrantLength = 400;

private:
    void rewrite(const QList<Entry>& entries, const QByteArray& keptLines);
    void closeFile();
    // Reads check-ins from the file's bytes (entries, kept lines, skipped count).
    void parse(const QByteArray& bytes);
    // Which file the path names now (after a load or a write), and whether that changed since.
    void rememberFile();
    bool changedOnDisk() const;
    // Takes the file now at the path as the log and adds this log's check-ins it lacks; returns the
    // bytes that append them.
    QByteArray mergeFromDisk();
    static QByteArray lineOf(const Entry& entry);

    QString m_path;
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index; // entrant → position in m_entries
    QByteArray m_keptLines;            // lines of the file that are not check-ins, kept on rewrite
    int m_fd = -1;
    DurableFile::Identity m_file; // what the path named at the last load or write
    int m_skipped = 0;
    qint64 m_repaired = 0;
};
