#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Workbooks made to hurt a reader, at any size, written in a moment: a part that repeats a piece is
// deflated one megabyte at a time, once, and that megabyte's compressed bytes are written again and
// again (each copy flushed to a byte boundary, so the copies make one valid stream). A part of 4 GiB
// thus costs a few megabytes of file and no time to make.
namespace HostileSheets {

// A part: head, then `repeated` written `times` times, then tail.
struct Part {
    QString name;
    QByteArray head;
    QByteArray repeated;
    qint64 times = 0;
    QByteArray tail;
};

// The parts of a workbook whose first sheet is xl/worksheets/sheet1.xml (its sheetData holds rows)
// with shared strings (xl/sharedStrings.xml, their <si> elements) and styles.
Part sheet(const QByteArray& rowsHead, const QByteArray& repeated = {}, qint64 times = 0,
           const QByteArray& rowsTail = {});
Part sharedStrings(const QByteArray& itemsHead, const QByteArray& repeated = {}, qint64 times = 0,
                   const QByteArray& itemsTail = {});
// The package's relationships, the workbook and its relationships (workbookRels: the Relationship
// elements; empty: the sheet, shared strings and styles).
QList<Part> workbook(const QByteArray& workbookRels = {});

// Writes the parts as a zip package, deflated. Returns false when the file cannot be written.
bool writePackage(const QString& path, const QList<Part>& parts);

// Writes head, `repeated` `times` times and tail as a plain file.
bool writeRepeated(const QString& path, const QByteArray& head, const QByteArray& repeated, qint64 times,
                   const QByteArray& tail = {});

} // namespace HostileSheets
