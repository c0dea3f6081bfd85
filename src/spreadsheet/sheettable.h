#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The cells of one sheet of a spreadsheet or CSV file as texts, row by row. Rows without any text are
// left out as they are added, and trailing empty cells are dropped, so every row holds something.
class SheetTable {
public:
    // More rows than an entrant list imported from a spreadsheet is allowed to have; a bigger sheet is
    // refused as a whole (nobody is left out of a draw without notice).
    inline static constexpr int kMaxRows = 200'000;
    // Cells right of this column are not read; the table notes that some were left out.
    inline static constexpr int kMaxColumns = 256;

    // Adds a row of cells (column 0 first). An empty row is skipped. Throws OperationError (too many
    // rows, naming the source) when the row would be one more than kMaxRows.
    void addRow(QStringList cells);

    const QList<QStringList>& rows() const { return m_rows; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }
    int columnCount() const { return m_columns; }
    // The cell, or an empty text outside the row.
    QString cell(int row, int column) const;
    bool columnsCut() const { return m_columnsCut; }

    // The file named in the error messages of addRow.
    void setSource(const QString& path) { m_source = path; }

private:
    QList<QStringList> m_rows;
    QString m_source;
    int m_columns = 0;
    bool m_columnsCut = false;
};

// Turning a table into entrant lines: which row is a header, which columns make the line.
namespace SheetImport {

// Reads a .xlsx, .csv or .txt file as a table: a zip file is read as an xlsx workbook (its first
// sheet), anything else as delimited text. Throws OperationError with the operator's message when the
// file cannot be opened, is not a workbook it claims to be, is encrypted or damaged, or is too big.
SheetTable readFile(const QString& path);

// A cell's text as part of an entrant line: line breaks and tabs become blanks, blanks at the ends go.
QString cellText(QStringView cell);
// Whether the text reads as a number (what a staff number or phone number column holds).
bool isNumber(QStringView text);

// Whether the first row looks like column titles: one of its cells is a known title (姓名, 工号,
// 部门, name, id, ...), or it holds only texts where later rows hold numbers.
bool looksLikeHeader(const SheetTable& table);
// Every column that holds some text below the header, in order.
QList<int> defaultColumns(const SheetTable& table, bool header);
// What the preview names a column: its title when the first row is a header, else "第 N 列".
QString columnTitle(const SheetTable& table, int column, bool header);

// One entrant line per row (the header row left out): the texts of the chosen columns, in the chosen
// order, joined with one blank; empty cells are passed over and rows that give no text are left out.
QStringList entrantLines(const SheetTable& table, const QList<int>& columns, bool header);
// How many lines hold a character that GBK has no code for (the list file then holds it as GB18030).
int linesOutsideGbk(const QStringList& lines);

} // namespace SheetImport
