#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// The verifiable draw's journal: one file of the event folder, one entry a line (a JSON object in
// UTF-8, ended by LF). Each entry carries its number "n" (from 1) and "prev", the SHA-256 of the bytes
// of the line before it (64 zeros for the first), so an entry changed, left out or put in breaks the
// chain. An entry is appended and flushed to the disk before the save it belongs to, and before
// anything it says is shown.
//
// A line that a power cut left incomplete at the end (no LF, or bytes that are no entry) is no entry:
// the next append cuts it off. A chain broken before the last line (a file edited by hand) stops
// every append, with the reason.
class DrawJournal {
public:
    explicit DrawJournal(QString path = QString());

    const QString& path() const { return m_path; }
    // Reads the file (an absent file is an empty journal).
    void load();
    // The entries' lines (without their LF) and their parsed objects.
    const QList<QByteArray>& lines() const { return m_lines; }
    const QList<QJsonObject>& entries() const { return m_entries; }
    int count() const { return static_cast<int>(m_lines.size()); }
    // The SHA-256 of the last entry's line (64 zeros while there is none).
    QString lastHash() const;
    // Why the file cannot take another entry (empty when it can).
    const QString& broken() const { return m_broken; }
    // The journal's bytes: every entry's line with its LF.
    QByteArray bytes() const;

    // Appends an entry (n and prev are set here) and flushes it to the disk; its number. Throws
    // OperationError when it is not on the disk (the journal is then as it was).
    int append(QJsonObject entry);

    // The line of an entry as it is written: compact JSON, keys in order.
    static QByteArray lineOf(const QJsonObject& entry);

private:
    QString m_path;
    QList<QByteArray> m_lines;
    QList<QJsonObject> m_entries;
    qint64 m_validBytes = 0; // the entries' bytes; more on disk is a torn line to cut off
    qint64 m_fileBytes = 0;
    QString m_broken;
};
