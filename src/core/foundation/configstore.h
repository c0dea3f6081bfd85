#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <utility>

namespace AtomicFile {
class Batch;
}

// prize.db, the INI-format store of every setting and of the saved drawn counts.
//
// One ConfigStore object is one "open" of the file for one operation: the constructor reads the file
// (a missing or unreadable file reads as empty), reads come from what was read, and every write goes
// to disk at once, all or nothing (AtomicFile), before it returns. Lines the program does not touch
// keep their bytes. Section and key names match without regard to letter case; the first of
// duplicate sections or keys is the one read and written; lines without "=" are ignored.
class ConfigStore {
public:
    explicit ConfigStore(QString path);

    const QString& path() const { return m_path; }

    // The stored text with blanks around it removed and one pair of enclosing quotes (double or
    // single) dropped, cut at 2047 bytes; the default when the key is absent. A present empty value
    // reads as the empty text.
    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Decimal, or hexadecimal after "$", "0x" or "0X"; the default when absent, empty or unparsable.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // An integer: zero is false, any other true; the default when absent, empty or unparsable.
    bool readBool(const QString& section, const QString& key, bool defaultValue) const;
    // The locale's short date, yyyy-M-d or yyyy/M/d (leading zeros optional); the default otherwise.
    QDate readDate(const QString& section, const QString& key, const QDate& defaultValue) const;
    // Whether the key is present (with any value).
    bool contains(const QString& section, const QString& key) const;

    // Write-through: replaces the key's value in place, or adds the key (and its section, and the file).
    // Throws OperationError "Unable to write to <path>" when the file cannot be written.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void writeBool(const QString& section, const QString& key, bool value);
    // Several keys of one section in one write: all of them reach the disk together, or none.
    void writeStrings(const QString& section, const QList<std::pair<QString, QString>>& entries);
    // The same keys staged into a batch of whole-file replacements: the file changes when the caller
    // commits the batch, together with the batch's other files. Throws "Unable to write to <path>"
    // when the file cannot be staged.
    void stageStrings(AtomicFile::Batch& batch, const QString& section,
                      const QList<std::pair<QString, QString>>& entries);
    // Keys of several sections staged as one replacement of the file.
    using Entries = QList<std::pair<QString, QString>>;
    void stageSections(AtomicFile::Batch& batch, const QList<std::pair<QString, Entries>>& sections);

    // The value parsers on their own (also used by the settings dialog's number fields).
    static bool parseInteger(QStringView text, int* value);
    static bool parseDate(QStringView text, QDate* value);

private:
    struct Line {
        QByteArray raw;       // the line as it stands in the file, without its line break
        QByteArray lineBreak; // its line break as it stands in the file (CR LF, LF, CR or none at the end)
        QString section;      // for a section line: its name
        QString key;          // for an entry line: its name, trimmed
        QString value;        // for an entry line: the value as read
        bool isSection = false;
        bool isEntry = false;
    };
    // Where a key is: the line of its (first) section, the last entry line of that section and the
    // entry line itself; -1 for what is absent.
    struct Place {
        qsizetype section = -1;
        qsizetype lastInSection = -1;
        qsizetype entry = -1;
    };
    static Line parseLine(const QByteArray& raw, const QByteArray& lineBreak);
    static Place locate(const QList<Line>& lines, const QString& section, const QString& key);
    static void setEntry(QList<Line>& lines, const QString& section, const QString& key,
                         const QString& value);
    const Line* find(const QString& section, const QString& key) const;
    // Writes the lines as the whole file; the object keeps its old lines when this throws.
    void save(const QList<Line>& lines) const;
    static QByteArray content(const QList<Line>& lines);

    QString m_path;
    QList<Line> m_lines;
};
