#pragma once

#include "operationerror.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <exception>

// How much a spreadsheet import reads at most. A workbook or CSV comes from anyone and is read on the
// laptop that runs the show: whatever it holds, the import stops at these limits with the operator's
// message, long before it could take the machine's memory or minutes of its time.
struct SheetLimits {
    int maxRows = 200'000;
    // Cells right of this column are not kept (the table notes that some were left out).
    int maxColumns = 256;
    // Excel's own limit of a cell.
    qsizetype maxCellChars = 32'767;
    // All cells' text together, and the shared strings of a workbook on their own (UTF-16 code units).
    qsizetype maxChars = 32'000'000;
    // Cells kept (an empty cell left of a text counts), and shared strings of a workbook.
    qsizetype maxCells = 4'000'000;
    // A CSV or text file.
    qint64 maxFileBytes = 128LL * 1024 * 1024;
    // The parts of a workbook inflated, all together.
    qint64 maxInflatedBytes = 512LL * 1024 * 1024;
    // A part may inflate to this many times its compressed size once it is beyond ratioGraceBytes
    // (a zip bomb inflates a thousand times; a sheet some ten times).
    qint64 maxRatio = 100;
    qint64 ratioGraceBytes = 1024 * 1024;
    // XML elements of a workbook, all parts together: each costs the parser time, whether it holds
    // anything or not (a sheet of 4 million cells with their shared strings has some 17 million).
    qint64 maxElements = 20'000'000;
    // One XML tag, comment or processing instruction, and elements inside each other.
    qint64 maxXmlToken = 1024 * 1024;
    int maxXmlDepth = 64;
    // Relationships of a part, number formats and cell formats of the styles (Excel makes at most
    // 64,000), entries of the package.
    int maxEntries = 65'536;
};

// A read that stopped because the operator cancelled it.
class ReadCancelled : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

// Follows a read running on another thread: how far it has come, and whether it should stop. The
// reader reports its progress often (at least every quarter megabyte), and report() throws
// ReadCancelled once cancel() was called.
class ReadControl {
public:
    void cancel() { m_cancelled = true; }
    bool isCancelled() const { return m_cancelled; }
    // done of total, as thousandths.
    void report(qint64 done, qint64 total);
    int permille() const { return m_permille; }
    // Bytes inflated from a package so far, all parts together.
    qint64 inflated() const { return m_inflated; }
    void addInflated(qint64 bytes) { m_inflated += bytes; }

private:
    std::atomic<bool> m_cancelled = false;
    std::atomic<int> m_permille = 0;
    std::atomic<qint64> m_inflated = 0;
};

// The operator's messages of a read refused at a limit; each names the file and the limit.
namespace SheetErrors {
OperationError tooManyRows(const QString& path, const SheetLimits& limits);
OperationError cellTooLong(const QString& path, const SheetLimits& limits);
OperationError tooMuchText(const QString& path, const SheetLimits& limits);
OperationError tooManyCells(const QString& path, const SheetLimits& limits);
OperationError fileTooBig(const QString& path, const SheetLimits& limits);
OperationError inflatesTooMuch(const QString& path, const QString& part, const SheetLimits& limits);
OperationError inflatedTooBig(const QString& path, const SheetLimits& limits);
OperationError tooManyElements(const QString& path, const SheetLimits& limits);
OperationError tooManyEntries(const QString& path, const QString& part, const SheetLimits& limits);
OperationError doctype(const QString& path, const QString& part);
OperationError encrypted(const QString& path);
OperationError damaged(const QString& path, const QString& detail);
OperationError outOfMemory(const QString& path);
OperationError unexpected(const QString& path, const QString& detail);
} // namespace SheetErrors
