#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <utility>

// The three winners lists of the event and the grammar of their lines.
//   all-winners list: every line of the event (headers, winners, supplementary lines, cancel marks);
//   saved list:       headers and winner lines of the main draws, what 中奖名单.txt holds;
//   current list:     the cells of the winners panel for the latest draw.
// The all-winners list keeps an index of the names that have won, so "has this entrant already won"
// is one look-up however long the event.
class WinnerLists : public QObject {
    Q_OBJECT
public:
    explicit WinnerLists(QObject* parent = nullptr);

    const QStringList& all() const { return m_all; }
    const QStringList& saved() const { return m_saved; }
    const QStringList& current() const { return m_current; }
    void appendAll(const QString& line);
    void setAllLine(int index, const QString& line);
    void setAll(const QStringList& lines);
    void appendSaved(const QString& line);
    void setSaved(const QStringList& lines);
    void appendCurrent(const QString& line);
    void setCurrentLine(int index, const QString& line);
    void clearCurrent();
    // The line of the all-winners list each cell of the current list was recorded as, while the
    // winners panel shows the latest draw of this list; forgotten when the list is replaced.
    void linkCurrent(const QList<int>& lines) {
        m_currentLines = lines;
        Q_EMIT currentLinked();
    }
    const QList<int>& currentLines() const { return m_currentLines; }

    // The one rule by which a winners panel cell and a line of the all-winners list stand for each
    // other (the panel's cancel and restore, and the all-winners window's, which mark the panel):
    // cell number `cell` (row by row) with the text `text` stands for the line it was recorded as,
    // while that link holds; else for the newest line naming exactly its entrant (findLineForCell).
    // A cell already marked cancelled stands for no line to cancel; to restore (mustBeCancelled),
    // text is the cell without its marks and only a cancelled line counts. -1 when there is none.
    int lineOfCell(int cell, const QString& text, bool mustBeCancelled) const;

    // Whether a winner line or supplementary line of the all-winners list names exactly this entrant
    // (cancelled lines included).
    bool hasWon(const QString& name) const { return m_wonCount.value(name) > 0; }
    // Changes whenever the all-winners list is replaced, a line of it comes to name another entrant or
    // prize, or its lines are read again under other prize names; appending lines and cancel marks
    // leave it. What is worked out from the entrants and prizes of the list can be kept while it
    // stays and then be brought up to date from the lines appended since.
    quint64 revision() const { return m_revision; }

    // The prize names of the prize table. A supplementary line, or a line outside any block, is read
    // after the longest of them that starts it, so a prize name holding ": " keeps its winner whole.
    void setPrizeNames(const QStringList& names);
    // The entrant line i of the all-winners list names (empty for headers and other text), and the
    // prize it was read after.
    QString nameAt(int i) const;
    QString prizeAt(int i) const;
    // The entrant a winners panel cell shows, as cellName() but after a known prize name.
    QString cellNameOf(const QString& cell) const;

    // Line builders.
    static QString headerLine(int count, const QString& prize, const QDateTime& when);
    static QString winnerLine(const QString& prize, const QString& name);
    static QString supplementaryLine(const QString& prize, const QString& name);
    static QString supplementaryCell(const QString& prize, const QString& name);
    static bool isHeaderLine(QStringView line);
    // The prize name of a header line (between " 位 " and the date and time); empty for other text.
    static QString headerPrize(QStringView line);
    // The date and time that ends a header line ("yyyy-MM-dd hh:mm:ss"), or nothing.
    static QString headerTime(const QString& line);
    // The entrant a winner or supplementary line names: the text after the prize name and ": ", read
    // with the cancel marks removed, without the supplementary mark; empty for header lines and other
    // text. When the line does not start with the prize (or no prize is given) the text after the
    // first ": " is taken.
    static QString winnerName(QStringView line, QStringView prize = {});

    // The entrant a winners panel cell shows: the cell without its "取消---" prefixes; for a
    // supplementary cell (prize "：" name "---补抽奖") the name alone.
    static QString cellName(QStringView cell);
    // The line of the all-winners list a winners panel cell stands for, searching from the newest:
    // for a supplementary cell its supplementary line, for any other cell the winner line whose
    // winner is exactly the cell's text. With mustBeCancelled only lines that carry the cancel
    // mark count. -1 when there is none.
    int findLineForCell(const QString& cell, bool mustBeCancelled) const;
    // Whether the cell is a supplementary cell.
    static bool isSupplementaryCell(QStringView cell);

    // Cancel marks: "---取消" on list lines, "取消---" on panel cells. A restore takes out every mark,
    // also one that taking out another has joined together ("------取消取消"), so that a line once
    // restored reads as the same entrant as before it was cancelled.
    static QString cancelLine(const QString& line) { return line + kCancelSuffix; }
    static QString restoreLine(QString line) { return withoutMarks(std::move(line), kCancelSuffix); }
    static QString cancelCell(const QString& cell) { return kCancelPrefix + cell; }
    static QString restoreCell(QString cell) { return withoutMarks(std::move(cell), kCancelPrefix); }

    inline static const QString kHeaderStart = QStringLiteral("      以下是：");
    inline static const QString kCancelSuffix = QStringLiteral("---取消");
    inline static const QString kCancelPrefix = QStringLiteral("取消---");
    inline static const QString kSupplementaryMark = QStringLiteral("---补抽奖");
    // Between the prize and the winner on a winner or supplementary line.
    inline static const QString kPrizeSeparator = QStringLiteral(": ");

Q_SIGNALS:
    // The all-winners list got a line at its end / one line changed / was replaced or emptied.
    void allLineAppended(int index);
    void allLineChanged(int index);
    void allReset();
    // The current list holds a new draw, each of its cells linked to its line.
    void currentLinked();

private:
    static QString withoutMarks(QString text, const QString& mark) {
        for (qsizetype size = -1; size != text.size();) {
            size = text.size();
            text.remove(mark);
        }
        return text;
    }

    struct Entry {
        QString prize;
        QString name;
    };
    // The prize and entrant of line i, from its block's header and the known prize names.
    Entry parse(int i) const;
    void index(int i, int delta);
    void reindex(int from, int to);
    void readLines(int from, int to);
    // The index of the nearest header line above line i, or -1.
    int headerBefore(int i) const;
    void noteTail();

    QStringList m_all;
    QList<Entry> m_entries;
    QStringList m_prizeNames; // longest first
    // The newest header at or before line m_lastHeaderEnd (the last line when it was noted).
    int m_lastHeader = -1;
    int m_lastHeaderEnd = -1;
    int m_scanHeader = -1;
    bool m_scanning = false;
    QStringList m_saved;
    QStringList m_current;
    QHash<QString, int> m_wonCount;
    QList<int> m_currentLines;
    quint64 m_revision = 0;
};

// The all-winners list's lines as the windows show them (the same grammar as WinnerLists').
namespace AllWinners {

// One list line as one paragraph of a view: line breaks inside the line become blanks, so that
// paragraph k of the view is always line k of the list.
QString displayLine(QString line);

// What a line of the list is, for the way it is drawn.
enum class LineKind { Heading, Winner, Supplementary, Cancelled, Other };
LineKind kindOf(const QString& line);
// Where the prize of a winner or supplementary line ends (the ": " after it included); 0 for other lines.
int prizeLength(const QString& line);

} // namespace AllWinners
