#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// An Excel workbook (.xlsx) of one sheet, made in memory: every cell a text (a staff number 00123 or
// a phone number stays as written), the first row bold and frozen, columns as wide as their longest
// text. The package is zipped with QuaZip, the same library that reads workbooks.
//
// (libxlsxwriter cannot be used beside QuaZip: it links the system's minizip, whose function names
// QuaZip's own copy of minizip also exports, so in one process one of the two calls the other's
// incompatible functions.)
namespace XlsxWriter {

// The workbook's bytes. Throws OperationError when the package cannot be made.
QByteArray workbook(const QString& sheetName, const QList<QStringList>& rows);

// The column width (in characters) for the texts of a column: Chinese characters count two.
double columnWidth(const QStringList& texts);

} // namespace XlsxWriter
