#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

// The entrant pool: the lines of 抽奖名单.txt in file order, 0-based, exactly as read (no trimming,
// blank and duplicate lines kept). Held as one text and the start of each line, so a million lines
// cost little more than their text and any line is reached at once.
class EntrantPool {
public:
    // Before the first load the pool holds the one placeholder line "listdata" and counts 0.
    EntrantPool();

    // Replaces the pool by the lines of text. CR LF, a lone CR and a lone LF each end a line; a
    // break at the very end adds no empty line.
    void setText(QString text);

    // The pool count N: the number of lines loaded (0 before a load).
    int count() const { return m_loaded ? static_cast<int>(m_starts.size()) : 0; }
    bool isLoaded() const { return m_loaded; }
    // Line i as stored, 0 <= i < number of lines (the placeholder is line 0 before a load).
    QStringView line(int i) const;
    // Line i without leading and trailing blanks and control characters: the entrant's name.
    QString name(int i) const { return trimmed(line(i)).toString(); }
    // The whole text as loaded.
    const QString& text() const { return m_text; }
    // Tells one load from another: every load gets a number no pool has had before in this run (a
    // copy keeps its original's), so what is worked out from a pool can be kept until it changes.
    std::uint64_t generation() const { return m_generation; }
    // The line in which the character at position pos of text() lies.
    int lineAt(qsizetype pos) const;

    // Removes leading and trailing characters up to and including the blank (U+0000 .. U+0020).
    static QStringView trimmed(QStringView text);

private:
    QString m_text;
    std::vector<qsizetype> m_starts;
    bool m_loaded = false;
    std::uint64_t m_generation = 0;
};
