#pragma once

#include "sheetlimits.h"

#include <QList>
#include <QString>
#include <QStringList>

// Many texts in one block: each text costs its characters and four bytes, not an object of its own,
// so that the most a table may hold stays a fixed, small amount of memory.
class PackedTexts {
public:
    void append(QStringView text);
    qsizetype size() const { return m_ends.size(); }
    // All texts' characters together.
    qsizetype chars() const { return m_text.size(); }
    QStringView at(qsizetype i) const;

private:
    QString m_text;
    QList<quint32> m_ends;
};

// The cells of one sheet of a spreadsheet or CSV file as texts, row by row. Rows without any text are
// left out as they are added, and trailing empty cells are dropped, so every row holds something.
// The table holds at most what its limits allow and throws OperationError, naming the source and the
// limit, at the first cell or row beyond them.
class SheetTable {
public:
    // More rows than an entrant list imported from a spreadsheet is allowed to have; a bigger sheet is
    // refused as a whole (nobody is left out of a draw without notice).
    inline static constexpr int kMaxRows = SheetLimits().maxRows;
    // Cells right of this column are not read; the table notes that some were left out.
    inline static constexpr int kMaxColumns = SheetLimits().maxColumns;

    explicit SheetTable(const SheetLimits& limits = SheetLimits()) : m_limits(limits) {}

    // Sets a cell of the row being read (a later text for the same column replaces the earlier one).
    // A column right of the limit is left out and noted.
    void setCell(int column, QString text);
    // A formula cell the file holds no computed value for (a workbook written by a program that does
    // not compute, never opened and saved in a spreadsheet application): its text is unknown.
    void setFormulaWithoutValue(int column);
    // A cell holding an error value (#N/A, #REF!, ...), its text as shown.
    void setErrorValue(int column, QString text);
    // The sheet's number (1-based) of the row being read; without it, a row is numbered one after the
    // one before.
    void setRowNumber(int number) { m_pendingNumber = number; }
    // Ends the row being read: trailing blank cells go, an empty row is skipped.
    void endRow();
    // Adds a row of cells (column 0 first): setCell for each, then endRow.
    void addRow(const QStringList& cells);

    int rowCount() const { return static_cast<int>(m_rowStarts.size()) - 1; }
    int columnCount() const { return m_columns; }
    // The cell, or an empty text outside the row.
    QStringView cellView(int row, int column) const;
    QString cell(int row, int column) const { return cellView(row, column).toString(); }
    // Whether the cell holds more than blanks, and whether its text (without the blanks at its ends)
    // holds a character GBK has no code for; both known since the cell was read.
    bool hasText(int row, int column) const { return flags(row, column) & kHasText; }
    bool outsideGbk(int row, int column) const { return flags(row, column) & kOutsideGbk; }
    bool withoutValue(int row, int column) const { return flags(row, column) & kWithoutValue; }
    bool errorValue(int row, int column) const { return flags(row, column) & kErrorValue; }
    // The row's number in the sheet (1-based), and a cell's reference there ("B4").
    int rowNumber(int row) const;
    QString cellReference(int row, int column) const;
    QStringList row(int row) const;
    // Every row (a copy; for checks and small tables).
    QList<QStringList> rows() const;
    bool columnsCut() const { return m_columnsCut; }
    // All cells' characters together.
    qsizetype chars() const { return m_cells.chars(); }

    // The file named in the error messages.
    void setSource(const QString& path) { m_source = path; }
    const QString& source() const { return m_source; }
    const SheetLimits& limits() const { return m_limits; }

private:
    enum Flag : char { kHasText = 1, kOutsideGbk = 2, kWithoutValue = 4, kErrorValue = 8 };
    char flags(int row, int column) const;

    SheetLimits m_limits;
    QString m_source;
    QStringList m_pending;
    // The marks of the pending cells (kWithoutValue, kErrorValue), by column.
    QByteArray m_pendingMarks;
    int m_pendingNumber = 0;
    int m_lastNumber = 0;
    QList<quint32> m_rowNumbers;
    PackedTexts m_cells;
    QByteArray m_flags;
    // Where each row's cells begin in m_cells, and one past the last row.
    QList<quint32> m_rowStarts{0};
    int m_columns = 0;
    bool m_columnsCut = false;
};

// Turning a table into entrant lines: which row is a header, which columns make the line.
namespace SheetImport {

// Reads a .xlsx, .csv or .txt file as a table: a zip file is read as an xlsx workbook (its first
// sheet), anything else as delimited text. Throws OperationError with the operator's message when the
// file cannot be opened, is not a workbook it claims to be, is encrypted or damaged, or goes beyond
// the limits; ReadCancelled when control was cancelled.
SheetTable readFile(const QString& path, const SheetLimits& limits = SheetLimits(),
                    ReadControl* control = nullptr);

// A cell's text as part of an entrant line: line breaks and tabs become blanks, blanks at the ends go.
QString cellText(QStringView cell);
// Whether the text reads as a number (what a staff number or phone number column holds).
bool isNumber(QStringView text);

// Whether the first row looks like column titles: one of its cells is a known title (姓名, 工号,
// 部门, name, id, ...), or it holds only texts where later rows hold numbers.
bool looksLikeHeader(const SheetTable& table);
// Every column that holds some text (or a formula without its value) below the header, in order.
QList<int> defaultColumns(const SheetTable& table, bool header);
// What the preview names a column: its title when the first row is a header, else "第 N 列".
QString columnTitle(const SheetTable& table, int column, bool header);

// One entrant line per row (the header row left out): the texts of the chosen columns, in the chosen
// order, joined with one blank; empty cells are passed over. Rows that give no text are left out, and
// so are rows with a chosen cell whose text is not known (a formula without a computed value) or is an
// error value: nobody is imported under half a name.
QStringList entrantLines(const SheetTable& table, const QList<int>& columns, bool header);

// What entrantLines gives, without making the lines: how many, the first one, and how many hold a
// character that GBK has no code for (the list file then holds it as GB18030).
struct LinesSummary {
    int count = 0;
    QString first;
    int outsideGbk = 0;
    // The rows left out: no text in the chosen columns, a formula without its value, an error value;
    // the references of the first few such cells.
    int blank = 0;
    int withoutValue = 0;
    int errorValue = 0;
    QStringList withoutValueCells;
    QStringList errorValueCells;
    inline static constexpr int kNamedCells = 5;

    int skipped() const { return blank + withoutValue + errorValue; }
};
LinesSummary summarize(const SheetTable& table, const QList<int>& columns, bool header);

// The titles of the columns the entrant list was made of, in their order, kept in prize.db
// (Entrants/Columns, tab-separated) so that the results export can head its columns with them.
// The titles of chosen columns: the header row's texts (empty when there is no header row).
QStringList chosenTitles(const SheetTable& table, const QList<int>& columns, bool header);
// Keeps titles (none: a list without titles). Throws OperationError when prize.db cannot be written.
void keepColumnTitles(const QStringList& titles);
QStringList keptColumnTitles();

} // namespace SheetImport
