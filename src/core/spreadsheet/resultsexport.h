#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class WinnerLists;

// The results of the event as a table for HR and finance, written as .xlsx or .csv.
//
// One row per winner line and supplementary line of the all-winners list, in event order: the time of
// its draw (the header of its block; a supplementary draw records no time, so its time stays empty),
// the prize, the prize's goods name, the winner's columns and the status 中奖, 补抽 or 已取消.
// The winner's columns are the entrant line split where it was joined: on tabs when it holds one (a
// line copied from a spreadsheet), else on runs of two or more blanks, else on single blanks (how the
// spreadsheet import joins columns).
namespace ResultsExport {

struct Row {
    QString time;
    QString prize;
    QString goods;
    QStringList winner;
    QString status;
};

inline const QString kWon = QStringLiteral("中奖");
inline const QString kSupplementary = QStringLiteral("补抽");
inline const QString kCancelled = QStringLiteral("已取消");

// The entrant line's columns.
QStringList splitEntrant(const QString& name);
// The goods names of prize.db (JP/prizename<n>) by the prize's name (JP/Name<n>).
QHash<QString, QString> goodsByPrize();
// The rows of the all-winners list.
QList<Row> rows(const WinnerLists& lists, const QHash<QString, QString>& goods);
// The header row and the rows as cells, every row as wide as the widest. The winner's columns are
// headed with the entrant list's column titles where it has them (姓名, 工号, 部门 from the import),
// else 中奖人, 列2, 列3, ...
QList<QStringList> table(const QList<Row>& rows, const QStringList& titles = {});

// Write the table to path, all or nothing; any file there stays as it was on failure. Both throw
// OperationError with the path and the reason.
void writeCsv(const QString& path, const QList<QStringList>& table);
void writeXlsx(const QString& path, const QList<QStringList>& table);
// The CSV bytes: UTF-8 with a byte-order mark (so a spreadsheet shows Chinese right), RFC 4180 quoting,
// CR LF after every record, every cell through inertCell. The xlsx needs no such care: every cell of it
// is a text cell, never a formula.
QByteArray csv(const QList<QStringList>& table);
// A cell as the CSV holds it: one that begins with =, +, -, @, a tab or a CR, which a spreadsheet
// would run as a formula (names come from outside, and a formula can fetch or send data), gets a
// leading ' so that it is shown as the text it is.
QString inertCell(const QString& cell);

inline const QString kXlsxFilter = QStringLiteral("Excel 工作簿 (*.xlsx)");
inline const QString kCsvFilter = QStringLiteral("CSV 文件 (*.csv)");

} // namespace ResultsExport
